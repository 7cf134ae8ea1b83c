#include "format/rtfreader.h"

#include <QBuffer>
#include <QFont>
#include <QImageReader>
#include <QPainter>
#include <QStringDecoder>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/text/cp1251.h"
#include "format/dib.h"
#include "format/emfplayer.h"
#include "format/rtfdocument.h"
#include "format/wmfplayer.h"

namespace orm {

namespace {

// Bounds that keep damaged or hostile input harmless.
constexpr int kMaxDepth = 256;         // deeper groups share their parent's state
constexpr size_t kMaxWord = 32;        // RTF's own limit for a control word
constexpr int kMaxDigits = 10;         // more digits are read but ignored
constexpr int kMaxTwips = 31680;       // 22 inches, Word's largest page side
constexpr int kMaxHalfPoints = 3276;   // 1638 pt, Word's largest font
constexpr int kMaxTabs = 32;
constexpr int kMaxColumns = 63;        // Word's limit for a table row
constexpr long kMaxTableCells = 100000;  // beyond this, rows become tab-separated lines
constexpr double kTwipsPerUnit = 15.0;   // layout units are pixels at 96 dpi

constexpr int kSymbolCodePage = 42;  // Windows' CP_SYMBOL
constexpr qint64 kMaxPictPixels = 16LL << 20;        // one picture as shown
constexpr qint64 kMaxRenderedPixels = 128LL << 20;   // all pictures of a document together

int clampInt(long long v, int lo, int hi)
{
    return static_cast<int>(std::clamp<long long>(v, lo, hi));
}

// ------------------------------------------------------------------------------ code pages

// clang-format off
int codePageOfCharset(int charset, int ansiCodePage)
{
    switch (charset) {
    case 0: return 1252;
    case 2: return kSymbolCodePage;
    case 77: return 10000;
    case 128: return 932;
    case 129: return 949;
    case 130: return 1361;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254:
    case 255: return 437;
    default: return ansiCodePage;  // 1 (DEFAULT_CHARSET) and anything unknown
    }
}
// clang-format on

// clang-format off
// Windows-1252 0x80-0x9F; the rest of its upper half is Latin-1. Undefined bytes map to the C1
// control of the same number, as Windows maps them.
constexpr char16_t k1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// Fonts whose bytes are glyph numbers rather than characters; mapped to the Unicode characters
// the glyphs show, so that they need not be installed.
enum class SymbolFont : uint8_t { None, Symbol, Wingdings, Other };

char16_t symbolChar(unsigned char b)
{
    static const char16_t kUpper[] = u"ΑΒΧΔΕΦΓΗΙϑΚΛΜΝΟΠΘΡΣΤΥςΩΞΨΖ";  // 0x41-0x5A
    static const char16_t kLower[] = u"αβχδεφγηιϕκλμνοπθρστυϖωξψζ";  // 0x61-0x7A
    if (b >= 0x41 && b <= 0x5A)
        return kUpper[b - 0x41];
    if (b >= 0x61 && b <= 0x7A)
        return kLower[b - 0x61];
    switch (b) {
    case 0x22: return 0x2200;
    case 0x24: return 0x2203;
    case 0x27: return 0x220B;
    case 0x2A: return 0x2217;
    case 0x2D: return 0x2212;
    case 0x40: return 0x2245;
    case 0x5C: return 0x2234;
    case 0x5E: return 0x22A5;
    case 0x7E: return 0x223C;
    case 0xA1: return 0x03D2;
    case 0xA2: return 0x2032;
    case 0xA3: return 0x2264;
    case 0xA5: return 0x221E;
    case 0xA6: return 0x0192;
    case 0xA7: return 0x2663;
    case 0xA8: return 0x2666;
    case 0xA9: return 0x2665;
    case 0xAA: return 0x2660;
    case 0xAB: return 0x2194;
    case 0xAC: return 0x2190;
    case 0xAD: return 0x2191;
    case 0xAE: return 0x2192;
    case 0xAF: return 0x2193;
    case 0xB2: return 0x2033;
    case 0xB3: return 0x2265;
    case 0xB4: return 0x00D7;
    case 0xB5: return 0x221D;
    case 0xB6: return 0x2202;
    case 0xB7: return 0x2022;
    case 0xB8: return 0x00F7;
    case 0xB9: return 0x2260;
    case 0xBA: return 0x2261;
    case 0xBB: return 0x2248;
    case 0xBC: return 0x2026;
    case 0xC6: return 0x2205;
    case 0xC7: return 0x2229;
    case 0xC8: return 0x222A;
    case 0xCE: return 0x2208;
    case 0xCF: return 0x2209;
    case 0xD1: return 0x2207;
    case 0xD2:
    case 0xE2: return 0x00AE;
    case 0xD3:
    case 0xE3: return 0x00A9;
    case 0xD4:
    case 0xE4: return 0x2122;
    case 0xD5: return 0x220F;
    case 0xD6: return 0x221A;
    case 0xD7: return 0x22C5;
    case 0xD8: return 0x00AC;
    case 0xDB: return 0x21D4;
    case 0xDE: return 0x21D2;
    case 0xE0: return 0x25CA;
    case 0xE5: return 0x2211;
    case 0xF2: return 0x222B;
    default: return b;
    }
}

// The glyphs of Wingdings that word processors use as list bullets.
char16_t wingdingsChar(unsigned char b)
{
    switch (b) {
    case 0x6C: return 0x25CF;
    case 0x6E: return 0x25A0;
    case 0x6F: return 0x25A1;
    case 0x71: return 0x2751;
    case 0x75: return 0x25C6;
    case 0x76: return 0x2756;
    case 0x9F: return 0x2022;
    case 0xA7: return 0x25AA;
    case 0xA8: return 0x25FB;
    case 0xD8: return 0x27A2;
    case 0xE0: return 0x2192;
    case 0xFB: return 0x2717;
    case 0xFC: return 0x2713;
    case 0xFE: return 0x2611;
    default: return 0x2022;
    }
}

// clang-format on

QByteArray codecName(int codePage)
{
    switch (codePage) {
    case 437: return "IBM437";
    case 850: return "IBM850";
    case 866: return "IBM866";
    case 932: return "Shift_JIS";
    case 936: return "GBK";
    case 949: return "windows-949";
    case 950: return "Big5";
    case 10000: return "macintosh";
    case 65001: return "UTF-8";
    default: return "windows-" + QByteArray::number(codePage);
    }
}

// Bytes to text in one code page: our own table for Windows-1251 (the program's own text) and
// Windows-1252 (the commonest foreign one), Qt's converters for the others; a code page that Qt
// does not know reads as Windows-1252.
class Decoders {
public:
    QString decode(const std::string& bytes, int codePage, SymbolFont symbol)
    {
        QString out;
        if (symbol != SymbolFont::None) {
            out.reserve(static_cast<qsizetype>(bytes.size()));
            for (const char ch : bytes)
                out.append(QChar(glyph(static_cast<unsigned char>(ch), symbol)));
            return out;
        }
        if (codePage == 1251) {
            out.reserve(static_cast<qsizetype>(bytes.size()));
            for (const char ch : bytes) {
                const char32_t cp = Cp1251ToUnicode(static_cast<unsigned char>(ch));
                out.append(QChar(static_cast<char16_t>(cp)));
            }
            return out;
        }
        if (codePage != 1252) {
            if (QStringDecoder* d = converter(codePage)) {
                out = d->decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
                d->resetState();
                return out;
            }
        }
        out.reserve(static_cast<qsizetype>(bytes.size()));
        for (const char ch : bytes) {
            const auto b = static_cast<unsigned char>(ch);
            out.append(QChar(b >= 0x80 && b < 0xA0 ? k1252[b - 0x80] : char16_t(b)));
        }
        return out;
    }

    static char16_t glyph(unsigned char b, SymbolFont symbol)
    {
        switch (symbol) {
        case SymbolFont::Symbol: return symbolChar(b);
        case SymbolFont::Wingdings: return b < 0x20 ? b : wingdingsChar(b);
        default: return b;
        }
    }

private:
    QStringDecoder* converter(int codePage)
    {
        auto it = m_converters.find(codePage);
        if (it == m_converters.end()) {
            auto d = std::make_unique<QStringDecoder>(codecName(codePage).constData(),
                                                      QStringConverter::Flag::Stateless);
            if (!d->isValid())
                d.reset();
            it = m_converters.emplace(codePage, std::move(d)).first;
        }
        return it->second.get();
    }

