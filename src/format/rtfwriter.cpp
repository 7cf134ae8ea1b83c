#include "format/rtfwriter.h"

#include <QFont>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <cmath>
#include <variant>
#include <vector>

#include "core/model/cp1251.h"
#include "format/rtfdocument.h"
#include "format/textcodec.h"

namespace orm {

namespace {

constexpr double kTwipsPerUnit = 15.0;  // layout units are pixels at 96 dpi
constexpr int kTextWidth = 9638;        // twips between the margins of an A4 page (17 cm)
constexpr int kHexPerLine = 128;        // picture data, as word processors write it

int twips(qreal units)
{
    return static_cast<int>(std::lround(units * kTwipsPerUnit));
}

// The items of a frame in order: its blocks and its child frames (tables).
using FrameItem = std::variant<QTextBlock, QTextFrame*>;

std::vector<FrameItem> itemsOf(const QTextFrame* frame)
{
    std::vector<FrameItem> items;
    for (auto it = frame->begin(); !it.atEnd(); ++it) {
        if (QTextFrame* child = it.currentFrame())
            items.emplace_back(child);
        else
            items.emplace_back(it.currentBlock());
    }
    return items;
}

// QTextDocument keeps an empty block in front of a table that opens a frame or follows another
// table; it is structure, not a paragraph of the text.
bool isStructuralBlock(const std::vector<FrameItem>& items, size_t k)
{
    const auto* block = std::get_if<QTextBlock>(&items[k]);
    if (!block || block->length() > 1 || block->blockFormat().hasProperty(rtf::kEmptyParagraph) ||
        k + 1 >= items.size() ||
        !std::holds_alternative<QTextFrame*>(items[k + 1]))
        return false;
    return k == 0 || std::holds_alternative<QTextFrame*>(items[k - 1]);
}

std::string number(long long v)
{
    return std::to_string(v);
}

class RtfWriter {
public:
    explicit RtfWriter(const QTextDocument& doc) : m_doc(doc)
    {
        const QFont base = doc.defaultFont();
        m_baseFamily = base.family();
        if (base.pointSizeF() > 0)
            m_basePoints = base.pointSizeF();
        else if (base.pixelSize() > 0)
            m_basePoints = base.pixelSize() * 0.75;
        m_baseBold = base.bold();
        m_baseItalic = base.italic();
        m_baseUnderline = base.underline();
        m_baseStrike = base.strikeOut();
        fontIndex(m_baseFamily, familyWord(base.styleHint()));
        m_page = rtf::DocumentPage(doc);
        if (m_page)
            m_textWidth = std::max(1440, m_page->paperWidth - m_page->left - m_page->right);
    }

    std::string run()
    {
        writeFrame(m_doc.rootFrame(), false);
        std::string out = "{\\rtf1\\ansi\\ansicpg1251\\deff0\\deftab";
        out += number(std::max(1, twips(m_doc.defaultTextOption().tabStopDistance())));
        out += "\\deflang1049\r\n{\\fonttbl";
        for (size_t k = 0; k < m_fonts.size(); ++k) {
            out += "{\\f" + number(static_cast<long long>(k)) + m_fonts[k].word +
                   "\\fcharset204 ";
            QString name = m_fonts[k].family;
            name.replace(QChar(';'), QChar(' '));
            out += escaped(name) + ";}";
        }
        out += "}\r\n{\\colortbl;";
        for (const QColor& c : m_colors)
            out += "\\red" + number(c.red()) + "\\green" + number(c.green()) + "\\blue" +
                   number(c.blue()) + ";";
        out += "}\r\n";
        if (m_page) {
            out += "\\paperw" + number(m_page->paperWidth) + "\\paperh" +
                   number(m_page->paperHeight) + "\\margl" + number(m_page->left) + "\\margr" +
                   number(m_page->right) + "\\margt" + number(m_page->top) + "\\margb" +
                   number(m_page->bottom);
            if (m_page->landscape)
                out += "\\landscape";
            out += "\r\n";
        }
        out += "\\viewkind4\\uc1\r\n";
        out += m_body;
        out += "}\r\n";
        return out;
    }

