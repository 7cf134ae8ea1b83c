#include "core/report/reportwriter.h"

#include <array>

#include "core/model/numbers.h"

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
    for (const char ch : text) {
        if (ch == '\\' || ch == '{' || ch == '}')
            out += '\\';
        out += ch;
    }
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

void TReportWriter::WriteLine(ParaStyle style, std::string_view text)
{
    if (!m_isRtf) {
        m_output += RepeatChar(PlainIndent(style), ' ');
        m_output += text;
        m_output += "\r\n";
        return;
    }
    // A value outside 1..9 would pick the head, tail or paragraph end as its start and break
    // the document's grouping, so it gets no start of its own.
    if (isKnownStyle(style))
        WriteRtf(static_cast<int>(style) + 2);
    m_output += EscapeRtf(text);
    WriteRtf(kRtfParEnd);
}

}  // namespace orm
