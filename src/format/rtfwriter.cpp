#include "format/rtfwriter.h"

#include <QFont>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <cmath>
#include <map>
#include <optional>
#include <variant>
#include <vector>

#include "core/text/cp1251.h"
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

// A field that a piece of text is the result of.
struct FieldRef {
    int id = 0;
    QString instruction;
};

// The fields whose result a format's text is, outermost first.
std::vector<FieldRef> fieldsOf(const QTextFormat& f)
{
    std::vector<FieldRef> chain;
    if (!f.hasProperty(rtf::kFieldIds))
        return chain;
    const QVariantList ids = f.property(rtf::kFieldIds).toList();
    const QStringList instructions = f.property(rtf::kFieldInstructions).toStringList();
    for (qsizetype k = 0; k < ids.size() && k < instructions.size(); ++k)
        chain.push_back({ids[k].toInt(), instructions[k]});
    return chain;
}

// The section that an item of a frame starts (its first paragraph or table), or 0.
int sectionOf(const FrameItem& item)
{
    if (const auto* block = std::get_if<QTextBlock>(&item))
        return block->blockFormat().intProperty(rtf::kSectionStart);
    return std::get<QTextFrame*>(item)->format().intProperty(rtf::kSectionStart);
}

// The items of a frame that are not structure: QTextDocument keeps an empty block in front of
// a table that opens a frame or follows another table.
std::vector<FrameItem> contentOf(const std::vector<FrameItem>& items)
{
    std::vector<FrameItem> out;
    for (size_t k = 0; k < items.size(); ++k) {
        if (!isStructuralBlock(items, k))
            out.push_back(items[k]);
    }
    return out;
}

class RtfWriter {
public:
    explicit RtfWriter(const QTextDocument& doc) : m_doc(doc), m_story(&doc)
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
        // The notes' texts stand at the end of the document; they go back where their marks are.
        std::vector<FrameItem> body;
        bool notes = false;
        for (const FrameItem& item : itemsOf(m_doc.rootFrame())) {
            const auto* block = std::get_if<QTextBlock>(&item);
            const QTextFormat f = block ? QTextFormat(block->blockFormat())
                                        : QTextFormat(std::get<QTextFrame*>(item)->format());
            if (f.hasProperty(rtf::kNotesRule)) {
                notes = true;
                continue;
            }
            if (const int note = f.intProperty(rtf::kNoteText); note > 0) {
                Note& n = m_notes[note];
                n.endnote = f.boolProperty(rtf::kEndnote);
                n.items.push_back(item);
                notes = true;
                continue;
            }
            // Among the notes, an empty block of no note is the one QTextDocument keeps
            // between two tables.
            if (notes && block && block->length() <= 1 &&
                !block->blockFormat().hasProperty(rtf::kEmptyParagraph))
                continue;
            body.push_back(item);
        }
        if (const auto first = rtf::DocumentSection(m_doc, 0)) {
            writeSection(*first);
            m_body += "\r\n";
        }
        writeStory(contentOf(body), true);

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
        const QString words = m_doc.rootFrame()->frameFormat().stringProperty(rtf::kDocumentWords);
        if (!words.isEmpty())
            out += words.toLatin1().toStdString() + "\r\n";
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

    struct Note {
        bool endnote = false;
        bool written = false;
        std::vector<FrameItem> items;
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

