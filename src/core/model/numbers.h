#pragma once

// Dotted item numbers ("4.2.1") and their padded keys ("000400020001").

#include <string>
#include <string_view>
#include <utility>

namespace orm {

// Longest name a line of text keeps after its first separator.
inline constexpr std::size_t kMaxNameLength = 255;

// (before, after) split at the first occurrence of sep; `after` keeps at most 255 characters.
// Without sep: (text, "").
std::pair<std::string, std::string> SplitAt(std::string_view text, std::string_view sep);
// The name part of a row text "4.2.1 Name".
std::string TextAfterBlank(std::string_view rowText);
int ComponentCount(std::string_view number);
// The k-th component (1-based) as an integer, or -1 when it is missing or not an integer.
int Component(std::string_view number, int k);
std::string ParentNumber(std::string_view number);
std::string PadNumber(std::string_view number);
std::string UnpadNumber(std::string_view key);
std::string RepeatChar(int n, char ch);

// A decimal integer with an optional sign and nothing else; false on anything else or overflow.
bool ParseInt(std::string_view text, int& value);

}  // namespace orm
