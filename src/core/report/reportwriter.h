#pragma once

// The output layer of a report: paragraphs of nine styles written into an in-memory document,
// either RTF or plain text. Texts are Windows-1251 bytes and are written as they are; the RTF
// head declares the Cyrillic character set for the font every paragraph uses.

#include <string>
#include <string_view>

namespace orm {

class ByteSink;

// Paragraph styles; the numbers are part of the document format (fragment = style + 2).
enum class ParaStyle {
    Title = 1,         // centred, 20 pt, bold
    Subtitle = 2,      // centred, 14 pt, bold italic
    Subject = 3,       // centred, 14 pt, bold
    Heading = 4,       // hanging indent, 16 pt, bold; also the blank separator
    Level1 = 5,        // 12 pt, bold; plain-text indent 2
    Level2 = 6,        // indent 284, 12 pt; plain-text indent 4
    Level3 = 7,        // indent 720, 10 pt, italic; plain-text indent 6
    GroupCaption = 8,  // indent 284, 10 pt, bold italic underlined; plain-text indent 4
    Linked = 9,        // indent 567, 12 pt; plain-text indent 6
};

inline constexpr int kRtfFragmentCount = 12;
inline constexpr int kRtfHead = 0;
inline constexpr int kRtfTail = 1;
inline constexpr int kRtfParEnd = 2;

// Fixed RTF fragment 0..11 (head, tail, paragraph end, the nine paragraph starts); empty for
// any other index.
std::string_view RtfFragment(int index);
// Each byte copied; backslash and braces get a backslash in front. Nothing else is escaped.
std::string EscapeRtf(std::string_view text);
// Blanks in front of a plain-text paragraph of this style.
int PlainIndent(ParaStyle style);

class TReportWriter {
public:
    bool IsRtf() const { return m_isRtf; }
    // Chosen once per document, before its first paragraph.
    void SetRtf(bool rtf) { m_isRtf = rtf; }

    void ClearOutput() { m_output.clear(); }
    // While set, the document goes to sink a block at a time instead of piling up in Output(),
    // so that a report's memory does not grow with it; Flush hands over the last block.
    void SetSink(ByteSink* sink) { m_sink = sink; }
    void Flush();
    // Appends fragment index; any other index appends nothing.
    void WriteRtf(int index);
    // One paragraph in the current format; the text may be empty.
    void WriteLine(ParaStyle style, std::string_view text);
    // The paragraph WriteLine(style, number + " " + name) writes, without making that text.
    void WriteItemLine(ParaStyle style, std::string_view number, std::string_view name);

    const std::string& Output() const { return m_output; }
    std::string TakeOutput() { return std::move(m_output); }

private:
    void startLine(ParaStyle style);
    // A paragraph has been written: a full block goes to the sink.
    void passBlock()
    {
        if (m_sink && m_output.size() >= kBlock)
            Flush();
    }
    static constexpr size_t kBlock = 256 * 1024;
    void appendText(std::string_view text);
    void endLine();

    bool m_isRtf = false;
    std::string m_output;
    ByteSink* m_sink = nullptr;
};

}  // namespace orm
