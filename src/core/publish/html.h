#pragma once

// Text from the project as HTML: Windows-1251 bytes to UTF-8, markup characters escaped, and
// control characters (which the files may hold but HTML forbids) shown as U+FFFD.

#include <string>
#include <string_view>

namespace orm {

// Escaped for element content and for attribute values in double quotes.
std::string HtmlText(std::string_view cp1251);
// The same for text that is already UTF-8 (the program's own texts).
std::string HtmlUtf8(std::string_view utf8);
// A JSON string literal holding the text, with every character outside printable ASCII and
// every one of < > & ' " \ / written as \uXXXX: safe inside a script file whatever the text.
std::string JsonString(std::string_view cp1251);

}  // namespace orm