    // level: 0 the text, 1 a table's cell, 2 and more the cell of a table nested in cells.
    std::string paraWords(const QTextBlockFormat& f, int level)
    {
        std::string out = "\\pard";
        if (level > 0)
            out += "\\intbl";
        if (level > 1)
            out += "\\itap" + number(level);
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

    // ---------------------------------------------------------------- fields

    // Closes the open fields down to the first `keep`.
    void closeFields(size_t keep)
    {
        while (m_open.size() > keep) {
            m_body += "}}";
            m_open.pop_back();
        }
    }

    // Makes the open fields those of chain: closes the ones it leaves, opens the new ones;
    // returns how many stayed open.
    size_t enterFields(const std::vector<FieldRef>& chain)
    {
        size_t common = 0;
        while (common < m_open.size() && common < chain.size() && m_open[common] == chain[common].id)
            ++common;
        closeFields(common);
        for (size_t k = common; k < chain.size(); ++k) {
            m_body += "{\\field{\\*\\fldinst " + escaped(chain[k].instruction) + "}{\\fldrslt ";
            m_open.push_back(chain[k].id);
        }
        return common;
    }

    // The fields of the first text of the item after k, when it is a paragraph: the open
    // fields it goes on with stay open over the paragraph mark.
    static std::vector<FieldRef> nextFields(const std::vector<FrameItem>& items, size_t k)
    {
        if (k + 1 >= items.size())
            return {};
        const auto* block = std::get_if<QTextBlock>(&items[k + 1]);
        if (!block)
            return {};
        const QTextBlock::iterator it = block->begin();
        return it.atEnd() ? std::vector<FieldRef>{} : fieldsOf(it.fragment().charFormat());
    }

    // ---------------------------------------------------------------- paragraphs

    // One paragraph without its end mark; the fields that `next` does not go on with are closed.
    void writeBlock(const QTextBlock& block, int level, const std::vector<FieldRef>& next)
    {
        const std::string para = paraWords(block.blockFormat(), level);
        // The mark's formatting first: it sets the height of an empty paragraph. Each run
        // then goes in a group of its own, so that no reader carries one run's formatting
        // into the next (a superscript left switched on, say).
        QTextCharFormat markFormat = block.charFormat();
        if (markFormat.isTableCellFormat())  // the cell's shading goes with the cell
            markFormat.clearProperty(QTextFormat::BackgroundBrush);
        const std::string mark = charWords(markFormat);
        m_body += para + mark;
        const size_t openAtStart = m_open.size();
        size_t lowest = openAtStart;
        std::vector<QTextFragment> fragments;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().isValid())
                fragments.push_back(it.fragment());
        }
        std::string words;
        std::string text;
        int lastMark = 0;  // the note number (\chftn) last written
        auto flush = [&] {
            if (!text.empty())
                m_body += "{" + words + text + "}";
            text.clear();
        };
        for (size_t k = 0; k < fragments.size(); ++k) {
            const QTextFragment& fragment = fragments[k];
            const QTextCharFormat format = fragment.charFormat();
            const std::vector<FieldRef> chain = fieldsOf(format);
            if (chain.size() != m_open.size() ||
                !std::equal(chain.begin(), chain.end(), m_open.begin(),
                            [](const FieldRef& f, int id) { return f.id == id; })) {
                flush();
                lowest = std::min(lowest, enterFields(chain));
            }
            if (format.isImageFormat()) {
                const std::string picture = pictureGroup(format.toImageFormat());
                if (!picture.empty()) {
                    flush();
                    for (qsizetype n = 0; n < fragment.length(); ++n)
                        m_body += picture;
                }
            } else {
                std::string next = charWords(format);
                if (next != words) {
                    flush();
                    words = std::move(next);
                }
                // A note's number is the word processor's to count.
                if (const int mark = format.intProperty(rtf::kNoteNumber); mark != 0) {
                    if (mark != lastMark)
                        text += "\\chftn ";
                    lastMark = mark;
                } else {
                    text += escaped(fragment.text());
                }
            }
            // A note follows the text it is anchored to.
            const int note = format.intProperty(rtf::kNoteAnchor);
            if (note > 0 && (k + 1 == fragments.size() ||
                             fragments[k + 1].charFormat().intProperty(rtf::kNoteAnchor) != note)) {
                flush();
                writeNote(note);
            }
        }
        flush();
        size_t keep = 0;
        while (keep < m_open.size() && keep < next.size() && m_open[keep] == next[keep].id)
            ++keep;
        closeFields(keep);
        lowest = std::min(lowest, m_open.size());
        // The paragraph's words went into a field's group that has closed since: they apply
        // again at its mark.
        if (lowest < openAtStart)
            m_body += para + mark;
    }