    std::unordered_map<int, std::unique_ptr<QStringDecoder>> m_converters;
};

// ------------------------------------------------------------------------------ keywords

enum class Kw {
    Unknown,
    // destinations
    FontTable, ColorTable, FontAltName, Skip, Upr, Ud, Field, FieldInst, FieldResult, Shown, Pict,
    SkipAnnotation, SkipDrawing, Footnote, ShapeInst, ShapeName, ShapeValue, ShapeResult,
    NestTableProps,
    // headers and footers, in the order of kPartWords
    Header, HeaderL, HeaderR, HeaderF, Footer, FooterL, FooterR, FooterF,
    // document
    Ansi, Mac, Pc, Pca, AnsiCpg, Deff, DefTab, DocWord,
    // notes
    FtnAlt, FtnNumbering, AftnNumbering, FtnStart, AftnStart,
    // sections
    Sectd, SectWord,
    // shapes
    Shape, ShapeGroup, ShpLeft, ShpTop, ShpRight, ShpBottom,
    // font table entries
    Font, FCharset, Cpg, FNil, FBidi, FRoman, FSwiss, FModern, FScript, FDecor, FTech,
    // colour table entries
    Red, Green, Blue,
    // character formatting
    Plain, Bold, Italic, Underline, UnderlineNone, Strike, StrikeDouble, FontSize, Color,
    Background, Super, Sub, NoSuperSub, Up, Dn, Caps, SmallCaps, Hidden,
    // paragraph formatting
    Pard, Ql, Qc, Qr, Qj, Li, Ri, Fi, Sb, Sa, Sl, SlMult, Tx, Tqr, Tqc, Tqdec, PageBb, Intbl,
    Itap,
    // tables
    Trowd, Trleft, Cellx, Trgaph, Trpaddl, Trpaddr, Trpaddt, Trpaddb,
    // table cells
    ClVmgf, ClVmrg, ClMgf, ClMrg, ClCbpat, ClCfpat, ClShdng, ClVertalT, ClVertalC, ClVertalB,
    ClPadL, ClPadR, ClPadT, ClPadB, ClPadFL, ClPadFR, ClPadFT, ClPadFB,
    // page
    PaperW, PaperH, MargL, MargR, MargT, MargB, Landscape, SectPaperW, SectPaperH, SectMargL,
    SectMargR, SectMargT, SectMargB, SectLandscape,
    // pictures
    PngBlip, JpegBlip, EmfBlip, WMetafile, DiBitmap, OtherPicture, PicW, PicH, PicWGoal,
    PicHGoal, PicScaleX, PicScaleY,
    // footnote mark, paragraph shading
    Chftn, Cbpat,
    // breaks and special characters
    Par, Sect, Line, Tab, Page, Cell, Row, NestCell, NestRow, Lquote, Rquote, Ldblquote,
    Rdblquote, Bullet, Endash, Emdash, Enspace, Emspace, Qmspace, Zwj, Zwnj, Zwbo, LtrMark,
    RtlMark,
    // unicode
    U, Uc,
};

const std::unordered_map<std::string_view, Kw>& keywords()
{
    static const std::unordered_map<std::string_view, Kw> table = [] {
        std::unordered_map<std::string_view, Kw> t = {
            {"fonttbl", Kw::FontTable}, {"colortbl", Kw::ColorTable}, {"fname", Kw::FontAltName},
            {"upr", Kw::Upr}, {"ud", Kw::Ud}, {"field", Kw::Field}, {"fldinst", Kw::FieldInst},
            {"fldrslt", Kw::FieldResult},
            {"listtext", Kw::Shown}, {"pntext", Kw::Shown}, {"result", Kw::Shown},
            {"ansi", Kw::Ansi}, {"mac", Kw::Mac}, {"pc", Kw::Pc}, {"pca", Kw::Pca},
            {"ansicpg", Kw::AnsiCpg}, {"deff", Kw::Deff}, {"deftab", Kw::DefTab},
            {"f", Kw::Font}, {"fcharset", Kw::FCharset}, {"cpg", Kw::Cpg}, {"fnil", Kw::FNil},
            {"froman", Kw::FRoman}, {"fswiss", Kw::FSwiss}, {"fmodern", Kw::FModern},
            {"fscript", Kw::FScript}, {"fdecor", Kw::FDecor}, {"ftech", Kw::FTech},
            {"fbidi", Kw::FBidi}, {"red", Kw::Red}, {"green", Kw::Green}, {"blue", Kw::Blue},
            {"plain", Kw::Plain}, {"b", Kw::Bold}, {"i", Kw::Italic}, {"ul", Kw::Underline},
            {"ulnone", Kw::UnderlineNone}, {"strike", Kw::Strike}, {"striked", Kw::StrikeDouble},
            {"fs", Kw::FontSize}, {"cf", Kw::Color}, {"cb", Kw::Background},
            {"highlight", Kw::Background}, {"chcbpat", Kw::Background}, {"super", Kw::Super},
            {"sub", Kw::Sub}, {"nosupersub", Kw::NoSuperSub}, {"up", Kw::Up}, {"dn", Kw::Dn},
            {"caps", Kw::Caps}, {"scaps", Kw::SmallCaps}, {"v", Kw::Hidden},
            {"pard", Kw::Pard}, {"ql", Kw::Ql}, {"qc", Kw::Qc}, {"qr", Kw::Qr}, {"qj", Kw::Qj},
            {"qd", Kw::Qj}, {"li", Kw::Li}, {"lin", Kw::Li}, {"ri", Kw::Ri}, {"rin", Kw::Ri},
            {"fi", Kw::Fi}, {"sb", Kw::Sb}, {"sa", Kw::Sa}, {"sl", Kw::Sl},
            {"slmult", Kw::SlMult}, {"tx", Kw::Tx}, {"tqr", Kw::Tqr}, {"tqc", Kw::Tqc},
            {"tqdec", Kw::Tqdec}, {"pagebb", Kw::PageBb}, {"intbl", Kw::Intbl},
            {"itap", Kw::Itap}, {"trowd", Kw::Trowd}, {"trleft", Kw::Trleft},
            {"cellx", Kw::Cellx}, {"par", Kw::Par}, {"sect", Kw::Sect}, {"line", Kw::Line},
            {"tab", Kw::Tab}, {"page", Kw::Page}, {"cell", Kw::Cell}, {"row", Kw::Row},
            {"nestcell", Kw::NestCell}, {"nestrow", Kw::NestRow}, {"lquote", Kw::Lquote},
            {"rquote", Kw::Rquote}, {"ldblquote", Kw::Ldblquote}, {"rdblquote", Kw::Rdblquote},
            {"bullet", Kw::Bullet}, {"endash", Kw::Endash}, {"emdash", Kw::Emdash},
            {"enspace", Kw::Enspace}, {"emspace", Kw::Emspace}, {"qmspace", Kw::Qmspace},
            {"zwj", Kw::Zwj}, {"zwnj", Kw::Zwnj}, {"zwbo", Kw::Zwbo}, {"ltrmark", Kw::LtrMark},
            {"rtlmark", Kw::RtlMark}, {"u", Kw::U}, {"uc", Kw::Uc},
            {"trgaph", Kw::Trgaph}, {"trpaddl", Kw::Trpaddl}, {"trpaddr", Kw::Trpaddr},
            {"trpaddt", Kw::Trpaddt}, {"trpaddb", Kw::Trpaddb}, {"paperw", Kw::PaperW},
            {"paperh", Kw::PaperH}, {"margl", Kw::MargL}, {"margr", Kw::MargR},
            {"margt", Kw::MargT}, {"margb", Kw::MargB}, {"landscape", Kw::Landscape},
            {"pgwsxn", Kw::SectPaperW}, {"pghsxn", Kw::SectPaperH}, {"marglsxn", Kw::SectMargL},
            {"margrsxn", Kw::SectMargR}, {"margtsxn", Kw::SectMargT},
            {"margbsxn", Kw::SectMargB}, {"lndscpsxn", Kw::SectLandscape}, {"pict", Kw::Pict},
            {"pngblip", Kw::PngBlip}, {"jpegblip", Kw::JpegBlip}, {"emfblip", Kw::EmfBlip},
            {"wmetafile", Kw::WMetafile}, {"dibitmap", Kw::DiBitmap},
            {"wbitmap", Kw::OtherPicture}, {"macpict", Kw::OtherPicture},
            {"pmmetafile", Kw::OtherPicture}, {"picw", Kw::PicW}, {"pich", Kw::PicH},
            {"picwgoal", Kw::PicWGoal}, {"pichgoal", Kw::PicHGoal},
            {"picscalex", Kw::PicScaleX}, {"picscaley", Kw::PicScaleY}, {"chftn", Kw::Chftn},
            {"cbpat", Kw::Cbpat}, {"shppict", Kw::Shown}, {"shprslt", Kw::ShapeResult},
            {"shp", Kw::Shape}, {"shpgrp", Kw::ShapeGroup}, {"shpinst", Kw::ShapeInst},
            {"sn", Kw::ShapeName}, {"sv", Kw::ShapeValue}, {"shpleft", Kw::ShpLeft},
            {"shptop", Kw::ShpTop}, {"shpright", Kw::ShpRight}, {"shpbottom", Kw::ShpBottom},
            {"header", Kw::Header}, {"headerl", Kw::HeaderL}, {"headerr", Kw::HeaderR},
            {"headerf", Kw::HeaderF}, {"footer", Kw::Footer}, {"footerl", Kw::FooterL},
            {"footerr", Kw::FooterR}, {"footerf", Kw::FooterF}, {"footnote", Kw::Footnote},
            {"ftnalt", Kw::FtnAlt}, {"annotation", Kw::SkipAnnotation},
            {"do", Kw::SkipDrawing}, {"nesttableprops", Kw::NestTableProps},
            {"sectd", Kw::Sectd}, {"ftnstart", Kw::FtnStart}, {"sftnstart", Kw::FtnStart},
            {"aftnstart", Kw::AftnStart}, {"saftnstart", Kw::AftnStart},
            {"clvmgf", Kw::ClVmgf}, {"clvmrg", Kw::ClVmrg}, {"clmgf", Kw::ClMgf},
            {"clmrg", Kw::ClMrg}, {"clcbpat", Kw::ClCbpat}, {"clcfpat", Kw::ClCfpat},
            {"clshdng", Kw::ClShdng}, {"clvertalt", Kw::ClVertalT},
            {"clvertalc", Kw::ClVertalC}, {"clvertalb", Kw::ClVertalB},
            {"clpadl", Kw::ClPadL}, {"clpadr", Kw::ClPadR}, {"clpadt", Kw::ClPadT},
            {"clpadb", Kw::ClPadB}, {"clpadfl", Kw::ClPadFL}, {"clpadfr", Kw::ClPadFR},
            {"clpadft", Kw::ClPadFT}, {"clpadfb", Kw::ClPadFB},
        };
        // How notes are numbered: the numbering of the document and of its sections.
        for (const char* w : {"ftnnar", "ftnnalc", "ftnnauc", "ftnnrlc", "ftnnruc", "ftnnchi",
                              "sftnnar", "sftnnalc", "sftnnauc", "sftnnrlc", "sftnnruc",
                              "sftnnchi"})
            t.emplace(w, Kw::FtnNumbering);
        for (const char* w : {"aftnnar", "aftnnalc", "aftnnauc", "aftnnrlc", "aftnnruc",
                              "aftnnchi", "saftnnar", "saftnnalc", "saftnnauc", "saftnnrlc",
                              "saftnnruc", "saftnnchi"})
            t.emplace(w, Kw::AftnNumbering);
        // Document formatting that a save keeps as it came: where notes go and how they
        // restart, facing pages, the gutter.
        for (const char* w : {"ftnbj", "ftntj", "ftnrstpg", "ftnrestart", "ftnrstcont", "aenddoc",
                              "aendnotes", "aftnbj", "aftntj", "aftnrestart", "aftnrstcont",
                              "enddoc", "endnotes", "fet", "facingp", "margmirror", "gutter",
                              "gutterprl"})
            t.emplace(w, Kw::DocWord);
        // Section formatting that a save keeps as it came (the page words have their own).
        for (const char* w :
             {"sbknone", "sbkcol", "sbkpage", "sbkeven", "sbkodd", "cols", "colsx", "colno",
              "colsr", "colw", "linebetcol", "guttersxn", "margmirsxn", "headery", "footery",
              "pgnstarts", "pgncont", "pgnrestart", "pgndec", "pgnucrm", "pgnlcrm", "pgnucltr",
              "pgnlcltr", "pgnx", "pgny", "vertalt", "vertalc", "vertalj", "vertalb", "linemod",
              "linex", "linestarts", "linerestart", "lineppage", "linecont", "endnhere",
              "binfsxn", "binsxn", "stextflow", "rtlsect", "ltrsect", "sftnbj", "sftntj",
              "sftnrstpg", "sftnrestart", "sftnrstcont", "saftnrestart", "saftnrstcont",
              "titlepg"})
            t.emplace(w, Kw::SectWord);
        // Every underline kind shows as an underline.
        for (const char* w : {"uld", "uldash", "uldashd", "uldashdd", "uldb", "ulhwave",
                              "ulldash", "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd",
                              "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t.emplace(w, Kw::Underline);
        // Destinations whose text is not part of the document's body. Without \* in front a
        // reader must know them, or their contents would show.
        for (const char* w :
             {"stylesheet", "info", "object", "objdata", "objclass", "objname", "atnid",
              "atnauthor", "atndate", "atnref", "xe", "tc", "txe", "bkmkstart", "bkmkend", "listtable",
              "listoverridetable", "revtbl", "rsidtbl", "generator", "themedata",
              "colorschememapping", "latentstyles", "datastore", "xmlnstbl", "pgdsctbl",
              "filetbl", "pn", "pnseclvl", "pntxta", "pntxtb", "nonshppict", "nonesttables",
              "template", "docvar", "userprops", "falt", "panose",
              "ftnsep", "ftnsepc", "aftnsep", "aftnsepc", "ftncn", "aftncn", "background",
              "mmathPr", "fchars", "lchars", "comment", "author", "operator",
              "title", "subject", "keywords", "doccomm", "company", "category", "manager",
              "creatim", "revtim", "printim", "buptim", "hlinkbase", "passwordhash",
              "wgrffmtfilter", "listpicture", "protusertbl", "blipuid", "formfield"})
            t.emplace(w, Kw::Skip);
        return t;
    }();
    return table;
}

Kw lookup(std::string_view word)
{
    const auto& t = keywords();
    const auto it = t.find(word);
    return it == t.end() ? Kw::Unknown : it->second;
}

bool isDestination(Kw kw)
{
    switch (kw) {
    case Kw::FontTable:
    case Kw::ColorTable:
    case Kw::FontAltName:
    case Kw::Skip:
    case Kw::Upr:
    case Kw::Ud:
    case Kw::Field:
    case Kw::FieldInst:
    case Kw::FieldResult:
    case Kw::Shown:
    case Kw::Pict:
    case Kw::SkipAnnotation:
    case Kw::SkipDrawing:
    case Kw::Footnote:
    case Kw::ShapeInst:
    case Kw::ShapeName:
    case Kw::ShapeValue:
    case Kw::ShapeResult:
    case Kw::NestTableProps:
    case Kw::Header:
    case Kw::HeaderL:
    case Kw::HeaderR:
    case Kw::HeaderF:
    case Kw::Footer:
    case Kw::FooterL:
    case Kw::FooterR:
    case Kw::FooterF:
        return true;
    default:
        return false;
    }
}

// ------------------------------------------------------------------------------ state

constexpr int kMaxNesting = 16;         // tables inside tables; deeper ones join their parent
constexpr int kMaxFields = 1 << 20;
constexpr int kMaxSections = 4096;      // later sections keep the last one's formatting
constexpr qsizetype kMaxWords = 4096;   // characters of kept formatting words per section
constexpr size_t kMaxInstruction = 4096;  // bytes of a field's instruction

enum class Dest : uint8_t {
    Body,        // document text
    Skip,        // everything ignored up to the group's end
    Hidden,      // the ANSI half of \upr: formatting read, text dropped until \ud
    FontTable,
    FontAltName,
    ColorTable,
    Pict,        // a picture's hex or binary data
    FieldInst,   // a field's instruction: kept with its result, not shown
    ShapeInst,   // a shape's properties: its picture and place are read
    ShapeName,   // the name of a shape property
    ShapeValue,  // the value of a shape property
};

struct CharProps {
    int font = -1;  // -1: the default font (\deff)
    int halfPoints = 24;
    int color = -1;  // colour table index; -1 automatic
    int background = -1;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    uint8_t vertical = 0;  // 1 superscript, 2 subscript
    uint8_t caps = 0;      // 1 all capitals, 2 small capitals
    int field = 0;  // the innermost field whose result the text is (1-based); 0 none
    int mark = 0;   // the note number (\chftn) the text is (1-based); 0 none

    bool operator==(const CharProps&) const = default;
};

struct TabStop {
    int pos = 0;
    uint8_t kind = 0;  // 0 left, 1 centre, 2 right, 3 decimal
};

struct ParaProps {
    uint8_t align = 0;  // 0 left, 1 centre, 2 right, 3 justified
    bool inTable = false;
    bool pageBreakBefore = false;
    bool lineMultiple = false;
    int left = 0;
    int right = 0;
    int first = 0;
    int before = 0;
    int after = 0;
    int line = 0;
    int nesting = 0;
    int shading = -1;  // colour table index of \cbpat
    uint8_t tabKind = 0;  // kind of the next \tx
    uint8_t tabCount = 0;
    std::array<TabStop, kMaxTabs> tabs{};
};

struct State {
    CharProps chr;
    ParaProps par;
    Dest dest = Dest::Body;
    int uc = 1;  // fallback characters after \uN
    int field = 0;           // the field whose group this is (1-based)
    bool nestProps = false;  // in \nesttableprops: the row words are a nested table's
    bool shape = false;      // the group of a shape (\shp)
};

struct Run {
    CharProps props;
    QString text;
    int picture = -1;  // index into the pictures read; the text is then one U+FFFC
    int note = 0;      // the note anchored to this text (1-based)
};

struct Para {
    ParaProps props;
    CharProps end;  // formatting at the paragraph mark: the height of an empty paragraph
    std::vector<Run> runs;
};

// \trgaph and \trpaddl, r, t, b of a row, twips; -1 where the row has none.
struct RowGaps {
    int gap = -1;
    std::array<int, 4> pad{-1, -1, -1, -1};
};

// A cell as its row defines it: its right edge, merges, shading, alignment and padding.
struct CellDef {
    int right = 0;
    bool vFirst = false;  // \clvmgf, \clvmrg: the first cell of a vertical merge, one below it
    bool vNext = false;
    bool hNext = false;   // \clmrg: merged into the cell before it
    uint8_t valign = 0;   // 0 top, 1 centre, 2 bottom
    int fill = -1;        // \clcbpat, \clcfpat: colour table indices
    int pattern = -1;
    int shading = -1;     // \clshdng, hundredths of a per cent
    std::array<int, 4> pad{-1, -1, -1, -1};  // \clpadl, r, t, b, twips
    std::array<int, 4> padUnit{-1, -1, -1, -1};  // \clpadfl, ...: 0 means "no padding given"
};

struct RowDef {
    int left = 0;
    RowGaps gaps;
    std::vector<CellDef> cells;
    CellDef next;  // the words of the cell whose \cellx has not come yet
};

struct Row;

// A paragraph, or a table when rows holds any.
struct Item {
    Para para;
    std::vector<Row> rows;
};

struct Cell {
    std::vector<Item> items;
};

struct Row {
    RowDef def;
    std::vector<Cell> cells;
};

// A table being read at one nesting level: its rows so far, the row and the cell under way.
struct Level {
    Cell cell;
    std::vector<Cell> rowCells;
    std::vector<Row> rows;
};

// Where text goes: the run and paragraph under way and the tables open around them. A note,
// a header or a footer is read into a flow of its own while the body's waits.
struct Flow {
    bool runOpen = false;
    CharProps runProps;
    std::string bytes;  // code-page bytes of the open run, decoded when the run changes
    QString runText;
    Para para;
    std::vector<Level> levels;  // open tables, the outermost first
    std::vector<RowDef> defs;   // the row definition of each level
};

// A note's text, shown at the end of the document.
struct Note {
    bool endnote = false;
    QString number;  // as the document numbers it
    std::vector<Item> items;
};

struct FieldDef {
    QString instruction;
    int parent = 0;  // the field whose result holds this one (1-based)
};

// What marks the first paragraph or table of something: a section, a note's text.
struct Marks {
    int section = 0;
    int note = 0;
    bool endnote = false;
};

struct FontEntry {
    QString name;
    QString altName;
    int charset = -1;
    int codePage = 0;
    QFont::StyleHint hint = QFont::AnyStyle;
    int family = 0;  // rtf::FamilyWord; 0 when the table gives none
    QString face;    // the name without the character set it was tagged with
    SymbolFont symbol = SymbolFont::None;
};

// A picture as the file holds it.
struct Picture {
    rtf::PictureKind kind = rtf::PictureKind::Png;
    bool known = false;  // a kind we can show and write back
    int mapMode = 0;     // the N of \wmetafileN or \dibitmapN
    int width = 0;       // \picw, \pich
    int height = 0;
    int goalWidth = 0;   // twips
    int goalHeight = 0;
    int scaleX = 100;
    int scaleY = 100;
    QByteArray data;
    int nibble = -1;  // the first hex digit of a byte not yet complete
};

// Unpaired surrogates and the characters QTextDocument reserves for its own structure
// (frame marks, object replacement, paragraph separator) must not enter a block's text.
QString sanitized(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            ++i;
            continue;
        }
        if (QChar::isSurrogate(c) || c == 0xFDD0 || c == 0xFDD1 || c == 0xFFFC || c == 0xFFFE ||
            c == 0xFFFF)
            text[i] = QChar(0xFFFD);
        else if (c == 0x2029)
            text[i] = QChar(QChar::LineSeparator);
        else if ((c < 0x20 && c != '\t') || c == 0x7F)
            text[i] = QChar(' ');
    }
    return text;
}



// Windows named a font's versions for other character sets "Arial CE", "Times New Roman Cyr" and
// so on, and mapped them to the font itself; so does the view, so that the face is found.
QString baseFace(const QString& name)
{
    static const char* const kTags[] = {" CE", " Cyr", " Greek", " Tur", " Baltic",
                                        " (Arabic)", " (Hebrew)", " (Vietnamese)"};
    for (const char* tag : kTags) {
        const QLatin1String t(tag);
        if (name.size() > t.size() && name.endsWith(t, Qt::CaseInsensitive))
            return name.left(name.size() - t.size()).trimmed();
    }
    return name;
}

// The kind of face a font table without a family word still names, so that a missing face
// falls back to one of its kind.
QFont::StyleHint kindOfFace(const QString& face)
{
    static const std::pair<const char*, QFont::StyleHint> kFaces[] = {
        {"Times New Roman", QFont::Serif}, {"Times", QFont::Serif},
        {"Georgia", QFont::Serif},         {"Cambria", QFont::Serif},
        {"Arial", QFont::SansSerif},       {"Helvetica", QFont::SansSerif},
        {"Verdana", QFont::SansSerif},     {"Tahoma", QFont::SansSerif},
        {"Calibri", QFont::SansSerif},     {"MS Sans Serif", QFont::SansSerif},
        {"Courier New", QFont::TypeWriter}, {"Courier", QFont::TypeWriter},
        {"Consolas", QFont::TypeWriter},   {"Lucida Console", QFont::TypeWriter},
    };
    for (const auto& [name, hint] : kFaces) {
        if (face.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return hint;
    }
    return QFont::AnyStyle;
}

// Note number n as the document numbers its notes: 0 1 2 3, 1 a b c, 2 A B C, 3 i ii iii,
// 4 I II III, 5 * † ‡ §. Beyond what a kind can write, the number.
QString noteNumber(int n, int kind)
{
    n = std::max(1, n);
    switch (kind) {
    case 1:
    case 2:
        if (n <= 26 * 4)  // a..z, then aa..zz as word processors go on
            return QString((n - 1) / 26 + 1,
                           QChar((kind == 1 ? 'a' : 'A') + (n - 1) % 26));
        break;
    case 3:
    case 4:
        if (n < 4000) {
            static const std::pair<int, const char*> kRoman[] = {
                {1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"}, {90, "xc"},
                {50, "l"},   {40, "xl"},  {10, "x"},  {9, "ix"},   {5, "v"},   {4, "iv"},
                {1, "i"}};
            QString out;
            for (const auto& [value, letters] : kRoman) {
                for (; n >= value; n -= value)
                    out += QLatin1String(letters);
            }
            return kind == 4 ? out.toUpper() : out;
        }
        break;
    case 5:
        if (n <= 4 * 4) {
            static const char16_t kSigns[] = u"*†‡§";
            return QString((n - 1) / 4 + 1, QChar(kSigns[(n - 1) % 4]));
        }
        break;
    default:
        break;
    }
    return QString::number(n);
}

// The kind of numbering a word names: \ftnnar, \saftnnrlc and the like.
int numberingOf(std::string_view word)
{
    static const std::pair<const char*, int> kEnds[] = {{"nar", 0},  {"nalc", 1}, {"nauc", 2},
                                                         {"nrlc", 3}, {"nruc", 4}, {"nchi", 5}};
    for (const auto& [end, kind] : kEnds) {
        if (word.ends_with(end))
            return kind;
    }
    return 0;
}

// Where a HYPERLINK field goes: its address, "#bookmark" after \l; empty for other fields.
QString hyperlinkTarget(const QString& instruction)
{
    // The instruction's words: quoted ones as one, with \\ standing for a backslash.
    QStringList words;
    for (qsizetype i = 0; i < instruction.size();) {
        if (instruction[i].isSpace()) {
            ++i;
            continue;
        }
        QString word;
        if (instruction[i] == QChar('"')) {
            for (++i; i < instruction.size() && instruction[i] != QChar('"'); ++i) {
                if (instruction[i] == QChar('\\') && i + 1 < instruction.size() &&
                    (instruction[i + 1] == QChar('\\') || instruction[i + 1] == QChar('"')))
                    ++i;
                word += instruction[i];
            }
            ++i;
            words << word;
        } else {
            for (; i < instruction.size() && !instruction[i].isSpace(); ++i)
                word += instruction[i];
            words << word;
        }
    }
    if (words.isEmpty() || words[0].compare(QLatin1String("HYPERLINK"), Qt::CaseInsensitive) != 0)
        return {};
    QString address;
    QString bookmark;
    for (qsizetype k = 1; k < words.size(); ++k) {
        const QString& w = words[k];
        if (w.size() == 2 && w[0] == QChar('\\')) {
            const QChar sw = w[1].toLower();
            // \l, \o and \t take a word; \m, \n and \h none.
            if (sw == QChar('l') && k + 1 < words.size())
                bookmark = words[++k];
            else if ((sw == QChar('o') || sw == QChar('t')) && k + 1 < words.size())
                ++k;
        } else if (address.isEmpty()) {
            address = w;
        }
    }
    if (!bookmark.isEmpty())
        return address + QChar('#') + bookmark;
    return address;
}

// ------------------------------------------------------------------------------ the reader

class RtfParser {
public:
    RtfParser(std::string_view in, QTextDocument& doc) : m_in(in), m_doc(doc), m_out{QTextCursor(&doc)}
    {
        m_stack.reserve(64);
        m_stack.emplace_back();
        m_sectionRecs.emplace_back();
    }

    // Reads on until about `paragraphs` more paragraphs (a table row counts as one) are in the
    // document, or to the end; true at the end.
    bool step(long paragraphs)
    {
        if (m_finished)
            return true;
        // One edit block for each step: the document takes the step as one change, not one
        // per insert (which made a long paragraph of many runs quadratic).
        m_out.cursor.beginEditBlock();
        paragraphs = std::max(1L, paragraphs);
        m_target = paragraphs >= LONG_MAX - m_emitted ? LONG_MAX : m_emitted + paragraphs;
        parse();
        m_finished = m_done || m_pos >= m_in.size();
        if (m_finished)
            finish();
        m_out.cursor.endEditBlock();
        // The page and the tab width as read so far, so that the part read is complete in
        // itself; they are set again only when a later part changes them.
        if (m_pageSeen && (!m_pageSet || m_setPage != m_page)) {
            rtf::SetDocumentPage(m_doc, m_page);
            m_setPage = m_page;
            m_pageSet = true;
        }
        if (m_setDefTab != m_defTab) {
            QTextOption option = m_doc.defaultTextOption();
            option.setTabStopDistance(m_defTab / kTwipsPerUnit);
            m_doc.setDefaultTextOption(option);
            m_setDefTab = m_defTab;
        }
        return m_finished;
    }

    bool finished() const { return m_finished; }

private:
    State& cur() { return m_stack.back(); }

    // -------------------------------------------------------------- tokens

    void parse()
    {
        const size_t n = m_in.size();
        size_t& i = m_pos;
        while (i < n && !m_done && m_emitted < m_target) {
            const auto c = static_cast<unsigned char>(m_in[i]);
            if (c == '{') {
                ++i;
                m_star = false;
                m_skipChars = 0;
                pushGroup();
            } else if (c == '}') {
                ++i;
                m_star = false;
                m_skipChars = 0;
                popGroup();
            } else if (c == '\\') {
                i = control(i);
            } else {
                ++i;
                if (c == '\r' || c == '\n')
                    continue;
                if (m_skipChars > 0) {
                    --m_skipChars;
                    continue;
                }
                m_star = false;
                textByte(c);
            }
        }
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }
    static int hexValue(char c)
    {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    }

    // A control word or symbol starting at the backslash at i; returns the position after it.
    size_t control(size_t i)
    {
        const size_t n = m_in.size();
        size_t j = i + 1;
        if (j >= n)
            return n;
        const char c = m_in[j];
        if (!isLetter(c)) {
            ++j;
            if (c == '\'') {
                int value = 0;
                int digits = 0;
                while (digits < 2 && j < n && hexValue(m_in[j]) >= 0) {
                    value = value * 16 + hexValue(m_in[j]);
                    ++digits;
                    ++j;
                }
                if (m_skipChars > 0) {
                    --m_skipChars;
                    return j;
                }
                m_star = false;
                if (digits > 0)
                    textByte(static_cast<unsigned char>(value));
                return j;
            }
            if (m_skipChars > 0) {
                --m_skipChars;
                return j;
            }
            symbol(c);
            return j;
        }
        const size_t start = j;
        while (j < n && isLetter(m_in[j]))
            ++j;
        const std::string_view word = m_in.substr(start, std::min(j - start, kMaxWord));
        bool negative = false;
        if (j + 1 < n && m_in[j] == '-' && isDigit(m_in[j + 1])) {
            negative = true;
            ++j;
        }
        long long value = 0;
        int digits = 0;
        for (; j < n && isDigit(m_in[j]); ++j, ++digits) {
            if (digits < kMaxDigits)
                value = value * 10 + (m_in[j] - '0');
        }
        if (j < n && m_in[j] == ' ')
            ++j;
        const bool hasParam = digits > 0;
        const int param = clampInt(negative ? -value : value, -2000000000, 2000000000);
        if (word == "bin") {
            // Raw bytes follow, in pictures mostly; they are never text, and may hold braces.
            if (hasParam && param > 0) {
                const size_t count = std::min(static_cast<size_t>(param), n - j);
                if (cur().dest == Dest::Pict && m_skipChars == 0) {
                    m_pict.nibble = -1;
                    m_pict.data.append(m_in.data() + j, static_cast<qsizetype>(count));
                }
                j += count;
            }
            if (m_skipChars > 0)
                --m_skipChars;
            return j;
        }
        if (m_skipChars > 0) {
            --m_skipChars;
            return j;
        }
        controlWord(word, lookup(word), hasParam, param);
        return j;
    }

    void symbol(char c)
    {
        if (c == '*') {
            m_star = true;
            return;
        }
        m_star = false;
        switch (c) {
        case '\\':
        case '{':
        case '}':
            textByte(static_cast<unsigned char>(c));
            break;
        case '~':
            character(0x00A0);
            break;
        case '_':
            character(0x2011);
            break;
        case '-':
            // The optional hyphen is the soft hyphen, which is what our writer writes it for.
            character(0x00AD);
            break;
        case '\r':
        case '\n':
            if (cur().dest == Dest::Body)
                endParagraph(End::Par);
            break;
        default:  // \| and \: of formulas and indexes, unknown symbols
            break;
        }
    }

    void pushGroup()
    {
        if (m_stack.size() >= static_cast<size_t>(kMaxDepth)) {
            ++m_overflow;
            return;
        }
        m_stack.push_back(m_stack.back());
        // A shape's group is its own; the groups inside it are not shapes of their own.
        m_stack.back().shape = false;
    }

    void popGroup()
    {
        if (m_overflow > 0) {
            --m_overflow;
            return;
        }
        if (cur().dest == Dest::FontTable && m_fontOpen)
            commitFont();
        if (m_stack.size() <= 2) {
            // The document's own group has closed; whatever follows is not part of it.
            m_done = true;
            return;
        }
        // A note, header or footer ends with its group, its last paragraph with it.
        if (m_capture && m_stack.size() == m_capture->depth)
            endCapture();
        const State popped = m_stack.back();
        m_stack.pop_back();
        const Dest dest = cur().dest;
        if (popped.dest == Dest::Pict && dest != Dest::Pict)
            finishPicture();
        else if (popped.dest == Dest::FieldInst && dest != Dest::FieldInst)
            finishInstruction(popped.field);
        else if (popped.dest == Dest::ShapeName && dest != Dest::ShapeName)
            m_shape.property = QString::fromLatin1(m_shapeName).trimmed();
        else if (popped.dest == Dest::ShapeInst && dest != Dest::ShapeInst)
            finishShape();
        if (popped.shape && !m_shapeShown && !m_shapeResult && dest == Dest::Body)
            m_omitted |= kRtfOmittedDrawings;
    }

    // -------------------------------------------------------------- control words

    static bool on(bool hasParam, int param) { return !hasParam || param != 0; }
    static int twips(int v) { return std::clamp(v, -kMaxTwips, kMaxTwips); }

    static QString wordText(std::string_view word, bool has, int param)
    {
        QString out = QChar('\\') + QString::fromLatin1(word.data(), static_cast<qsizetype>(word.size()));
        if (has)
            out += QString::number(param);
        return out;
    }

    void controlWord(std::string_view word, Kw kw, bool has, int param)
    {
        State& s = cur();
        if (m_star) {
            m_star = false;
            if (!isDestination(kw)) {
                s.dest = Dest::Skip;
                return;
            }
        }
        if (s.dest == Dest::Skip)
            return;
        switch (kw) {
        case Kw::Unknown:
            break;

        case Kw::FontTable:
            s.dest = Dest::FontTable;
            break;
        case Kw::ColorTable:
            s.dest = Dest::ColorTable;
            m_colors.clear();
            m_colorSet = false;
            break;
        case Kw::FontAltName:
            if (s.dest == Dest::FontTable) {
                s.dest = Dest::FontAltName;
                m_fontAltBytes.clear();
            } else {
                s.dest = Dest::Skip;
            }
            break;
        case Kw::Skip:
            s.dest = Dest::Skip;
            break;
        case Kw::Upr:
            if (s.dest == Dest::Body)
                s.dest = Dest::Hidden;
            break;
        case Kw::Ud:
            if (s.dest == Dest::Hidden)
                s.dest = Dest::Body;
            break;
        case Kw::Shown:
            break;

        // Fields: the instruction is kept with the result, which shows.
        case Kw::Field:
            if (s.dest == Dest::Body && m_fields.size() < static_cast<size_t>(kMaxFields)) {
                m_fields.push_back({QString(), s.chr.field});
                s.field = static_cast<int>(m_fields.size());
            }
            break;
        case Kw::FieldInst:
            if (s.dest == Dest::Body && s.field > 0 &&
                m_fields[static_cast<size_t>(s.field - 1)].instruction.isEmpty()) {
                s.dest = Dest::FieldInst;
                m_instBytes.clear();
                m_instText.clear();
            } else {
                s.dest = Dest::Skip;
            }
            break;
        case Kw::FieldResult:
            if (s.dest != Dest::Body)
                s.dest = Dest::Skip;
            else if (s.field > 0 && !m_fields[static_cast<size_t>(s.field - 1)].instruction.isEmpty())
                s.chr.field = s.field;
            break;

        case Kw::Pict:
            m_pictForShape = false;
            if (s.dest == Dest::Body) {
                s.dest = Dest::Pict;
                m_pict = Picture{};
            } else if (s.dest == Dest::ShapeValue &&
                       m_shape.property.compare(QLatin1String("pib"), Qt::CaseInsensitive) == 0) {
                // The picture of a shape: shown where the shape is, at its size.
                s.dest = Dest::Pict;
                m_pict = Picture{};
                m_pictForShape = true;
            } else {
                s.dest = Dest::Skip;
            }
            break;

        // Shapes: of a picture (its "pib" property) the picture shows, at the shape's size,
        // and the result the file gives for readers without shapes does not.
        case Kw::Shape:
            if (s.dest == Dest::Body) {
                s.shape = true;
                m_shapeShown = false;
                m_shapeResult = false;
            }
            break;
        case Kw::ShapeGroup:
            // The shapes of a group are placed in the group's own space: the group's result
            // stands for them.
            if (s.dest == Dest::Body) {
                s.shape = true;
                m_shapeShown = false;
                m_shapeResult = false;
                m_shapeGroup = true;
            }
            break;
        case Kw::ShapeInst:
            if (s.dest == Dest::Body && !m_shapeGroup) {
                s.dest = Dest::ShapeInst;
                m_shape = ShapeRec{};
            } else {
                s.dest = Dest::Skip;
            }
            m_shapeGroup = false;
            break;
        case Kw::ShpLeft:
        case Kw::ShpTop:
        case Kw::ShpRight:
        case Kw::ShpBottom:
            if (s.dest == Dest::ShapeInst)
                m_shape.rect[static_cast<size_t>(static_cast<int>(kw) - static_cast<int>(Kw::ShpLeft))] =
                    std::clamp(param, -4 * kMaxTwips, 4 * kMaxTwips);
            break;
        case Kw::ShapeName:
            if (s.dest == Dest::ShapeInst) {
                s.dest = Dest::ShapeName;
                m_shapeName.clear();
            } else {
                s.dest = Dest::Skip;
            }
            break;
        case Kw::ShapeValue:
            s.dest = s.dest == Dest::ShapeInst ? Dest::ShapeValue : Dest::Skip;
            break;
        case Kw::ShapeResult:
            if (s.dest == Dest::Body) {
                m_shapeResult = true;
                if (m_shapeShown)
                    s.dest = Dest::Skip;
            } else {
                s.dest = Dest::Skip;
            }
            break;

        // Notes, headers and footers are read apart and kept; comments and drawing objects are
        // left out, and the load says so.
        case Kw::Footnote:
            if (s.dest == Dest::Body && !m_capture && m_overflow == 0 && !s.chr.hidden)
                beginNote();
            else
                s.dest = Dest::Skip;
            break;
        case Kw::FtnAlt:
            if (m_capture && m_capture->note > 0)
                makeEndnote();
            break;
        case Kw::Header:
        case Kw::HeaderL:
        case Kw::HeaderR:
        case Kw::HeaderF:
        case Kw::Footer:
        case Kw::FooterL:
        case Kw::FooterR:
        case Kw::FooterF:
            if (s.dest == Dest::Body && !m_capture && m_overflow == 0)
                beginCapture(0, static_cast<int>(kw) - static_cast<int>(Kw::Header));
            else
                s.dest = Dest::Skip;
            break;
        case Kw::SkipAnnotation:
        case Kw::SkipDrawing:
            if (s.dest == Dest::Body)
                m_omitted |= kw == Kw::SkipAnnotation ? kRtfOmittedAnnotations : kRtfOmittedDrawings;
            s.dest = Dest::Skip;
            break;
        case Kw::NestTableProps:
            s.nestProps = true;
            break;

        case Kw::Ansi:
            m_ansiCodePage = 1252;
            break;
        case Kw::Mac:
            m_ansiCodePage = 10000;
            break;
        case Kw::Pc:
            m_ansiCodePage = 437;
            break;
        case Kw::Pca:
            m_ansiCodePage = 850;
            break;
        case Kw::AnsiCpg:
            if (has && param > 0 && param <= 65535)
                m_ansiCodePage = param;
            break;
        case Kw::Deff:
            m_defaultFont = has ? param : 0;
            break;
        case Kw::DefTab:
            if (has && param > 0)
                m_defTab = std::min(param, kMaxTwips);
            break;

        // Formatting of the document and of its sections that a save writes back as it came.
        case Kw::DocWord:
            if (s.dest == Dest::Body)
                keepWord(m_docWords, word, has, param);
            break;
        // The document's numbering numbers the notes (a section's is kept, not followed).
        // Given once a note or number has been read, it would number the ones before it
        // otherwise when written back at the start: it counts, and is kept, only before.
        case Kw::FtnNumbering:
        case Kw::AftnNumbering:
            if (s.dest != Dest::Body || !m_notes.empty() || m_marks > 0)
                break;
            if (word.front() == 's') {
                keepWord(section().words, word, has, param);
                break;
            }
            (kw == Kw::FtnNumbering ? m_footKind : m_endKind) = numberingOf(word);
            keepWord(m_docWords, word, has, param);
            break;
        case Kw::FtnStart:
        case Kw::AftnStart:
            if (s.dest != Dest::Body || !m_notes.empty() || m_marks > 0)
                break;
            if (word.front() == 's') {
                keepWord(section().words, word, has, param);
                break;
            }
            (kw == Kw::FtnStart ? m_footStart : m_endStart) = std::clamp(has ? param : 1, 1, 32767);
            keepWord(m_docWords, word, has, param);
            break;
        case Kw::Sectd:
            if (s.dest == Dest::Body)
                section().words.clear();
            break;
        case Kw::SectWord:
            if (s.dest == Dest::Body)
                keepWord(section().words, word, has, param);
            break;
        case Kw::Font:
            if (s.dest == Dest::FontTable)
                beginFont(has ? param : 0);
            else
                s.chr.font = has ? param : 0;
            break;
        case Kw::FCharset:
            m_font.charset = has ? param : 0;
            break;
        case Kw::Cpg:
            m_font.codePage = has && param > 0 && param <= 65535 ? param : 0;
            break;
        case Kw::FNil:
        case Kw::FTech:
        case Kw::FBidi:
            m_font.hint = QFont::AnyStyle;
            m_font.family = static_cast<int>(kw == Kw::FNil    ? rtf::FamilyWord::Nil
                                             : kw == Kw::FTech ? rtf::FamilyWord::Tech
                                                               : rtf::FamilyWord::Bidi);
            break;
        case Kw::FRoman:
            m_font.hint = QFont::Serif;
            m_font.family = static_cast<int>(rtf::FamilyWord::Roman);
            break;
        case Kw::FSwiss:
            m_font.hint = QFont::SansSerif;
            m_font.family = static_cast<int>(rtf::FamilyWord::Swiss);
            break;
        case Kw::FModern:
            m_font.hint = QFont::TypeWriter;
            m_font.family = static_cast<int>(rtf::FamilyWord::Modern);
            break;
        case Kw::FScript:
            m_font.hint = QFont::Cursive;
            m_font.family = static_cast<int>(rtf::FamilyWord::Script);
            break;
        case Kw::FDecor:
            m_font.hint = QFont::Decorative;
            m_font.family = static_cast<int>(rtf::FamilyWord::Decor);
            break;

        case Kw::Red:
            m_color.setRed(std::clamp(param, 0, 255));
            m_colorSet = true;
            break;
        case Kw::Green:
            m_color.setGreen(std::clamp(param, 0, 255));
            m_colorSet = true;
            break;
        case Kw::Blue:
            m_color.setBlue(std::clamp(param, 0, 255));
            m_colorSet = true;
            break;

        case Kw::Plain: {
            // The result of a field stays one whatever its formatting.
            const int field = s.chr.field;
            s.chr = CharProps{};
            s.chr.field = field;
            break;
        }
        case Kw::Bold:
            s.chr.bold = on(has, param);
            break;
        case Kw::Italic:
            s.chr.italic = on(has, param);
            break;
        case Kw::Underline:
            s.chr.underline = on(has, param);
            break;
        case Kw::UnderlineNone:
            s.chr.underline = false;
            break;
        case Kw::Strike:
        case Kw::StrikeDouble:
            s.chr.strike = on(has, param);
            break;
        case Kw::FontSize:
            s.chr.halfPoints = has && param > 0 ? std::min(param, kMaxHalfPoints) : 24;
            break;
        case Kw::Color:
            s.chr.color = has ? param : 0;
            break;
        case Kw::Background:
            s.chr.background = has ? param : 0;
            break;
        case Kw::Super:
            s.chr.vertical = 1;
            break;
        case Kw::Sub:
            s.chr.vertical = 2;
            break;
        case Kw::NoSuperSub:
            s.chr.vertical = 0;
            break;
        case Kw::Up:
            s.chr.vertical = has && param == 0 ? 0 : 1;
            break;
        case Kw::Dn:
            s.chr.vertical = has && param == 0 ? 0 : 2;
            break;
        case Kw::Caps:
            s.chr.caps = on(has, param) ? 1 : 0;
            break;
        case Kw::SmallCaps:
            s.chr.caps = on(has, param) ? 2 : 0;
            break;
        case Kw::Hidden:
            s.chr.hidden = on(has, param);
            break;

        case Kw::Pard:
            s.par = ParaProps{};
            break;
        case Kw::Ql:
            s.par.align = 0;
            break;
        case Kw::Qc:
            s.par.align = 1;
            break;
        case Kw::Qr:
            s.par.align = 2;
            break;
        case Kw::Qj:
            s.par.align = 3;
            break;
        case Kw::Li:
            s.par.left = twips(param);
            break;
        case Kw::Ri:
            s.par.right = twips(param);
            break;
        case Kw::Fi:
            s.par.first = twips(param);
            break;
        case Kw::Sb:
            s.par.before = std::clamp(param, 0, kMaxTwips);
            break;
        case Kw::Sa:
            s.par.after = std::clamp(param, 0, kMaxTwips);
            break;
        case Kw::Sl:
            s.par.line = twips(param);
            break;
        case Kw::SlMult:
            s.par.lineMultiple = on(has, param);
            break;
        case Kw::Tx:
            if (s.par.tabCount < kMaxTabs && has)
                s.par.tabs[s.par.tabCount++] = {std::clamp(param, 0, kMaxTwips), s.par.tabKind};
            s.par.tabKind = 0;
            break;
        case Kw::Tqr:
            s.par.tabKind = 2;
            break;
        case Kw::Tqc:
            s.par.tabKind = 1;
            break;
        case Kw::Tqdec:
            s.par.tabKind = 3;
            break;
        case Kw::PageBb:
            s.par.pageBreakBefore = on(has, param);
            break;
        case Kw::Intbl:
            s.par.inTable = on(has, param);
            break;
        case Kw::Itap:
            s.par.nesting = std::clamp(param, 0, kMaxNesting);
            if (s.par.nesting > 0)
                s.par.inTable = true;
            break;

        case Kw::Trowd:
            rowDef() = RowDef{};
            break;
        case Kw::Trgaph:
            rowDef().gaps.gap = std::clamp(param, 0, kMaxTwips);
            break;
        case Kw::Trpaddl:
        case Kw::Trpaddr:
        case Kw::Trpaddt:
        case Kw::Trpaddb:
            rowDef().gaps.pad[static_cast<size_t>(static_cast<int>(kw) - static_cast<int>(Kw::Trpaddl))] =
                std::clamp(param, 0, kMaxTwips);
            break;
        case Kw::ClVmgf:
            rowDef().next.vFirst = on(has, param);
            break;
        case Kw::ClVmrg:
            rowDef().next.vNext = on(has, param);
            break;
        case Kw::ClMgf:  // the cell that the next ones merge into is any other cell
            break;
        case Kw::ClMrg:
            rowDef().next.hNext = on(has, param);
            break;
        case Kw::ClCbpat:
            rowDef().next.fill = has ? std::clamp(param, 0, 0xFFFF) : 0;
            break;
        case Kw::ClCfpat:
            rowDef().next.pattern = has ? std::clamp(param, 0, 0xFFFF) : 0;
            break;
        case Kw::ClShdng:
            rowDef().next.shading = std::clamp(param, 0, 10000);
            break;
        case Kw::ClVertalT:
        case Kw::ClVertalC:
        case Kw::ClVertalB:
            rowDef().next.valign = static_cast<uint8_t>(static_cast<int>(kw) - static_cast<int>(Kw::ClVertalT));
            break;
        case Kw::ClPadL:
        case Kw::ClPadR:
        case Kw::ClPadT:
        case Kw::ClPadB:
            rowDef().next.pad[static_cast<size_t>(static_cast<int>(kw) - static_cast<int>(Kw::ClPadL))] =
                std::clamp(param, 0, kMaxTwips);
            break;
        case Kw::ClPadFL:
        case Kw::ClPadFR:
        case Kw::ClPadFT:
        case Kw::ClPadFB:
            rowDef().next.padUnit[static_cast<size_t>(static_cast<int>(kw) - static_cast<int>(Kw::ClPadFL))] =
                std::clamp(param, 0, 255);
            break;

        case Kw::PaperW:
        case Kw::PaperH:
        case Kw::MargL:
        case Kw::MargR:
        case Kw::MargT:
        case Kw::MargB:
        case Kw::Landscape:
            pageWord(static_cast<int>(kw) - static_cast<int>(Kw::PaperW), has, param);
            break;
        case Kw::SectPaperW:
        case Kw::SectPaperH:
        case Kw::SectMargL:
        case Kw::SectMargR:
        case Kw::SectMargT:
        case Kw::SectMargB:
        case Kw::SectLandscape:
            // The first section's page is the one the view keeps; each section keeps its own.
            if (m_sections == 0)
                pageWord(static_cast<int>(kw) - static_cast<int>(Kw::SectPaperW), has, param);
            if (s.dest == Dest::Body)
                keepWord(section().words, word, has, param);
            break;

        case Kw::PngBlip:
        case Kw::JpegBlip:
        case Kw::EmfBlip:
        case Kw::WMetafile:
        case Kw::DiBitmap:
            if (s.dest == Dest::Pict) {
                static constexpr rtf::PictureKind kKinds[] = {
                    rtf::PictureKind::Png, rtf::PictureKind::Jpeg, rtf::PictureKind::Emf,
                    rtf::PictureKind::Wmf, rtf::PictureKind::Dib};
                m_pict.kind = kKinds[static_cast<int>(kw) - static_cast<int>(Kw::PngBlip)];
                m_pict.known = true;
                m_pict.mapMode = has ? std::clamp(param, 0, 255) : 0;
            }
            break;
        case Kw::OtherPicture:
            if (s.dest == Dest::Pict)
                m_pict.known = false;
            break;
        case Kw::PicW:
            m_pict.width = std::clamp(param, 0, 1 << 24);
            break;
        case Kw::PicH:
            m_pict.height = std::clamp(param, 0, 1 << 24);
            break;
        case Kw::PicWGoal:
            m_pict.goalWidth = std::clamp(param, 0, kMaxTwips);
            break;
        case Kw::PicHGoal:
            m_pict.goalHeight = std::clamp(param, 0, kMaxTwips);
            break;
        case Kw::PicScaleX:
            m_pict.scaleX = has && param > 0 ? std::min(param, 10000) : 100;
            break;
        case Kw::PicScaleY:
            m_pict.scaleY = has && param > 0 ? std::min(param, 10000) : 100;
            break;
        case Kw::Cbpat:
            s.par.shading = has ? std::clamp(param, 0, 0xFFFF) : 0;
            break;
        case Kw::Trleft:
            rowDef().left = twips(param);
            break;
        case Kw::Cellx: {
            RowDef& def = rowDef();
            if (def.cells.size() < static_cast<size_t>(kMaxColumns)) {
                def.next.right = std::clamp(param, -kMaxTwips, 2 * kMaxTwips);
                def.cells.push_back(def.next);
            }
            def.next = CellDef{};
            break;
        }

        case Kw::U:
            if (has)
                unicode(param < 0 ? param + 65536 : param);
            m_skipChars = s.uc;
            break;
        case Kw::Uc:
            s.uc = has ? std::clamp(param, 0, 255) : 1;
            break;

        default:
            if (s.dest == Dest::Body)
                bodyBreak(kw);
            break;
        }
    }

    // Breaks and special characters: only in the body.
    // clang-format off
    void bodyBreak(Kw kw)
    {
        switch (kw) {
        case Kw::Par:
            endParagraph(End::Par);
            break;
        case Kw::Sect:
            // It ends the paragraph it stands in, and is no paragraph of its own.
            if (!m_flow.para.runs.empty() || m_flow.runOpen)
                endParagraph(End::Par);
            if (!m_capture) {
                flushTable();
                beginSection();
            }
            break;
        case Kw::Chftn:  // in a note its own number, elsewhere that of the note that follows
            if (m_capture && m_capture->note > 0)
                markText(m_notes[static_cast<size_t>(m_capture->note - 1)].number, m_capture->note);
            else
                markText(noteNumber(m_footStart + m_footCount, m_footKind), 0);
            break;
        case Kw::Line:
            character(QChar::LineSeparator);
            break;
        case Kw::Tab:
            character('\t');
            break;
        case Kw::Page:
            if (!m_flow.para.runs.empty() || m_flow.runOpen)
                endParagraph(End::Par);
            m_out.pageBreak = true;
            break;
        case Kw::Cell:
            endParagraph(End::Cell);
            break;
        case Kw::Row:
            endRow(1);
            break;
        case Kw::NestCell:
            endParagraph(End::NestCell);
            break;
        case Kw::NestRow:
            endRow(std::max(2, cur().par.nesting));
            break;
        case Kw::Lquote: character(0x2018); break;
        case Kw::Rquote: character(0x2019); break;
        case Kw::Ldblquote: character(0x201C); break;
        case Kw::Rdblquote: character(0x201D); break;
        case Kw::Bullet: character(0x2022); break;
        case Kw::Endash: character(0x2013); break;
        case Kw::Emdash: character(0x2014); break;
        case Kw::Enspace: character(0x2002); break;
        case Kw::Emspace: character(0x2003); break;
        case Kw::Qmspace: character(0x2005); break;
        case Kw::Zwj: character(0x200D); break;
        case Kw::Zwnj: character(0x200C); break;
        case Kw::Zwbo: character(0x200B); break;
        case Kw::LtrMark: character(0x200E); break;
        case Kw::RtlMark: character(0x200F); break;
        default: break;
        }
    }
    // clang-format on


    // -------------------------------------------------------------- text

    void textByte(unsigned char c)
    {
        State& s = cur();
        switch (s.dest) {
        case Dest::Body:
            if (s.chr.hidden || (c < 0x20 && c != '\t'))
                return;
            openRun();
            m_flow.bytes.push_back(static_cast<char>(c));
            break;
        case Dest::FontTable:
            if (c == ';')
                commitFont();
            else if (m_fontOpen && m_fontBytes.size() < 256)
                m_fontBytes.push_back(static_cast<char>(c));
            break;
        case Dest::FontAltName:
            if (c != ';' && m_fontAltBytes.size() < 256)
                m_fontAltBytes.push_back(static_cast<char>(c));
            break;
        case Dest::ColorTable:
            if (c == ';')
                commitColor();
            break;
        case Dest::Pict:
            if (const int v = hexValue(static_cast<char>(c)); v >= 0) {
                if (m_pict.nibble < 0) {
                    m_pict.nibble = v;
                } else {
                    m_pict.data.append(static_cast<char>(m_pict.nibble << 4 | v));
                    m_pict.nibble = -1;
                }
            }
            break;
        case Dest::FieldInst:
            if (m_instBytes.size() + static_cast<size_t>(m_instText.size()) < kMaxInstruction)
                m_instBytes.push_back(static_cast<char>(c < 0x20 ? ' ' : c));
            break;
        case Dest::ShapeName:
            if (m_shapeName.size() < 64)
                m_shapeName.push_back(static_cast<char>(c));
            break;
        default:
            break;
        }
    }

    // -------------------------------------------------------------- page and pictures

    // Word k of \paperw, \paperh, \margl, \margr, \margt, \margb, \landscape.
    void pageWord(int k, bool has, int param)
    {
        m_pageSeen = true;
        const int v = std::clamp(param, 0, kMaxTwips);
        switch (k) {
        case 0: if (v > 0) m_page.paperWidth = v; break;
        case 1: if (v > 0) m_page.paperHeight = v; break;
        case 2: m_page.left = v; break;
        case 3: m_page.right = v; break;
        case 4: m_page.top = v; break;
        case 5: m_page.bottom = v; break;
        default: m_page.landscape = on(has, param); break;
        }
    }

    // The picture group has closed: the picture becomes a character of the text (or the
    // picture of the shape being read).
    void finishPicture()
    {
        Picture pict = std::move(m_pict);
        m_pict = Picture{};
        pict.nibble = -1;
        if (m_pictForShape) {
            m_pictForShape = false;
            if (pict.known && !pict.data.isEmpty())
                m_shape.picture = std::move(pict);
            return;
        }
        const State& s = cur();
        if (!pict.known || pict.data.isEmpty() || s.dest != Dest::Body || s.chr.hidden) {
            if (s.dest == Dest::Body && !pict.data.isEmpty())
                m_omitted |= kRtfOmittedDrawings;
            return;
        }
        addPicture(std::move(pict));
    }

    void addPicture(Picture pict)
    {
        closeRun();
        m_pictures.push_back(std::move(pict));
        m_flow.para.runs.push_back({cur().chr, QString(QChar(QChar::ObjectReplacementCharacter)),
                                    static_cast<int>(m_pictures.size() - 1)});
    }

    // Whether a picture can be shown, told without drawing it.
    static bool decodable(const Picture& p)
    {
        switch (p.kind) {
        case rtf::PictureKind::Png:
        case rtf::PictureKind::Jpeg: {
            QByteArray copy = p.data;
            QBuffer buffer(&copy);
            return QImageReader(&buffer, p.kind == rtf::PictureKind::Png ? "png" : "jpeg")
                .size()
                .isValid();
        }
        case rtf::PictureKind::Wmf:
            return WmfPicture::Parse(p.data).has_value();
        case rtf::PictureKind::Emf:
            return EmfPicture::Parse(p.data).has_value();
        case rtf::PictureKind::Dib:
            return p.data.size() >= 12;
        }
        return false;
    }

    // A shape's properties have been read: its picture shows at the shape's size.
    void finishShape()
    {
        std::optional<Picture> pict = std::move(m_shape.picture);
        m_shape.picture.reset();
        const State& s = cur();
        // A picture that cannot be shown leaves the shape to its result.
        if (!pict || !decodable(*pict) || s.dest != Dest::Body || s.chr.hidden)
            return;
        const auto& r = m_shape.rect;
        if (r[2] > r[0] && r[3] > r[1]) {
            pict->goalWidth = std::min(r[2] - r[0], kMaxTwips);
            pict->goalHeight = std::min(r[3] - r[1], kMaxTwips);
            pict->scaleX = 100;
            pict->scaleY = 100;
        }
        addPicture(std::move(*pict));
        m_shapeShown = true;
    }

    void unicode(int code)
    {
        if (code < 0 || code > 0xFFFF)
            return;
        // Word writes the glyphs of symbol fonts as U+F020-U+F0FF.
        const FontEntry* f = font(cur().chr.font);
        if (f && f->symbol != SymbolFont::None && code >= 0xF020 && code <= 0xF0FF)
            code = Decoders::glyph(static_cast<unsigned char>(code & 0xFF), f->symbol);
        character(static_cast<char16_t>(code));
    }

    void character(char16_t ch)
    {
        const State& s = cur();
        if (s.dest == Dest::FontTable) {
            // A name outside the font's code page comes as \uN: the bytes before it are read in
            // the code page, the character as itself.
            if (m_fontOpen && m_fontText.size() + m_fontBytes.size() < 256) {
                m_fontText += m_decoders.decode(m_fontBytes, codePage(m_font), SymbolFont::None);
                m_fontBytes.clear();
                m_fontText.append(QChar(ch));
            }
            return;
        }
        if (s.dest == Dest::FieldInst) {
            flushInstruction();
            if (static_cast<size_t>(m_instText.size()) < kMaxInstruction)
                m_instText.append(QChar(ch));
            return;
        }
        if (s.dest != Dest::Body || s.chr.hidden)
            return;
        openRun();
        flushBytes();
        m_flow.runText.append(QChar(ch));
    }

    void openRun()
    {
        if (m_flow.runOpen && m_flow.runProps == cur().chr)
            return;
        closeRun();
        m_flow.runProps = cur().chr;
        m_flow.runOpen = true;
    }

    void flushBytes()
    {
        if (m_flow.bytes.empty())
            return;
        const FontEntry* f = font(m_flow.runProps.font);
        m_flow.runText += m_decoders.decode(m_flow.bytes, f ? codePage(*f) : m_ansiCodePage,
                                            f ? f->symbol : SymbolFont::None);
        m_flow.bytes.clear();
    }

    void closeRun()
    {
        if (!m_flow.runOpen)
            return;
        flushBytes();
        if (!m_flow.runText.isEmpty())
            m_flow.para.runs.push_back({m_flow.runProps, sanitized(std::move(m_flow.runText))});
        m_flow.runText = QString();
        m_flow.runOpen = false;
    }

    // -------------------------------------------------------------- fields

    void flushInstruction()
    {
        if (m_instBytes.empty())
            return;
        const FontEntry* f = font(cur().chr.font);
        m_instText += m_decoders.decode(m_instBytes, f ? codePage(*f) : m_ansiCodePage,
                                        SymbolFont::None);
        m_instBytes.clear();
    }

    void finishInstruction(int field)
    {
        flushInstruction();
        if (field > 0 && field <= static_cast<int>(m_fields.size()))
            m_fields[static_cast<size_t>(field - 1)].instruction = sanitized(m_instText.trimmed());
        m_instText.clear();
    }

    // -------------------------------------------------------------- notes, headers, footers

    // The number of a note (\chftn) that the word processor counts itself; note: the note
    // whose number it is, when known (0: it stays as given).
    void markText(const QString& number, int note)
    {
        State& s = cur();
        const CharProps saved = s.chr;
        s.chr.mark = ++m_marks;
        m_markNotes.push_back(note);
        for (const QChar c : number)
            character(c.unicode());
        s.chr = saved;
    }

    // The text of a run: a note's number as the note is numbered when it has been read whole
    // (an endnote learns that it is one only inside).
    QString runText(const Run& run) const
    {
        const int mark = run.props.mark;
        if (mark > 0 && static_cast<size_t>(mark) <= m_markNotes.size()) {
            if (const int note = m_markNotes[static_cast<size_t>(mark - 1)]; note > 0)
                return m_notes[static_cast<size_t>(note - 1)].number;
        }
        return run.text;
    }

    // A note begins: it is anchored to the text before it, and read apart.
    void beginNote()
    {
        closeRun();
        Note note;
        note.number = noteNumber(m_footStart + m_footCount, m_footKind);
        ++m_footCount;
        const int id = static_cast<int>(m_notes.size()) + 1;
        std::vector<Run>& runs = m_flow.para.runs;
        if (runs.empty() || runs.back().note != 0) {
            // Nothing to anchor it to (or only another note's mark): its number stands for the
            // mark the file left out.
            State& s = cur();
            const CharProps saved = s.chr;
            s.chr.vertical = 1;
            markText(note.number, id);
            s.chr = saved;
            closeRun();
        }
        if (!runs.empty()) {
            Run& last = runs.back();
            // The mark, or else the last character before the note.
            qsizetype n = last.text.size() >= 2 && last.text.back().isLowSurrogate() ? 2 : 1;
            if (last.props.mark != 0 || last.picture >= 0 || last.text.size() <= n) {
                last.note = id;
                if (last.props.mark > 0 && m_markNotes[static_cast<size_t>(last.props.mark - 1)] == 0)
                    m_markNotes[static_cast<size_t>(last.props.mark - 1)] = id;
            } else {
                Run tail{last.props, last.text.right(n), -1, id};
                last.text.chop(n);
                runs.push_back(std::move(tail));
            }
        }
        m_notes.push_back(std::move(note));
        beginCapture(id, 0);
    }

    // \ftnalt: the note being read is an endnote, numbered as endnotes are; so is its mark.
    void makeEndnote()
    {
        Note& note = m_notes[static_cast<size_t>(m_capture->note - 1)];
        if (note.endnote)
            return;
        note.endnote = true;
        --m_footCount;
        note.number = noteNumber(m_endStart + m_endCount, m_endKind);
        ++m_endCount;
    }

    // Text from here to the end of the current group goes to a note (note > 0) or to header or
    // footer `part` of the current section; the body waits.
    void beginCapture(int note, int part)
    {
        m_saved = std::move(m_flow);
        m_flow = Flow{};
        m_capture = Capture{m_stack.size(), note, part, {}};
        // A note or header starts with paragraphs of its own, not the table or the field
        // around it.
        cur().par = ParaProps{};
        cur().chr.field = 0;
        cur().field = 0;
        cur().dest = Dest::Body;
    }

    void endCapture()
    {
        closeRun();
        if (!m_flow.para.runs.empty())
            endParagraph(End::Par);
        flushTable();
        Capture capture = std::move(*m_capture);
        m_capture.reset();
        m_flow = std::move(m_saved);
        m_saved = Flow{};
        if (capture.note > 0) {
            m_notes[static_cast<size_t>(capture.note - 1)].items = std::move(capture.items);
            return;
        }
        // A header or footer: a document of its own, kept with its section.
        auto doc = std::make_shared<QTextDocument>();
        doc->setUndoRedoEnabled(false);
        doc->setDefaultFont(m_doc.defaultFont());
        Out out{QTextCursor(doc.get())};
        for (Item& item : capture.items)
            put(out, item, {}, 1);
        static const char* const kPartWords[] = {"header", "headerl", "headerr", "headerf",
                                                 "footer", "footerl", "footerr", "footerf"};
        const QString word = QLatin1String(kPartWords[capture.part & 7]);
        std::vector<rtf::PagePart>& parts = section().parts;
        const auto same = std::find_if(parts.begin(), parts.end(),
                                       [&](const rtf::PagePart& p) { return p.word == word; });
        if (same != parts.end())
            same->text = std::move(doc);
        else
            parts.push_back({word, std::move(doc)});
    }

    // -------------------------------------------------------------- sections

    rtf::Section& section() { return m_sectionRecs.back(); }

    void keepWord(QString& words, std::string_view word, bool has, int param)
    {
        if (words.size() < kMaxWords)
            words += wordText(word, has, param);
    }

    // \sect: what follows is a section of its own, which its first paragraph or table marks.
    void beginSection()
    {
        ++m_sections;
        if (m_sectionRecs.size() < static_cast<size_t>(kMaxSections)) {
            m_sectionRecs.emplace_back();
            m_pendingSection = static_cast<int>(m_sectionRecs.size()) - 1;
        }
    }

    // -------------------------------------------------------------- font and colour tables

    void beginFont(int number)
    {
        if (m_fontOpen)
            commitFont();
        m_font = FontEntry{};
        m_fontNumber = number;
        m_fontBytes.clear();
        m_fontText.clear();
        m_fontAltBytes.clear();
        m_fontOpen = true;
    }

    void commitFont()
    {
        if (!m_fontOpen)
            return;
        m_fontOpen = false;
        FontEntry f = m_font;
        const int cp = codePage(f);
        f.name = (m_fontText + m_decoders.decode(m_fontBytes, cp, SymbolFont::None)).trimmed();
        f.altName = m_decoders.decode(m_fontAltBytes, cp, SymbolFont::None).trimmed();
        f.face = baseFace(f.name);
        // A face of a known kind falls back to its kind when the table names none.
        if (f.hint == QFont::AnyStyle && f.family != static_cast<int>(rtf::FamilyWord::Tech))
            f.hint = kindOfFace(f.altName.isEmpty() ? f.face : f.altName);
        if (cp == kSymbolCodePage) {
            if (f.name.contains(QLatin1String("Wingdings"), Qt::CaseInsensitive))
                f.symbol = SymbolFont::Wingdings;
            else if (f.name.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
                f.symbol = SymbolFont::Symbol;
            else
                f.symbol = SymbolFont::Other;
        }
        m_fonts[m_fontNumber] = std::move(f);
        m_fontBytes.clear();
        m_fontText.clear();
        m_fontAltBytes.clear();
    }

    void commitColor()
    {
        m_colors.push_back(m_colorSet ? m_color : QColor());
        m_color = QColor(0, 0, 0);
        m_colorSet = false;
    }

    const FontEntry* font(int number) const
    {
        const auto it = m_fonts.find(number < 0 ? m_defaultFont : number);
        return it == m_fonts.end() ? nullptr : &it->second;
    }

    int codePage(const FontEntry& f) const
    {
        if (f.codePage > 0)
            return f.codePage;
        return f.charset >= 0 ? codePageOfCharset(f.charset, m_ansiCodePage) : m_ansiCodePage;
    }

    QColor colorAt(int index) const
    {
        if (index < 0 || index >= static_cast<int>(m_colors.size()))
            return {};
        return m_colors[static_cast<size_t>(index)];
    }

    // -------------------------------------------------------------- paragraphs and tables

    enum class End { Par, Cell, NestCell };

    // The row definition the table words go to: a nested table's in \nesttableprops.
    RowDef& rowDef()
    {
        const State& s = cur();
        const int level = s.nestProps ? std::clamp(s.par.nesting, 2, kMaxNesting) : 1;
        if (m_flow.defs.size() < static_cast<size_t>(level))
            m_flow.defs.resize(static_cast<size_t>(level));
        return m_flow.defs[static_cast<size_t>(level - 1)];
    }

    RowDef definedRow(int level)
    {
        if (m_flow.defs.size() < static_cast<size_t>(level))
            return {};
        return m_flow.defs[static_cast<size_t>(level - 1)];
    }

    void endParagraph(End how)
    {
        closeRun();
        Para para = std::move(m_flow.para);
        m_flow.para = Para{};
        para.props = cur().par;
        para.end = cur().chr;
        // \cell ends a cell of the outermost table, \nestcell one of the table nested in it.
        int level = 0;
        if (how == End::Cell)
            level = 1;
        else if (how == End::NestCell)
            level = std::clamp(para.props.nesting, 2, kMaxNesting);
        else if (para.props.inTable)
            level = std::clamp(para.props.nesting, 1, kMaxNesting);
        if (level == 0) {
            flushTable();
            deliver(Item{std::move(para), {}});
            return;
        }
        Level& l = openLevel(level);
        l.cell.items.push_back(Item{std::move(para), {}});
        if (how != End::Par) {
            l.rowCells.push_back(std::move(l.cell));
            l.cell = Cell{};
        }
    }

    // The table of the given nesting level, the deeper ones closed into their cells first.
    Level& openLevel(int level)
    {
        std::vector<Level>& levels = m_flow.levels;
        while (levels.size() > static_cast<size_t>(level))
            closeLevel();
        while (levels.size() < static_cast<size_t>(level))
            levels.emplace_back();
        return levels.back();
    }

    void endRow(int level)
    {
        closeRun();
        if (!m_flow.para.runs.empty())
            endParagraph(level == 1 ? End::Cell : End::NestCell);
        if (m_flow.levels.size() < static_cast<size_t>(level))
            return;
        Level& l = openLevel(level);
        if (!l.cell.items.empty()) {
            l.rowCells.push_back(std::move(l.cell));
            l.cell = Cell{};
        }
        if (l.rowCells.empty())
            return;
        l.rows.push_back({definedRow(level), std::move(l.rowCells)});
        l.rowCells.clear();
    }

    // The deepest open table ends: into the cell around it, or into the text.
    void closeLevel()
    {
        std::vector<Level>& levels = m_flow.levels;
        const int level = static_cast<int>(levels.size());
        Level& l = levels.back();
        if (!l.cell.items.empty())
            l.rowCells.push_back(std::move(l.cell));
        if (!l.rowCells.empty())
            l.rows.push_back({definedRow(level), std::move(l.rowCells)});
        std::vector<Row> rows = std::move(l.rows);
        levels.pop_back();
        if (rows.empty())
            return;
        if (levels.empty())
            deliver(Item{{}, std::move(rows)});
        else
            levels.back().cell.items.push_back(Item{{}, std::move(rows)});
    }

    void flushTable()
    {
        while (!m_flow.levels.empty())
            closeLevel();
    }

    void finish()
    {
        if (m_capture)
            endCapture();
        closeRun();
        // A last paragraph without its mark still shows; an empty one is only the end.
        if (!m_flow.para.runs.empty())
            endParagraph(End::Par);
        flushTable();
        // A last section with nothing in it still has its formatting and its headers.
        if (m_pendingSection > 0 &&
            (!section().words.isEmpty() || !section().parts.empty()))
            deliver(Item{});
        emitNotes();
        for (size_t k = 0; k < m_sectionRecs.size(); ++k) {
            const rtf::Section& sec = m_sectionRecs[k];
            if (!sec.words.isEmpty() || !sec.parts.empty())
                m_doc.addResource(rtf::kSectionResource, rtf::SectionUrl(static_cast<int>(k)),
                                  QVariant::fromValue(sec));
        }
        if (!m_docWords.isEmpty()) {
            QTextFrameFormat root = m_doc.rootFrame()->frameFormat();
            root.setProperty(rtf::kDocumentWords, m_docWords);
            m_doc.rootFrame()->setFrameFormat(root);
        }
    }

    // The notes' texts after the text, below a rule: the footnotes, then the endnotes.
    void emitNotes()
    {
        if (m_notes.empty())
            return;
        Para rule;
        QTextBlockFormat ruleFormat;
        ruleFormat.setProperty(rtf::kNotesRule, true);
        ruleFormat.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                               QTextLength(QTextLength::PercentageLength, 30));
        writeParagraph(m_out, rule, {}, &ruleFormat);
        for (const bool endnotes : {false, true}) {
            for (size_t k = 0; k < m_notes.size(); ++k) {
                Note& note = m_notes[k];
                if (note.endnote != endnotes)
                    continue;
                const Marks marks{0, static_cast<int>(k) + 1, note.endnote};
                // A note read without any text keeps a paragraph, so that its mark has one.
                if (note.items.empty())
                    note.items.push_back(Item{});
                for (Item& item : note.items)
                    put(m_out, item, marks, 1);
            }
        }
    }

    // -------------------------------------------------------------- into the document

    QTextCharFormat charFormat(const CharProps& p)
    {
        if (m_lastFormatValid && m_lastFormatProps == p)
            return m_lastFormat;
        QTextCharFormat f;
        if (const FontEntry* entry = font(p.font)) {
            // A symbol font's glyphs are already Unicode characters of ordinary fonts.
            if (entry->symbol == SymbolFont::None || entry->symbol == SymbolFont::Other) {
                QStringList families;
                // "Times New Roman Cyr" is Times New Roman with a Cyrillic code page; the
                // installed font is found by its own name (\fname), or by the name without
                // the character set, not by the tagged one.
                for (const QString& name : {entry->altName, entry->face, entry->name}) {
                    if (!name.isEmpty() && !families.contains(name))
                        families << name;
                }
                if (!families.isEmpty())
                    f.setFontFamilies(families);
                // The kind of face chooses the fallback when none of them is installed.
                if (entry->hint != QFont::AnyStyle)
                    f.setFontStyleHint(entry->hint);
                if (entry->hint == QFont::TypeWriter)
                    f.setFontFixedPitch(true);
                if (entry->family != 0)
                    f.setProperty(rtf::kFontFamilyWord, entry->family);
                else if (entry->hint != QFont::AnyStyle)  // a kind known from the face only
                    f.setProperty(rtf::kFontFamilyWord, static_cast<int>(rtf::FamilyWord::Nil));
            }
        }
        f.setFontPointSize(p.halfPoints / 2.0);
        f.setFontWeight(p.bold ? QFont::Bold : QFont::Normal);
        f.setFontItalic(p.italic);
        f.setFontUnderline(p.underline);
        f.setFontStrikeOut(p.strike);
        if (p.color >= 0 && p.color < static_cast<int>(m_colors.size()) &&
            m_colors[static_cast<size_t>(p.color)].isValid())
            f.setForeground(m_colors[static_cast<size_t>(p.color)]);
        if (p.background >= 0 && p.background < static_cast<int>(m_colors.size()) &&
            m_colors[static_cast<size_t>(p.background)].isValid())
            f.setBackground(m_colors[static_cast<size_t>(p.background)]);
        if (p.vertical == 1)
            f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
        else if (p.vertical == 2)
            f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
        if (p.caps == 1)
            f.setFontCapitalization(QFont::AllUppercase);
        else if (p.caps == 2)
            f.setFontCapitalization(QFont::SmallCaps);
        if (p.mark != 0)
            f.setProperty(rtf::kNoteNumber, p.mark);
        if (p.field > 0)
            fieldFormat(f, p.field);
        m_lastFormat = f;
        m_lastFormatProps = p;
        m_lastFormatValid = true;
        return f;
    }

    // The fields a result belongs to, outermost first; a hyperlink's target for the view.
    void fieldFormat(QTextCharFormat& f, int field) const
    {
        QVariantList ids;
        QStringList instructions;
        QString target;
        for (int id = field; id > 0 && ids.size() < kMaxDepth;) {
            const FieldDef& def = m_fields[static_cast<size_t>(id - 1)];
            ids.prepend(id);
            instructions.prepend(def.instruction);
            if (target.isEmpty())
                target = hyperlinkTarget(def.instruction);
            id = def.parent < id ? def.parent : 0;
        }
        f.setProperty(rtf::kFieldIds, ids);
        f.setProperty(rtf::kFieldInstructions, instructions);
        if (!target.isEmpty()) {
            f.setAnchor(true);
            f.setAnchorHref(target);
            f.setToolTip(target);
        }
    }

    QTextBlockFormat blockFormat(const ParaProps& p) const
    {
        QTextBlockFormat f;
        if (p.shading >= 0 && p.shading < static_cast<int>(m_colors.size()) &&
            m_colors[static_cast<size_t>(p.shading)].isValid())
            f.setBackground(m_colors[static_cast<size_t>(p.shading)]);
        static constexpr Qt::Alignment kAlign[] = {Qt::AlignLeft, Qt::AlignHCenter,
                                                   Qt::AlignRight, Qt::AlignJustify};
        f.setAlignment(kAlign[p.align & 3]);
        // The view has no page margin to run into: indents stay inside the text area.
        const int left = std::max(0, p.left);
        f.setLeftMargin(left / kTwipsPerUnit);
        f.setRightMargin(std::max(0, p.right) / kTwipsPerUnit);
        f.setTextIndent(std::max(-left, p.first) / kTwipsPerUnit);
        f.setTopMargin(p.before / kTwipsPerUnit);
        f.setBottomMargin(p.after / kTwipsPerUnit);
        if (p.line != 0) {
            if (p.lineMultiple) {
                if (p.line > 0)
                    f.setLineHeight(p.line * 100.0 / 240.0, QTextBlockFormat::ProportionalHeight);
            } else if (p.line > 0) {
                f.setLineHeight(p.line / kTwipsPerUnit, QTextBlockFormat::MinimumHeight);
            } else {
                f.setLineHeight(-p.line / kTwipsPerUnit, QTextBlockFormat::FixedHeight);
            }
        }
        // RTF measures tab stops from the margin, Qt from where the line starts: the stops are
        // placed for the first line, where tabs are used (numbers, bullets).
        const int start = left + std::max(-left, p.first);
        QList<QTextOption::Tab> tabs;
        bool stopAtIndent = false;
        for (int k = 0; k < p.tabCount; ++k) {
            const TabStop& t = p.tabs[static_cast<size_t>(k)];
            if (t.pos <= start)
                continue;
            stopAtIndent = stopAtIndent || t.pos == left;
            static constexpr QTextOption::TabType kType[] = {
                QTextOption::LeftTab, QTextOption::CenterTab, QTextOption::RightTab,
                QTextOption::DelimiterTab};
            tabs.append(QTextOption::Tab((t.pos - start) / kTwipsPerUnit, kType[t.kind & 3],
                                         t.kind == 3 ? QChar('.') : QChar()));
        }
        // A hanging first line stops its first tab at the paragraph's indent, as in Word.
        if (start < left && !stopAtIndent)
            tabs.append(QTextOption::Tab((left - start) / kTwipsPerUnit, QTextOption::LeftTab));
        if (!tabs.isEmpty()) {
            std::sort(tabs.begin(), tabs.end(), [](const auto& a, const auto& b) {
                return a.position < b.position;
            });
            f.setTabPositions(tabs);
        }
        if (p.pageBreakBefore)
            f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        return f;
    }


    // Where emitted text goes: a cursor in the document (or in a header's), and whether its
    // block is still empty and not yet a paragraph of ours.
    struct Out {
        QTextCursor cursor;
        bool fresh = true;
        bool pageBreak = false;  // the next paragraph or table starts a page
    };

    static void markFormat(QTextFormat& f, const Marks& marks)
    {
        if (marks.section > 0)
            f.setProperty(rtf::kSectionStart, marks.section);
        if (marks.note > 0) {
            f.setProperty(rtf::kNoteText, marks.note);
            f.setProperty(rtf::kEndnote, marks.endnote);
        }
    }

    // Writes a paragraph at the cursor: into its current block when fresh, else into a new one.
    void writeParagraph(Out& out, const Para& para, const Marks& marks,
                        const QTextBlockFormat* extra = nullptr)
    {
        QTextBlockFormat bf = blockFormat(para.props);
        if (para.runs.empty())
            bf.setProperty(rtf::kEmptyParagraph, true);
        if (out.pageBreak)
            bf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        out.pageBreak = false;
        markFormat(bf, marks);
        if (extra)
            bf.merge(*extra);
        const QTextCharFormat end = charFormat(para.end);
        if (out.fresh) {
            out.cursor.setBlockFormat(bf);
            // Merged, not set: in a table cell this format also holds the cell's spans.
            out.cursor.mergeBlockCharFormat(end);
            out.fresh = false;
        } else {
            out.cursor.insertBlock(bf, end);
        }
        for (const Run& run : para.runs) {
            if (run.picture >= 0) {
                insertPicture(out.cursor, run);
                continue;
            }
            QTextCharFormat f = charFormat(run.props);
            if (run.note > 0)
                f.setProperty(rtf::kNoteAnchor, run.note);
            out.cursor.insertText(runText(run), f);
        }
    }

    // The size a picture is shown at, in twips: its goal size scaled, or else its own.
    static QSize pictureTwips(const Picture& p, const QSize& natural)
    {
        int w = p.goalWidth;
        int h = p.goalHeight;
        const bool metafile = p.kind == rtf::PictureKind::Wmf || p.kind == rtf::PictureKind::Emf;
        if (w <= 0)  // a metafile's \picw is in hundredths of a millimetre
            w = metafile && p.width > 0 ? p.width * 1440 / 2540 : natural.width() * 15;
        if (h <= 0)
            h = metafile && p.height > 0 ? p.height * 1440 / 2540 : natural.height() * 15;
        w = static_cast<int>(std::clamp<long long>(static_cast<long long>(w) * p.scaleX / 100, 15,
                                                   kMaxTwips));
        h = static_cast<int>(std::clamp<long long>(static_cast<long long>(h) * p.scaleY / 100, 15,
                                                   kMaxTwips));
        return {w, h};
    }

    // Takes pixels from the document's budget for pictures: false when they are beyond it, so
    // that a small file of many pictures that unpack large cannot take all memory.
    bool spend(qint64 pixels)
    {
        if (pixels <= 0 || pixels > kMaxPictPixels || m_renderedPixels + pixels > kMaxRenderedPixels)
            return false;
        m_renderedPixels += pixels;
        return true;
    }

    // A raster picture, read only when its size is within bounds.
    QImage readRaster(const QByteArray& data, const char* format)
    {
        QByteArray copy = data;
        QBuffer buffer(&copy);
        QImageReader reader(&buffer, format);
        const QSize size = reader.size();
        if (!size.isValid() || !spend(static_cast<qint64>(size.width()) * size.height()))
            return {};
        return reader.read();
    }

    // The picture as the view shows it: raster pictures as they are, metafiles drawn by our
    // players at twice the shown size, so that they stay sharp when zoomed or printed.
    QImage renderPicture(const Picture& p, QSize& natural)
    {
        switch (p.kind) {
        case rtf::PictureKind::Png:
        case rtf::PictureKind::Jpeg: {
            QImage image = readRaster(p.data, p.kind == rtf::PictureKind::Png ? "png" : "jpeg");
            natural = image.size();
            return image;
        }
        case rtf::PictureKind::Dib: {
            // The budget by the header's size (the old core header's is smaller still).
            if (p.data.size() >= 12) {
                const auto* h = reinterpret_cast<const uchar*>(p.data.constData());
                const bool core = qFromLittleEndian<quint32>(h) == 12;
                const qint64 w = core ? qFromLittleEndian<quint16>(h + 4)
                                      : std::abs(qint64{qFromLittleEndian<qint32>(h + 4)});
                const qint64 rows = core ? qFromLittleEndian<quint16>(h + 6)
                                         : std::abs(qint64{qFromLittleEndian<qint32>(h + 8)});
                if (!spend(w * rows))
                    return {};
            }
            const auto dib = gdi::DecodePackedDib(reinterpret_cast<const uchar*>(p.data.constData()),
                                                  static_cast<size_t>(p.data.size()), 0, {});
            if (!dib)
                return {};
            natural = QSize(dib->image.width(), dib->fullHeight);
            return dib->image;
        }
        case rtf::PictureKind::Wmf:
        case rtf::PictureKind::Emf:
            break;
        }
        std::optional<WmfPicture> wmf;
        std::optional<EmfPicture> emf;
        if (p.kind == rtf::PictureKind::Wmf) {
            wmf = WmfPicture::Parse(p.data);
            if (wmf)
                natural = wmf->SizeAtDpi(96, 96);
        } else {
            emf = EmfPicture::Parse(p.data);
            if (emf)
                natural = emf->SizeAtDpi(96, 96);
        }
        if (!wmf && !emf)
            return {};
        const QSize shown = pictureTwips(p, natural) / 15;
        QSize size = shown * 2;
        if (static_cast<qint64>(size.width()) * size.height() > kMaxPictPixels)
            size = shown;
        if (size.isEmpty() || !spend(static_cast<qint64>(size.width()) * size.height()))
            return {};
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull())
            return {};
        image.fill(Qt::transparent);
        QPainter painter(&image);
        const QRectF target(QPointF(0, 0), QSizeF(size));
        if (wmf)
            wmf->Play(painter, target);
        else
            emf->Play(painter, target);
        return image;
    }


    void insertPicture(QTextCursor& cursor, const Run& run)
    {
        const Picture& p = m_pictures[static_cast<size_t>(run.picture)];
        QSize natural;
        QImage image = renderPicture(p, natural);
        const QSize twips = pictureTwips(p, natural.isEmpty() ? QSize(32, 32) : natural);
        const QSizeF shown(twips.width() / kTwipsPerUnit, twips.height() / kTwipsPerUnit);
        if (image.isNull()) {
            // Damaged or beyond our bounds: written back, it could make a word processor refuse
            // the whole file, so it is left out, and the load says so. A note anchored to it
            // keeps its number as its mark.
            m_omitted |= kRtfOmittedDrawings;
            if (run.note > 0) {
                CharProps props = run.props;
                props.mark = ++m_marks;
                props.vertical = 1;
                QTextCharFormat f = charFormat(props);
                f.setProperty(rtf::kNoteAnchor, run.note);
                cursor.insertText(m_notes[static_cast<size_t>(run.note - 1)].number, f);
            }
            return;
        }
        QTextDocument* doc = cursor.document();
        const QUrl name(QStringLiteral("rtfpict:%1").arg(run.picture));
        doc->addResource(QTextDocument::ImageResource, name, image);
        doc->addResource(rtf::kPictureDataResource, rtf::PictureDataUrl(name.toString()), p.data);
        QTextImageFormat f;
        f.merge(charFormat(run.props));
        f.setName(name.toString());
        f.setWidth(shown.width());
        f.setHeight(shown.height());
        f.setProperty(rtf::kPictKind, static_cast<int>(p.kind));
        f.setProperty(rtf::kPictMetaMapMode, p.mapMode);
        f.setProperty(rtf::kPictWidth, p.width > 0 ? p.width : natural.width());
        f.setProperty(rtf::kPictHeight, p.height > 0 ? p.height : natural.height());
        f.setProperty(rtf::kPictGoalWidth, p.goalWidth);
        f.setProperty(rtf::kPictGoalHeight, p.goalHeight);
        f.setProperty(rtf::kPictScaleX, p.scaleX);
        f.setProperty(rtf::kPictScaleY, p.scaleY);
        if (run.note > 0)
            f.setProperty(rtf::kNoteAnchor, run.note);
        cursor.insertImage(f);
    }

    // A paragraph or table of the body (or of the note or header being read) is complete.
    void deliver(Item item)
    {
        if (m_capture) {
            m_capture->items.push_back(std::move(item));
            return;
        }
        Marks marks;
        marks.section = m_pendingSection;
        m_pendingSection = 0;
        m_emitted += item.rows.empty() ? 1 : static_cast<long>(item.rows.size());
        put(m_out, item, marks, 1);
    }

    // Puts an item at out; depth 1 is a table of the text, deeper ones are nested in cells.
    void put(Out& out, Item& item, const Marks& marks, int depth)
    {
        if (item.rows.empty())
            writeParagraph(out, item.para, marks);
        else
            writeTable(out, item.rows, marks, depth);
    }

    // \clmrg: a cell merged into the one before it widens that one and gives it its text.
    static void mergeAcross(Row& row)
    {
        std::vector<CellDef> defs;
        std::vector<Cell> cells;
        for (size_t k = 0; k < std::max(row.def.cells.size(), row.cells.size()); ++k) {
            const bool merged = k < row.def.cells.size() && row.def.cells[k].hNext && !defs.empty();
            if (merged) {
                defs.back().right = row.def.cells[k].right;
                if (k < row.cells.size() && cells.size() == defs.size()) {
                    for (Item& item : row.cells[k].items) {
                        if (!item.rows.empty() || !item.para.runs.empty())
                            cells.back().items.push_back(std::move(item));
                    }
                }
                continue;
            }
            if (k < row.def.cells.size())
                defs.push_back(row.def.cells[k]);
            if (k < row.cells.size())
                cells.push_back(std::move(row.cells[k]));
        }
        row.def.cells = std::move(defs);
        row.cells = std::move(cells);
    }

    // A cell's own shading, vertical alignment and padding.
    void applyCell(QTextTableCell cell, const CellDef& def) const
    {
        QTextTableCellFormat f = cell.format().toTableCellFormat();
        const QColor fill = colorAt(def.fill);
        const QColor pattern = colorAt(def.pattern);
        if (def.shading > 0) {
            // The pattern's colour over the fill in that share, as word processors show it.
            const QColor back = fill.isValid() ? fill : QColor(Qt::white);
            const QColor fore = pattern.isValid() ? pattern : QColor(Qt::black);
            const double share = def.shading / 10000.0;
            auto mix = [share](int b, int p) { return static_cast<int>(std::lround(b + (p - b) * share)); };
            f.setBackground(QColor(mix(back.red(), fore.red()), mix(back.green(), fore.green()),
                                   mix(back.blue(), fore.blue())));
            f.setProperty(rtf::kCellShading, def.shading);
            if (pattern.isValid())
                f.setProperty(rtf::kCellPattern, pattern);
            if (fill.isValid())
                f.setProperty(rtf::kCellFill, fill);
        } else if (fill.isValid()) {
            f.setBackground(fill);
        }
        if (def.valign == 1)
            f.setVerticalAlignment(QTextCharFormat::AlignMiddle);
        else if (def.valign == 2)
            f.setVerticalAlignment(QTextCharFormat::AlignBottom);
        for (size_t k = 0; k < def.pad.size(); ++k) {
            if (def.pad[k] < 0 || def.padUnit[k] == 0)
                continue;
            f.setProperty(rtf::kCellPadL + static_cast<int>(k), def.pad[k]);
            // Word takes \clpadl for the top and \clpadt for the left, and so does the view.
            const qreal units = def.pad[k] / kTwipsPerUnit;
            switch (k) {
            case 0: f.setTopPadding(units); break;
            case 1: f.setRightPadding(units); break;
            case 2: f.setLeftPadding(units); break;
            default: f.setBottomPadding(units); break;
            }
        }
        cell.setFormat(f);
    }

    static bool emptyCell(const Cell& cell)
    {
        return std::all_of(cell.items.begin(), cell.items.end(), [](const Item& item) {
            return item.rows.empty() && item.para.runs.empty();
        });
    }

    void writeTable(Out& out, std::vector<Row>& rows, const Marks& marks, int depth)
    {
        for (Row& row : rows) {
            mergeAcross(row);
            // Empty cells beyond the ones the row defines are no cells (some writers end a
            // row with more \cell than it has).
            while (!row.def.cells.empty() && row.cells.size() > row.def.cells.size() &&
                   emptyCell(row.cells.back()))
                row.cells.pop_back();
        }
        // Columns: every cell edge of every row, so that rows of different cuts line up and a
        // cell wider than those above it spans their columns.
        std::vector<std::vector<std::pair<int, int>>> spans(rows.size());
        std::vector<int> edges;
        size_t widest = 0;
        for (size_t r = 0; r < rows.size(); ++r) {
            const Row& row = rows[r];
            const size_t count = std::max(row.cells.size(), row.def.cells.size());
            widest = std::max(widest, count);
            int prev = row.def.left;
            for (size_t k = 0; k < count; ++k) {
                int right = k < row.def.cells.size() ? row.def.cells[k].right : prev + 1440;
                right = std::max(right, prev + 1);
                spans[r].emplace_back(prev, right);
                edges.push_back(prev);
                edges.push_back(right);
                prev = right;
            }
        }
        std::sort(edges.begin(), edges.end());
        edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
        const bool grid = edges.size() >= 2 && edges.size() - 1 <= static_cast<size_t>(kMaxColumns);
        const int columns = grid ? static_cast<int>(edges.size() - 1)
                                 : static_cast<int>(std::min<size_t>(widest, kMaxColumns + 1));
        const long cells = static_cast<long>(rows.size()) * columns;
        if (columns <= 0 || columns > kMaxColumns || m_tableCells + cells > kMaxTableCells) {
            writeRowsAsLines(out, rows, marks);
            return;
        }
        m_tableCells += cells;

        QTextTableFormat tf;
        tf.setBorder(1);
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setBorderBrush(QColor(0x80, 0x80, 0x80));
        tf.setBorderCollapse(true);
        tf.setCellPadding(3);
        tf.setCellSpacing(0);
        // The file's own gap between cells and its indent go back out when it is saved.
        const RowGaps& gaps = rows.front().def.gaps;
        tf.setProperty(rtf::kCellGap, std::max(0, gaps.gap));
        for (size_t k = 0; k < gaps.pad.size(); ++k) {
            if (gaps.pad[k] >= 0)
                tf.setProperty(rtf::kCellPadLeft + static_cast<int>(k), gaps.pad[k]);
        }
        tf.setProperty(rtf::kTableLeft, rows.front().def.left);
        markFormat(tf, marks);
        if (grid) {
            QList<QTextLength> widths;
            for (size_t c = 0; c + 1 < edges.size(); ++c)
                widths.append(QTextLength(QTextLength::FixedLength,
                                          (edges[c + 1] - edges[c]) / kTwipsPerUnit));
            tf.setColumnWidthConstraints(widths);
        }
        if (out.pageBreak) {
            tf.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
            out.pageBreak = false;
        }
        QTextTable* table = out.cursor.insertTable(static_cast<int>(rows.size()), columns, tf);
        auto column = [&](int edge) {
            return static_cast<int>(std::lower_bound(edges.begin(), edges.end(), edge) -
                                    edges.begin());
        };
        // Vertical merges: a cell that continues the one above it at the same columns.
        struct Merge {
            int row, first, span, last;
        };
        std::vector<Merge> merges;
        std::vector<int> open(static_cast<size_t>(columns), -1);  // the merge going on there
        for (size_t r = 0; r < rows.size(); ++r) {
            const int row = static_cast<int>(r);
            for (size_t k = 0; k < spans[r].size() && static_cast<int>(k) < columns; ++k) {
                int first = static_cast<int>(k);
                int span = 1;
                if (grid) {
                    first = column(spans[r][k].first);
                    span = column(spans[r][k].second) - first;
                    if (span > 1)
                        table->mergeCells(row, first, 1, span);
                }
                const CellDef def = k < rows[r].def.cells.size() ? rows[r].def.cells[k] : CellDef{};
                int& going = open[static_cast<size_t>(first)];
                if (def.vNext && going >= 0 && merges[static_cast<size_t>(going)].span == span &&
                    merges[static_cast<size_t>(going)].last == row - 1) {
                    merges[static_cast<size_t>(going)].last = row;
                } else if (def.vFirst) {
                    merges.push_back({row, first, span, row});
                    going = static_cast<int>(merges.size()) - 1;
                } else {
                    going = -1;
                }
                applyCell(table->cellAt(row, first), def);
                if (k >= rows[r].cells.size())
                    continue;
                Out cell{table->cellAt(row, first).firstCursorPosition()};
                for (Item& item : rows[r].cells[k].items)
                    put(cell, item, {}, depth + 1);
            }
        }
        // The text of a cell merged into the one above joins it.
        for (const Merge& m : merges) {
            if (m.last > m.row)
                table->mergeCells(m.row, m.first, m.last - m.row + 1, m.span);
        }
        // The block after the table is empty and takes the next paragraph.
        out.cursor = table->lastCursorPosition();
        out.cursor.movePosition(QTextCursor::NextBlock);
        out.fresh = true;
    }

    // A cell's text on one line, its nested tables' cells separated by tabs.
    static void flattenCell(std::vector<Item>& items, Para& line)
    {
        for (Item& item : items) {
            if (item.rows.empty()) {
                if (line.runs.empty()) {
                    line.props = item.para.props;
                    line.end = item.para.end;
                }
                line.runs.insert(line.runs.end(), item.para.runs.begin(), item.para.runs.end());
                continue;
            }
            for (Row& row : item.rows) {
                for (size_t k = 0; k < row.cells.size(); ++k) {
                    if (k > 0 && !line.runs.empty())
                        line.runs.push_back({line.runs.back().props, QStringLiteral("\t")});
                    flattenCell(row.cells[k].items, line);
                }
            }
        }
    }

    // A table too large to show as one: each row a line, its cells separated by tabs.
    void writeRowsAsLines(Out& out, std::vector<Row>& rows, const Marks& marks)
    {
        Marks first = marks;
        for (Row& row : rows) {
            Para line;
            for (size_t k = 0; k < row.cells.size(); ++k) {
                if (k > 0 && !line.runs.empty()) {
                    Run tab{line.runs.back().props, QStringLiteral("\t")};
                    line.runs.push_back(std::move(tab));
                }
                flattenCell(row.cells[k].items, line);
            }
            line.props.inTable = false;
            writeParagraph(out, line, first);
            first.section = 0;
        }
    }

    // A note or header being read: where its group ends, and what it has so far.
    struct Capture {
        size_t depth = 0;  // the size of the group stack with its group open
        int note = 0;      // a note's number in the document (1-based), or 0
        int part = 0;      // else the header or footer (index of kPartWords)
        std::vector<Item> items;
    };

    // A shape being read: its place (twips) and its picture.
    struct ShapeRec {
        std::array<int, 4> rect{};  // \shpleft, \shptop, \shpright, \shpbottom
        QString property;           // the name of the property whose value is being read
        std::optional<Picture> picture;
    };

    std::string_view m_in;
    size_t m_pos = 0;       // where the next step goes on reading
    long m_emitted = 0;     // paragraphs and table rows put into the document
    long m_target = 0;      // where the current step stops
    bool m_finished = false;
    bool m_pageSet = false;
    rtf::Page m_setPage;
    int m_setDefTab = -1;
    QTextDocument& m_doc;
    Out m_out;

    std::vector<State> m_stack;
    int m_overflow = 0;  // groups opened beyond kMaxDepth
    bool m_done = false;
    bool m_star = false;
    int m_skipChars = 0;  // fallback characters still to skip after \uN

    int m_ansiCodePage = 1252;
    int m_defaultFont = 0;
    int m_defTab = 720;
    Decoders m_decoders;

    std::unordered_map<int, FontEntry> m_fonts;
    FontEntry m_font;
    int m_fontNumber = 0;
    bool m_fontOpen = false;
    std::string m_fontBytes;
    QString m_fontText;  // the name's characters before the bytes still in m_fontBytes
    std::string m_fontAltBytes;

    std::vector<QColor> m_colors;
    QColor m_color{0, 0, 0};
    bool m_colorSet = false;

    Flow m_flow;   // where text goes now
    Flow m_saved;  // the body's, while a note or header is read
    std::optional<Capture> m_capture;
    long m_tableCells = 0;

    QTextCharFormat m_lastFormat;
    CharProps m_lastFormatProps;
    bool m_lastFormatValid = false;

    // The page: RTF's defaults (US Letter, margins of 1.25 and 1 inch) until the file says.
    rtf::Page m_page{12240, 15840, 1800, 1800, 1440, 1440, false};
    bool m_pageSeen = false;
    int m_sections = 0;
    std::vector<rtf::Section> m_sectionRecs;  // the sections' own formatting and parts
    int m_pendingSection = 0;  // the section whose first paragraph or table comes next
    QString m_docWords;

    Picture m_pict;
    bool m_pictForShape = false;  // the picture being read is a shape's
    std::vector<Picture> m_pictures;
    qint64 m_renderedPixels = 0;

    ShapeRec m_shape;
    std::string m_shapeName;
    bool m_shapeShown = false;   // the current shape's picture is in the text
    bool m_shapeResult = false;  // the current shape has a result for readers without shapes
    bool m_shapeGroup = false;   // the next shape instruction is a group's

    std::vector<FieldDef> m_fields;
    std::string m_instBytes;  // the instruction being read: bytes not yet decoded,
    QString m_instText;       // and the text so far

    std::vector<Note> m_notes;
    int m_marks = 0;  // note numbers read (\chftn), to tell each from the next
    std::vector<int> m_markNotes;  // the note each of them numbers (1-based), or 0
    int m_footKind = 0;  // how footnotes and endnotes are numbered (noteNumber)
    int m_endKind = 3;
    int m_footStart = 1;
    int m_endStart = 1;
    int m_footCount = 0;
    int m_endCount = 0;
    unsigned m_omitted = 0;

public:
    unsigned omitted() const { return m_omitted; }
};

}  // namespace

bool LooksLikeRtf(std::string_view bytes)
{
    size_t i = 0;
    while (i < bytes.size() && (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' ||
                                bytes[i] == '\n'))
        ++i;
    return bytes.substr(i, 5) == "{\\rtf";
}

struct RtfReader::Parser : RtfParser {
    using RtfParser::RtfParser;
};

RtfReader::RtfReader(std::string_view bytes, QTextDocument& document)
    : m_document(document), m_undo(document.isUndoRedoEnabled())
{
    document.setUndoRedoEnabled(false);
    document.clear();
    // Nothing of a page read before stays: the page is the file's or none.
    if (QTextFrameFormat root = document.rootFrame()->frameFormat();
        root.hasProperty(rtf::kPaperWidth) || root.hasProperty(rtf::kDocumentWords)) {
        for (int p = rtf::kPaperWidth; p <= rtf::kLandscape; ++p)
            root.clearProperty(p);
        root.clearProperty(rtf::kDocumentWords);
        document.rootFrame()->setFrameFormat(root);
    }
    m_parser = std::make_unique<Parser>(bytes, document);
}

RtfReader::~RtfReader()
{
    m_document.setUndoRedoEnabled(m_undo);
}

bool RtfReader::ReadSome(long paragraphs)
{
    return m_parser->step(paragraphs);
}

bool RtfReader::AtEnd() const
{
    return m_parser->finished();
}

RtfLoadInfo RtfReader::Info() const
{
    return RtfLoadInfo{m_parser->omitted()};
}

bool ReadRtf(std::string_view bytes, QTextDocument& document, RtfLoadInfo* info)
{
    if (!LooksLikeRtf(bytes))
        return false;
    RtfReader reader(bytes, document);
    reader.ReadSome(LONG_MAX);
    if (info)
        *info = reader.Info();
    return true;
}

}  // namespace orm