    // Text as RTF: Windows-1251 characters as \'hh, others as \uN with "?" as fallback.
    static std::string escaped(const QString& text)
    {
        std::string out;
        out.reserve(static_cast<size_t>(text.size()));
        for (const QChar qc : text) {
            const char16_t c = qc.unicode();
            if (c < 0x80) {
                if (c == '\\' || c == '{' || c == '}') {
                    out += '\\';
                    out += static_cast<char>(c);
                } else if (c == '\t') {
                    out += "\\tab ";
                } else if (c >= 0x20) {
                    out += static_cast<char>(c);
                }
                continue;
            }
            switch (c) {
            case QChar::LineSeparator:
            case QChar::ParagraphSeparator:
                out += "\\line ";
                continue;
            case 0x00A0:
                out += "\\~";
                continue;
            case 0x00AD:
                out += "\\-";
                continue;
            case 0x2011:
                out += "\\_";
                continue;
            case QChar::ObjectReplacementCharacter:
                continue;
            default:
                break;
            }
            if (IsCp1251Representable(c)) {
                static const char kHex[] = "0123456789abcdef";
                const auto b = static_cast<unsigned char>(UnicodeToCp1251(c));
                out += "\\'";
                out += kHex[b >> 4];
                out += kHex[b & 15];
            } else {
                // \u takes a signed 16-bit number; surrogate pairs go as two of them.
                out += "\\u" + number(static_cast<int16_t>(c)) + "?";
            }
        }
        return out;
    }

private:
    struct FontDef {
        QString family;
        const char* word;
    };

    static const char* familyWord(QFont::StyleHint hint)
    {
        switch (hint) {
        case QFont::Serif:
            return "\\froman";
        case QFont::SansSerif:
            return "\\fswiss";
        case QFont::TypeWriter:
        case QFont::Monospace:
            return "\\fmodern";
        case QFont::Cursive:
            return "\\fscript";
        case QFont::Decorative:
            return "\\fdecor";
        default:
            return "\\fnil";
        }
    }

    // The family word of a run's font: the one its font table gave, else its style hint's,
    // else none (\fnil), never a guess.
    static const char* familyWordOf(const QTextCharFormat& f)
    {
        if (f.hasProperty(rtf::kFontFamilyWord)) {
            switch (static_cast<rtf::FamilyWord>(f.intProperty(rtf::kFontFamilyWord))) {
            case rtf::FamilyWord::Roman: return "\\froman";
            case rtf::FamilyWord::Swiss: return "\\fswiss";
            case rtf::FamilyWord::Modern: return "\\fmodern";
            case rtf::FamilyWord::Script: return "\\fscript";
            case rtf::FamilyWord::Decor: return "\\fdecor";
            case rtf::FamilyWord::Tech: return "\\ftech";
            case rtf::FamilyWord::Bidi: return "\\fbidi";
            default: return "\\fnil";
            }
        }
        if (f.hasProperty(QTextFormat::FontStyleHint))
            return familyWord(f.fontStyleHint());
        return "\\fnil";
    }

    int fontIndex(const QString& family, const char* word)
    {
        for (size_t k = 0; k < m_fonts.size(); ++k) {
            if (m_fonts[k].family == family)
                return static_cast<int>(k);
        }
        m_fonts.push_back({family, word});
        return static_cast<int>(m_fonts.size() - 1);
    }

    // Colour table index; 0 is "automatic".
    int colorIndex(const QColor& color)
    {
        const QColor c = color.toRgb();
        for (size_t k = 0; k < m_colors.size(); ++k) {
            if (m_colors[k].rgb() == c.rgb())
                return static_cast<int>(k + 1);
        }
        m_colors.push_back(c);
        return static_cast<int>(m_colors.size());
    }

    std::string charWords(const QTextCharFormat& f)
    {
        QString family = m_baseFamily;
        const QStringList families = f.property(QTextFormat::FontFamilies).toStringList();
        if (!families.isEmpty() && !families.constFirst().isEmpty())
            family = families.constFirst();
        std::string out = "\\plain\\f" + number(fontIndex(family, familyWordOf(f)));
        const qreal points = f.hasProperty(QTextFormat::FontPointSize) && f.fontPointSize() > 0
                                 ? f.fontPointSize()
                                 : m_basePoints;
        out += "\\fs" + number(std::max(2L, std::lround(points * 2)));
        const bool bold =
            f.hasProperty(QTextFormat::FontWeight) ? f.fontWeight() >= QFont::DemiBold : m_baseBold;
        const bool italic = f.hasProperty(QTextFormat::FontItalic) ? f.fontItalic() : m_baseItalic;
        const bool underline = f.hasProperty(QTextFormat::FontUnderline) ||
                                       f.hasProperty(QTextFormat::TextUnderlineStyle)
                                   ? f.fontUnderline()
                                   : m_baseUnderline;
        const bool strike =
            f.hasProperty(QTextFormat::FontStrikeOut) ? f.fontStrikeOut() : m_baseStrike;
        if (bold)
            out += "\\b";
        if (italic)
            out += "\\i";
        if (underline)
            out += "\\ul";
        if (strike)
            out += "\\strike";
        if (f.fontCapitalization() == QFont::AllUppercase)
            out += "\\caps";
        else if (f.fontCapitalization() == QFont::SmallCaps)
            out += "\\scaps";
        if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
            out += "\\super";
        else if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
            out += "\\sub";
        if (f.hasProperty(QTextFormat::ForegroundBrush) && f.foreground().style() != Qt::NoBrush)
            out += "\\cf" + number(colorIndex(f.foreground().color()));
        if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
            out += "\\chcbpat" + number(colorIndex(f.background().color()));
        return out + " ";
    }