    void writeNote(int id)
    {
        const auto it = m_notes.find(id);
        if (it == m_notes.end() || it->second.written)
            return;
        it->second.written = true;
        m_body += it->second.endnote ? "{\\footnote\\ftnalt " : "{\\footnote ";
        std::vector<int> open;
        std::swap(open, m_open);
        writeStory(contentOf(it->second.items), false);
        closeFields(0);
        std::swap(open, m_open);
        m_body += "}";
    }

    // A section's formatting words and its headers and footers.
    void writeSection(const rtf::Section& section)
    {
        m_body += "\\sectd" + section.words.toLatin1().toStdString();
        std::vector<int> open;
        std::swap(open, m_open);
        for (const rtf::PagePart& part : section.parts) {
            if (!part.text)
                continue;
            m_body += "{\\" + part.word.toLatin1().toStdString() + " ";
            const QTextDocument* story = m_story;
            m_story = part.text.get();
            std::vector<FrameItem> items = contentOf(itemsOf(part.text->rootFrame()));
            // A header read empty is a document of one empty block, not a paragraph.
            if (items.size() == 1) {
                const auto* block = std::get_if<QTextBlock>(&items[0]);
                if (block && block->length() <= 1 &&
                    !block->blockFormat().hasProperty(rtf::kEmptyParagraph))
                    items.clear();
            }
            writeStory(items, false);
            closeFields(0);
            m_story = story;
            m_body += "}";
        }
        std::swap(open, m_open);
    }

    // The paragraphs and tables of the text, a note or a header. The last paragraph goes
    // without its mark unless it is empty, so that reading the file back gives the same
    // paragraphs. In the text, a section's first paragraph or table follows the mark of the
    // section before (\sect) and its formatting.
    void writeStory(const std::vector<FrameItem>& items, bool text)
    {
        int sectionDone = 0;
        for (size_t k = 0; k < items.size(); ++k) {
            if (text) {
                if (const int s = sectionOf(items[k]); s > 0 && s != sectionDone) {
                    m_body += "\\pard\\sect\r\n";
                    writeSectionOf(s);
                }
            }
            if (const auto* child = std::get_if<QTextFrame*>(&items[k])) {
                if (auto* table = qobject_cast<QTextTable*>(*child))
                    writeTable(table, 1);
                else
                    writeFrame(*child);
                continue;
            }
            const QTextBlock& block = std::get<QTextBlock>(items[k]);
            const bool last = k + 1 == items.size();
            const int nextSection = text && !last ? sectionOf(items[k + 1]) : 0;
            // A field goes on into the next paragraph, but not into the next section.
            writeBlock(block, 0, nextSection > 0 ? std::vector<FieldRef>{} : nextFields(items, k));
            if (nextSection > 0) {
                // The section's mark ends its last paragraph; an empty one keeps its own.
                m_body += block.length() <= 1 ? "\\par\\sect\r\n" : "\\sect\r\n";
                writeSectionOf(nextSection);
                sectionDone = nextSection;
            } else if (!last || block.length() <= 1) {
                m_body += "\\par\r\n";
            }
        }
        closeFields(0);
    }

    void writeSectionOf(int n)
    {
        writeSection(rtf::DocumentSection(m_doc, n).value_or(rtf::Section{}));
        m_body += "\r\n";
    }

    // A frame that is no table (our reader makes none): its paragraphs in order.
    void writeFrame(const QTextFrame* frame)
    {
        for (const FrameItem& item : contentOf(itemsOf(frame))) {
            if (const auto* child = std::get_if<QTextFrame*>(&item)) {
                if (auto* table = qobject_cast<QTextTable*>(*child))
                    writeTable(table, 1);
                else
                    writeFrame(*child);
                continue;
            }
            writeBlock(std::get<QTextBlock>(item), 0, {});
            m_body += "\\par\r\n";
        }
    }

