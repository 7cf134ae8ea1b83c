#pragma once

// Windows-1251 <-> Unicode. The core keeps every text as bytes of this code page (one byte is
// one character, as in users' files); the GUI converts through here and nowhere else.

#include <cstddef>
#include <string>
#include <string_view>

namespace orm {

// Every byte 0x00-0xFF maps to one code point, so decode + encode returns the same bytes
// (0x98, which Windows leaves undefined, maps to U+0098).
char32_t Cp1251ToUnicode(unsigned char byte);

// The byte for a code point, or '?' (Windows' default character) when the code page lacks it.
// Never 0x1A.
char UnicodeToCp1251(char32_t cp);
bool IsCp1251Representable(char32_t cp);

// The well-formed UTF-8 sequence at the start of bytes: its code point and length, or length 0
// when there is none (a stray byte, a sequence cut short, an overlong form, a surrogate, a value
// beyond Unicode). The one UTF-8 decoder of the program.
struct Utf8Char {
    char32_t cp = 0;
    std::size_t length = 0;
};
Utf8Char DecodeUtf8Char(std::string_view bytes);

// UTF-8 <-> Windows-1251. Every byte that starts no well-formed sequence becomes '?'.
std::string ToCp1251(std::string_view utf8);
std::string ToUtf8(std::string_view cp1251);
// True when bytes are well-formed UTF-8 (plain ASCII included): no overlong forms, surrogates
// or values beyond Unicode.
bool IsValidUtf8(std::string_view bytes);

// Letter case of Windows-1251 text (Latin and Cyrillic, Ё/ё and the other Cyrillic letters of
// 0x80-0xBF included); other bytes are left as they are.
std::string UpperCp1251(std::string_view text);
std::string LowerCp1251(std::string_view text);
bool EqualsNoCaseCp1251(std::string_view a, std::string_view b);

}  // namespace orm