    std::string paraWords(const QTextBlockFormat& f, bool inTable)
    {
        std::string out = "\\pard";
        if (inTable)
            out += "\\intbl";
        const Qt::Alignment align = f.alignment() & Qt::AlignHorizontal_Mask;
        if (align & Qt::AlignHCenter)
            out += "\\qc";
        else if (align & (Qt::AlignRight | Qt::AlignTrailing))
            out += "\\qr";
        else if (align & Qt::AlignJustify)
            out += "\\qj";
        const int left = twips(f.leftMargin() + f.indent() * m_doc.indentWidth());
        auto word = [&out](const char* name, int value) {
            if (value != 0)
                out += std::string("\\") + name + number(value);
        };
        word("li", left);
        word("ri", twips(f.rightMargin()));
        word("fi", twips(f.textIndent()));
        word("sb", twips(f.topMargin()));
        word("sa", twips(f.bottomMargin()));
        switch (f.lineHeightType()) {
        case QTextBlockFormat::ProportionalHeight:
            if (std::lround(f.lineHeight()) != 100 && f.lineHeight() > 0)
                out += "\\sl" + number(std::lround(f.lineHeight() * 240 / 100)) + "\\slmult1";
            break;
        case QTextBlockFormat::FixedHeight:
            out += "\\sl-" + number(twips(f.lineHeight())) + "\\slmult0";
            break;
        case QTextBlockFormat::MinimumHeight:
            out += "\\sl" + number(twips(f.lineHeight())) + "\\slmult0";
            break;
        default:
            break;
        }
        // Qt measures tab stops from the first line's start, RTF from the margin. The stop at
        // the indent of a hanging paragraph goes without saying.
        const int start = left + twips(f.textIndent());
        for (const QTextOption::Tab& tab : f.tabPositions()) {
            if (start < left && tab.type == QTextOption::LeftTab &&
                start + twips(tab.position) == left)
                continue;
            if (tab.type == QTextOption::CenterTab)
                out += "\\tqc";
            else if (tab.type == QTextOption::RightTab)
                out += "\\tqr";
            else if (tab.type == QTextOption::DelimiterTab)
                out += "\\tqdec";
            out += "\\tx" + number(start + twips(tab.position));
        }
        if (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
            out += "\\pagebb";
        if (f.hasProperty(QTextFormat::BackgroundBrush) && f.background().style() != Qt::NoBrush)
            out += "\\cbpat" + number(colorIndex(f.background().color()));
        return out;
    }

    // One paragraph without its end mark.
    void writeBlock(const QTextBlock& block, bool inTable)
    {
        m_body += paraWords(block.blockFormat(), inTable);
        // The mark's formatting first: it sets the height of an empty paragraph. Each run
        // then goes in a group of its own, so that no reader carries one run's formatting
        // into the next (a superscript left switched on, say).
        m_body += charWords(block.charFormat());
        std::string words;
        std::string text;
        auto flush = [&] {
            if (!text.empty())
                m_body += "{" + words + text + "}";
            text.clear();
        };
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const QTextCharFormat format = fragment.charFormat();
            if (format.isImageFormat()) {
                const std::string picture = pictureGroup(format.toImageFormat());
                if (!picture.empty()) {
                    flush();
                    for (qsizetype k = 0; k < fragment.length(); ++k)
                        m_body += picture;
                }
                continue;
            }
            std::string next = charWords(format);
            if (next != words) {
                flush();
                words = std::move(next);
            }
            text += escaped(fragment.text());
        }
        flush();
    }

