#pragma once

// Helpers of the report tests: the RTF fragments as the format defines them, expected documents
// rendered from (style, UTF-8 text) lists, and projects built from compact outlines.

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "core/model/numbers.h"
#include "core/model/treelist.h"
#include "core/text/cp1251.h"

namespace orm::test {

inline const char* const kExpectedFragments[12] = {
    R"({\rtf1\ansi\deff0\deftab720{\fonttbl{\f0\fnil MS Sans Serif;}{\f1\froman\fcharset2 Symbol;})"
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

// One expected paragraph: style 1..9 and its text in UTF-8 (no braces or backslashes).
struct Para {
    int Style;
    std::string Text;
};
using Paras = std::vector<Para>;

inline std::string ExpectedRtf(const Paras& paras)
{
    std::string out = kExpectedFragments[0];
    for (const Para& p : paras)
        out += std::string(kExpectedFragments[p.Style + 2]) + ToCp1251(p.Text) + R"(\par )";
    return out + kExpectedFragments[1];
}

inline std::string ExpectedText(const Paras& paras)
{
    static const int kIndent[10] = {0, 0, 0, 0, 0, 2, 4, 6, 4, 6};
    std::string out;
    for (const Para& p : paras)
        out += std::string(static_cast<size_t>(kIndent[p.Style]), ' ') + ToCp1251(p.Text) + "\r\n";
    return out;
}

// Adds items given in pre-order as "number name" entries separated by commas, then links given
// as "number number" pairs separated by commas. Texts in UTF-8.
inline void Populate(TTreeList& root, const std::string& items, const std::string& links)
{
    std::istringstream in(items);
    for (std::string entry; std::getline(in, entry, ',');) {
        entry.erase(0, entry.find_first_not_of(' '));
        const auto [number, name] = SplitAt(entry, " ");
        root.FindByNumber(ParentNumber(number))->AddChild(ToCp1251(name));
    }
    std::string spaced = links;
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    std::istringstream pairs(spaced);
    for (std::string a, b; pairs >> a >> b;)
        root.FindByNumber(a)->Link(root.FindByNumber(b));
}

// The lines of a plain-text document, in UTF-8.
inline std::vector<std::string> TextLines(const std::string& text)
{
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        lines.push_back(ToUtf8(text.substr(start, end - start)));
    return lines;
}

}  // namespace orm::test
