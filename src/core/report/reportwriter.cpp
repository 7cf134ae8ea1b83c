#include "core/report/reportwriter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "core/io/safefile.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orm {

namespace {

constexpr std::array<std::string_view, kRtfFragmentCount> kFragments = {
    R"({\rtf1\ansi\deff0\deftab720{\fonttbl{\f0\fnil MS Sans Serif;})"
    R"({\f1\froman\fcharset2 Symbol;})"
    R"({\f2\froman\fprq2\fcharset204{\*\fname Times New Roman;}Times New Roman Cyr;}})"
    R"({\colortbl\red0\green0\blue0;}\deflang1049)",
    R"(\pard\plain\par})",
    R"(\par )",
    R"(\pard\qc\plain\f2\fs40\cf0\sb60\sa60\b )",
    R"(\pard\qc\plain\f2\fs28\cf0\sb60\sa60\b\i )",
    R"(\pard\qc\plain\f2\fs28\cf0\sb60\sa60\b )",
    R"(\pard\li426\fi-426\plain\f2\fs32\cf0\sb60\sa60\b )",
    R"(\pard\plain\f2\fs24\cf0\sb60\sa60\b )",
    R"(\pard\li284\plain\f2\fs24\cf0\sb60\sa60 )",
    R"(\pard\li720\plain\f2\fs20\cf0\sb60\sa60\i )",
    R"(\pard\li284\plain\f2\fs20\cf0\sb60\sa60\b\i\ul )",
    R"(\pard\li567\plain\f2\fs24\cf0\sb60\sa60 )",
};

// Whether any of the eight bytes of w is a backslash or a brace: a byte equal to c is a zero
// byte of w ^ c, found by the usual borrow test.
bool hasSpecialByte(uint64_t w)
{
    constexpr uint64_t kOnes = 0x0101010101010101ull;
    constexpr uint64_t kHighs = 0x8080808080808080ull;
    auto hasZero = [](uint64_t v) { return (v - kOnes) & ~v & kHighs; };
    return hasZero(w ^ (kOnes * '\\')) | hasZero(w ^ (kOnes * '{')) | hasZero(w ^ (kOnes * '}'));
}

bool isSpecial(char ch)
{
    return ch == '\\' || ch == '{' || ch == '}';
}

#if defined(__SSE2__)
// Whether any of the sixteen bytes at data is a backslash or a brace.
bool hasSpecial16(const char* data)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')),
                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8('{'))),
                                      _mm_cmpeq_epi8(v, _mm_set1_epi8('}')));
    return _mm_movemask_epi8(hits) != 0;
}
#endif

// Whether text holds a backslash or a brace, looked for many bytes at a time; a last part
// shorter than a step is looked at in a step that ends with the text.
bool hasSpecial(std::string_view text)
{
    const char* const data = text.data();
    const size_t size = text.size();
#if defined(__SSE2__)
    if (size >= 16) {
        size_t i = 0;
        for (; i + 16 <= size; i += 16) {
            if (hasSpecial16(data + i))
                return true;
        }
        return i < size && hasSpecial16(data + size - 16);
    }
#endif
    if (size < 8)
        return std::any_of(text.begin(), text.end(), isSpecial);
    auto chunk = [data](size_t at) {
        uint64_t w;
        std::memcpy(&w, data + at, 8);
        return hasSpecialByte(w);
    };
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        if (chunk(i))
            return true;
    }
    return i < size && chunk(size - 8);
}

// Appends text with a backslash before each backslash and brace. Text without them, the usual
// case, is found so quickly and copied whole: a report is mostly such text.
void appendEscaped(std::string& out, std::string_view text)
{
    if (!hasSpecial(text)) {
        out += text;
        return;
    }
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (isSpecial(text[i])) {
            out.append(text, run, i - run);
            out += '\\';
            run = i;
        }
    }
    out.append(text, run, std::string_view::npos);
}

bool isKnownStyle(ParaStyle style)
{
    const int s = static_cast<int>(style);
    return s >= 1 && s <= 9;
}

}  // namespace

std::string_view RtfFragment(int index)
{
    if (index < 0 || index >= kRtfFragmentCount)
        return {};
    return kFragments[static_cast<size_t>(index)];
}

std::string EscapeRtf(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    appendEscaped(out, text);
    return out;
}

int PlainIndent(ParaStyle style)
{
    switch (style) {
    case ParaStyle::Level1:
        return 2;
    case ParaStyle::Level2:
    case ParaStyle::GroupCaption:
        return 4;
    case ParaStyle::Level3:
    case ParaStyle::Linked:
        return 6;
    default:
        return 0;
    }
}

void TReportWriter::WriteRtf(int index)
{
    m_output += RtfFragment(index);
}

void TReportWriter::Flush()
{
    if (!m_sink || m_output.empty())
        return;
    m_sink->Append(m_output);
    m_output.clear();
}

void TReportWriter::WriteLine(ParaStyle style, std::string_view text)
{
    startLine(style);
    appendText(text);
    endLine();
    passBlock();
}

void TReportWriter::WriteItemLine(ParaStyle style, std::string_view number, std::string_view name)
{
    if (m_isRtf && (hasSpecial(number) || hasSpecial(name))) {
        startLine(style);
        appendText(number);
        m_output += ' ';
        appendText(name);
        endLine();
        passBlock();
        return;
    }
    // Nothing to escape, the usual case: the pieces are copied into room made once, as a
    // report is mostly such lines.
    static constexpr std::string_view kBlanks = "      ";
    std::string_view lead = kBlanks.substr(0, static_cast<size_t>(PlainIndent(style)));
    std::string_view tail = "\r\n";
    if (m_isRtf) {
        lead = isKnownStyle(style) ? RtfFragment(static_cast<int>(style) + 2) : std::string_view();
        tail = RtfFragment(kRtfParEnd);
    }
    const size_t at = m_output.size();
    m_output.resize(at + lead.size() + number.size() + 1 + name.size() + tail.size());
    char* p = m_output.data() + at;
    auto put = [&p](std::string_view piece) {
        std::memcpy(p, piece.data(), piece.size());
        p += piece.size();
    };
    put(lead);
    put(number);
    *p++ = ' ';
    put(name);
    put(tail);
    passBlock();
}

void TReportWriter::startLine(ParaStyle style)
{
    if (!m_isRtf) {
        m_output.append(static_cast<size_t>(PlainIndent(style)), ' ');
        return;
    }
    // A value outside 1..9 would pick the head, tail or paragraph end as its start and break
    // the document's grouping, so it gets no start of its own.
    if (isKnownStyle(style))
        WriteRtf(static_cast<int>(style) + 2);
}

void TReportWriter::appendText(std::string_view text)
{
    if (m_isRtf)
        appendEscaped(m_output, text);
    else
        m_output += text;
}

void TReportWriter::endLine()
{
    if (m_isRtf)
        WriteRtf(kRtfParEnd);
    else
        m_output += "\r\n";
}

}  // namespace orm
