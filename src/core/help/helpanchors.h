#pragma once

// The help file is an HTML file whose named anchors are the help keywords. These are the parts of
// showing it that need no widgets: which anchors a keyword names, and how the file's bytes are
// to be decoded.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/text/cp1251.h"  // IsValidUtf8, for the callers that tell encodings apart

namespace orm {

// The keywords of one request: help authors may give several separated by ';'. Blanks around
// each are dropped, and so are empty ones.
std::vector<std::string> SplitKeywords(std::string_view keyword);

// Indexes into anchors of those equal to one of keyword's keywords without regard to letter
// case, in the anchors' order. Anchors and keyword are Windows-1251.
std::vector<std::size_t> MatchAnchors(const std::vector<std::string>& anchors,
                                      std::string_view keyword);

enum class HtmlCharset {
    Undeclared,  // no byte order mark and no charset in the head
    Cp1251,      // windows-1251 and its aliases
    Other,       // a byte order mark or any other declared charset
};

// What the file says about its encoding: a byte order mark, or "charset=" within the first 1024
// bytes (where browsers look for it).
HtmlCharset DeclaredHtmlCharset(std::string_view html);

}  // namespace orm