    // A picture read from RTF, written back as it came: its kind, sizes and bytes.
    std::string pictureGroup(const QTextImageFormat& f)
    {
        const QByteArray data =
            m_doc.resource(rtf::kPictureDataResource, rtf::PictureDataUrl(f.name())).toByteArray();
        if (data.isEmpty() || !f.hasProperty(rtf::kPictKind))
            return {};
        std::string out = "{\\pict";
        const int mode = f.intProperty(rtf::kPictMetaMapMode);
        switch (static_cast<rtf::PictureKind>(f.intProperty(rtf::kPictKind))) {
        case rtf::PictureKind::Png: out += "\\pngblip"; break;
        case rtf::PictureKind::Jpeg: out += "\\jpegblip"; break;
        case rtf::PictureKind::Emf: out += "\\emfblip"; break;
        case rtf::PictureKind::Wmf: out += "\\wmetafile" + number(mode > 0 ? mode : 8); break;
        case rtf::PictureKind::Dib: out += "\\dibitmap" + number(mode); break;
        default: return {};
        }
        out += "\\picw" + number(f.intProperty(rtf::kPictWidth)) + "\\pich" +
               number(f.intProperty(rtf::kPictHeight));
        if (const int w = f.intProperty(rtf::kPictGoalWidth); w > 0)
            out += "\\picwgoal" + number(w);
        if (const int h = f.intProperty(rtf::kPictGoalHeight); h > 0)
            out += "\\pichgoal" + number(h);
        const int sx = f.hasProperty(rtf::kPictScaleX) ? f.intProperty(rtf::kPictScaleX) : 100;
        const int sy = f.hasProperty(rtf::kPictScaleY) ? f.intProperty(rtf::kPictScaleY) : 100;
        if (sx != 100 || sy != 100)
            out += "\\picscalex" + number(sx) + "\\picscaley" + number(sy);
        static const char kHex[] = "0123456789abcdef";
        out.reserve(out.size() + static_cast<size_t>(data.size()) * 2 +
                    static_cast<size_t>(data.size()) / 32 + 8);
        for (qsizetype k = 0; k < data.size(); ++k) {
            if (k % (kHexPerLine / 2) == 0)
                out += "\r\n";
            const auto b = static_cast<unsigned char>(data[k]);
            out += kHex[b >> 4];
            out += kHex[b & 15];
        }
        return out + "}";
    }

    // The blocks of a frame in order; a nested frame's blocks join them. The last paragraph
    // of the document goes without its mark unless it is empty, so that reading the file back
    // gives the same paragraphs.
    void writeFrame(const QTextFrame* frame, bool inTable)
    {
        const std::vector<FrameItem> items = itemsOf(frame);
        for (size_t k = 0; k < items.size(); ++k) {
            if (isStructuralBlock(items, k))
                continue;
            if (const auto* child = std::get_if<QTextFrame*>(&items[k])) {
                if (auto* table = qobject_cast<QTextTable*>(*child); table && !inTable)
                    writeTable(table);
                else
                    writeFrame(*child, inTable);
                continue;
            }
            const QTextBlock& block = std::get<QTextBlock>(items[k]);
            writeBlock(block, inTable);
            const bool last = k + 1 == items.size();
            if (!last || frame != m_doc.rootFrame() || block.length() <= 1)
                m_body += "\\par\r\n";
        }
    }