    // A picture read from RTF, written back as it came: its kind, sizes and bytes.
    std::string pictureGroup(const QTextImageFormat& f)
    {
        const QByteArray data =
            m_story->resource(rtf::kPictureDataResource, rtf::PictureDataUrl(f.name())).toByteArray();
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

    // ---------------------------------------------------------------- tables

    // The cells' right edges of a table, twips, from its column widths; columns without one
    // share what is left.
    std::vector<long> columnEdges(const QTextTable* table) const
    {
        const int columns = table->columns();
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
        const long left = table->format().intProperty(rtf::kTableLeft);
        std::vector<long> edge(static_cast<size_t>(columns) + 1, left);
        for (int c = 0; c < columns; ++c)
            edge[static_cast<size_t>(c) + 1] = edge[static_cast<size_t>(c)] +
                                               std::lround(width[static_cast<size_t>(c)]);
        return edge;
    }

    // A cell's own words: shading, vertical alignment, padding.
    std::string cellWords(const QTextTableCell& cell)
    {
        const QTextTableCellFormat f = cell.format().toTableCellFormat();
        std::string out;
        if (f.verticalAlignment() == QTextCharFormat::AlignMiddle)
            out += "\\clvertalc";
        else if (f.verticalAlignment() == QTextCharFormat::AlignBottom)
            out += "\\clvertalb";
        if (f.hasProperty(rtf::kCellShading)) {
            out += "\\clshdng" + number(f.intProperty(rtf::kCellShading));
            if (f.hasProperty(rtf::kCellPattern))
                out += "\\clcfpat" + number(colorIndex(f.colorProperty(rtf::kCellPattern)));
            if (f.hasProperty(rtf::kCellFill))
                out += "\\clcbpat" + number(colorIndex(f.colorProperty(rtf::kCellFill)));
        } else if (f.hasProperty(QTextFormat::BackgroundBrush) &&
                   f.background().style() != Qt::NoBrush) {
            out += "\\clcbpat" + number(colorIndex(f.background().color()));
        }
        static const char* const kSides[] = {"l", "r", "t", "b"};
        for (int k = 0; k < 4; ++k) {
            if (f.hasProperty(rtf::kCellPadL + k))
                out += std::string("\\clpadf") + kSides[k] + "3\\clpad" + kSides[k] +
                       number(f.intProperty(rtf::kCellPadL + k));
        }
        return out;
    }

    // Row r's definition: \trowd, the gap and padding the file had (Word's usual gap
    // otherwise), then each cell that starts in the row or continues one from above.
    std::string rowDefinition(const QTextTable* table, int r, const std::vector<long>& edge)
    {
        static const char kBorders[] =
            "\\clbrdrt\\brdrs\\brdrw10\\clbrdrl\\brdrs\\brdrw10"
            "\\clbrdrb\\brdrs\\brdrw10\\clbrdrr\\brdrs\\brdrw10";
        const QTextTableFormat tf = table->format();
        std::string out =
            "\\trowd\\trgaph" +
            number(tf.hasProperty(rtf::kCellGap) ? tf.intProperty(rtf::kCellGap) : 108) +
            "\\trleft" + number(tf.intProperty(rtf::kTableLeft));
        static const char* const kPads[] = {"l", "r", "t", "b"};
        for (int k = 0; k < 4; ++k) {
            if (tf.hasProperty(rtf::kCellPadLeft + k))
                out += std::string("\\trpadd") + kPads[k] +
                       number(tf.intProperty(rtf::kCellPadLeft + k)) + "\\trpaddf" + kPads[k] +
                       "3";
        }
        const int columns = table->columns();
        for (int c = 0; c < columns;) {
            const QTextTableCell cell = table->cellAt(r, c);
            const int span = std::max(1, cell.columnSpan());
            if (cell.row() < r)
                out += "\\clvmrg";
            else if (cell.rowSpan() > 1)
                out += "\\clvmgf";
            out += kBorders;
            out += cellWords(cell);
            const auto right = static_cast<size_t>(std::min(columns, c + span));
            out += "\\cellx" + number(edge[right]);
            c += span;
        }
        return out;
    }

    // A table at nesting level (1 in the text, 2 and more in a cell).
    void writeTable(QTextTable* table, int level)
    {
        const int rows = table->rows();
        const int columns = table->columns();
        if (rows <= 0 || columns <= 0)
            return;
        const std::vector<long> edge = columnEdges(table);
        for (int r = 0; r < rows; ++r) {
            const std::string definition = rowDefinition(table, r, edge);
            // The outer table's row is defined before its cells, a nested one's after them.
            if (level == 1)
                m_body += definition + "\r\n";
            for (int c = 0; c < columns;) {
                const QTextTableCell cell = table->cellAt(r, c);
                c += std::max(1, cell.columnSpan());
                if (cell.row() < r) {
                    m_body += paraWords(QTextBlockFormat(), level) + cellEnd(level) + "\r\n";
                    continue;
                }
                writeCell(cell, level);
            }
            if (level == 1)
                m_body += "\\row\r\n";
            else
                m_body += "{\\*\\nesttableprops" + definition + "\\nestrow}{\\nonesttables\\par}\r\n";
        }
    }

    static const char* cellEnd(int level) { return level == 1 ? "\\cell" : "\\nestcell"; }

    // A cell's paragraphs, each but the last ended by \par, and its nested tables.
    void writeCell(const QTextTableCell& cell, int level)
    {
        std::vector<FrameItem> all;
        for (auto it = cell.begin(); !it.atEnd(); ++it) {
            if (QTextFrame* frame = it.currentFrame())
                all.emplace_back(frame);
            else
                all.emplace_back(it.currentBlock());
        }
        const std::vector<FrameItem> items = contentOf(all);
        bool ended = false;
        for (size_t k = 0; k < items.size(); ++k) {
            if (const auto* child = std::get_if<QTextFrame*>(&items[k])) {
                if (auto* table = qobject_cast<QTextTable*>(*child); table && level < 64)
                    writeTable(table, level + 1);
                ended = false;
                continue;
            }
            writeBlock(std::get<QTextBlock>(items[k]), level, nextFields(items, k));
            ended = k + 1 == items.size();
            m_body += ended ? cellEnd(level) : "\\par";
            m_body += "\r\n";
        }
        if (!ended)
            m_body += paraWords(QTextBlockFormat(), level) + cellEnd(level) + "\r\n";
    }

    const QTextDocument& m_doc;
    const QTextDocument* m_story;  // the document being written: the text's, or a header's
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
    std::map<int, Note> m_notes;  // the notes' texts by their numbers
    std::vector<int> m_open;      // the fields open at this point, outermost first
};

// The text of a table's cell: its paragraphs joined by blanks, a nested table's cells too.
QString cellText(const QTextTableCell& cell)
{
    std::vector<FrameItem> all;
    for (auto it = cell.begin(); !it.atEnd(); ++it) {
        if (QTextFrame* frame = it.currentFrame())
            all.emplace_back(frame);
        else
            all.emplace_back(it.currentBlock());
    }
    QStringList inner;
    for (const FrameItem& item : contentOf(all)) {
        if (const auto* block = std::get_if<QTextBlock>(&item)) {
            inner << block->text();
            continue;
        }
        auto* nested = qobject_cast<QTextTable*>(std::get<QTextFrame*>(item));
        if (!nested)
            continue;
        for (int r = 0; r < nested->rows(); ++r) {
            for (int c = 0; c < nested->columns();) {
                const QTextTableCell n = nested->cellAt(r, c);
                if (n.row() == r)
                    inner << cellText(n);
                c += std::max(1, n.columnSpan());
            }
        }
    }
    return inner.join(QChar(' '));
}

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
                    cells << (cell.row() == r ? cellText(cell) : QString());
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

QString PlainText(const QTextDocument& document)
{
    QStringList lines;
    plainLines(document.rootFrame(), lines);
    QString text = lines.join(QStringLiteral("\r\n"));
    text.replace(QChar(QChar::LineSeparator), QStringLiteral("\r\n"));
    text.remove(QChar(QChar::ObjectReplacementCharacter));
    return text;
}

std::string WritePlainText(const QTextDocument& document)
{
    return ToCp1251(PlainText(document));
}

}  // namespace orm