    void writeTable(QTextTable* table)
    {
        const int rows = table->rows();
        const int columns = table->columns();
        if (rows <= 0 || columns <= 0)
            return;
        // Column edges from the width constraints; columns without one share what is left.
        const QList<QTextLength> widths = table->format().columnWidthConstraints();
        std::vector<double> width(static_cast<size_t>(columns), 0);
        double fixed = 0;
        int variable = 0;
        for (int c = 0; c < columns; ++c) {
            const QTextLength w = c < widths.size() ? widths[c] : QTextLength();
            if (w.type() == QTextLength::FixedLength)
                width[static_cast<size_t>(c)] = w.rawValue() * kTwipsPerUnit;
            else if (w.type() == QTextLength::PercentageLength)
                width[static_cast<size_t>(c)] = m_textWidth * w.rawValue() / 100;
            if (width[static_cast<size_t>(c)] > 0)
                fixed += width[static_cast<size_t>(c)];
            else
                ++variable;
        }
        for (double& w : width) {
            if (w <= 0)
                w = std::max(360.0, (m_textWidth - fixed) / std::max(1, variable));
        }
        std::vector<long> edge(static_cast<size_t>(columns) + 1, 0);
        for (int c = 0; c < columns; ++c)
            edge[static_cast<size_t>(c) + 1] = edge[static_cast<size_t>(c)] +
                                               std::lround(width[static_cast<size_t>(c)]);

        static const char kBorders[] =
            "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
            "\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
        // The gap between cells and the padding the file had; Word's usual gap otherwise.
        const QTextTableFormat tf = table->format();
        std::string rowWords =
            "\\trowd\\trgaph" +
            number(tf.hasProperty(rtf::kCellGap) ? tf.intProperty(rtf::kCellGap) : 108) +
            "\\trleft0";
        static const char* const kPads[] = {"l", "r", "t", "b"};
        for (int k = 0; k < 4; ++k) {
            if (tf.hasProperty(rtf::kCellPadLeft + k))
                rowWords += std::string("\\trpadd") + kPads[k] +
                            number(tf.intProperty(rtf::kCellPadLeft + k)) + "\\trpaddf" +
                            kPads[k] + "3";
        }
        for (int r = 0; r < rows; ++r) {
            // Cells that start in this row or continue a cell from above, left to right.
            std::vector<QTextTableCell> cells;
            m_body += rowWords;
            for (int c = 0; c < columns;) {
                const QTextTableCell cell = table->cellAt(r, c);
                const int span = std::max(1, cell.columnSpan());
                if (cell.row() < r)
                    m_body += "\\clvmrg";
                else if (cell.rowSpan() > 1)
                    m_body += "\\clvmgf";
                m_body += kBorders;
                const auto right = static_cast<size_t>(std::min(columns, c + span));
                m_body += "\\cellx" + number(edge[right]);
                cells.push_back(cell);
                c += span;
            }
            m_body += "\r\n";
            for (const QTextTableCell& cell : cells) {
                if (cell.row() < r) {
                    m_body += "\\pard\\intbl\\cell\r\n";
                    continue;
                }
                writeCell(cell);
            }
            m_body += "\\row\r\n";
        }
    }

    void writeCell(const QTextTableCell& cell)
    {
        bool any = false;
        for (auto it = cell.begin(); !it.atEnd(); ++it) {
            if (any)
                m_body += "\\par\r\n";
            if (QTextFrame* nested = it.currentFrame()) {
                // A table inside a cell: its paragraphs in order, as the cell's own.
                writeFrame(nested, true);
                any = false;
                continue;
            }
            writeBlock(it.currentBlock(), true);
            any = true;
        }
        if (!any)
            m_body += "\\pard\\intbl";
        m_body += "\\cell\r\n";
    }

    const QTextDocument& m_doc;
    QString m_baseFamily;
    qreal m_basePoints = 12;
    bool m_baseBold = false;
    bool m_baseItalic = false;
    bool m_baseUnderline = false;
    bool m_baseStrike = false;
    std::vector<FontDef> m_fonts;
    std::vector<QColor> m_colors;
    std::string m_body;
    std::optional<rtf::Page> m_page;
    int m_textWidth = kTextWidth;
};

// The plain text of a frame's items, one line per paragraph, a table row per line.
void plainLines(const QTextFrame* frame, QStringList& lines)
{
    const std::vector<FrameItem> items = itemsOf(frame);
    for (size_t k = 0; k < items.size(); ++k) {
        if (isStructuralBlock(items, k))
            continue;
        if (const auto* child = std::get_if<QTextFrame*>(&items[k])) {
            auto* table = qobject_cast<QTextTable*>(*child);
            if (!table) {
                plainLines(*child, lines);
                continue;
            }
            for (int r = 0; r < table->rows(); ++r) {
                QStringList cells;
                for (int c = 0; c < table->columns();) {
                    const QTextTableCell cell = table->cellAt(r, c);
                    QStringList inner;
                    if (cell.row() == r) {
                        for (auto it = cell.begin(); !it.atEnd(); ++it) {
                            if (!it.currentFrame())
                                inner << it.currentBlock().text();
                        }
                    }
                    cells << inner.join(QChar(' '));
                    c += std::max(1, cell.columnSpan());
                }
                lines << cells.join(QChar('\t'));
            }
            continue;
        }
        lines << std::get<QTextBlock>(items[k]).text();
    }
}

}  // namespace

std::string WriteRtf(const QTextDocument& document)
{
    return RtfWriter(document).run();
}

std::string WritePlainText(const QTextDocument& document)
{
    QStringList lines;
    plainLines(document.rootFrame(), lines);
    QString text = lines.join(QStringLiteral("\r\n"));
    text.replace(QChar(QChar::LineSeparator), QStringLiteral("\r\n"));
    text.remove(QChar(QChar::ObjectReplacementCharacter));
    return ToCp1251(text);
}

}  // namespace orm
