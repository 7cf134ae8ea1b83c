#pragma once

// The one place where Qt text meets the core's Windows-1251 bytes: the formats and the windows
// convert between QString and those bytes here and nowhere else. It lives with the formats,
// the lowest wing that has Qt, so that the readers and players can use it too.

#include <QString>
#include <string>
#include <string_view>

namespace orm {

QString FromCp1251(std::string_view bytes);
std::string ToCp1251(const QString& text);
// The text as it will be saved: every character that Windows-1251 cannot hold becomes "?".
QString Cp1251Representable(const QString& text);
// How a text file was read.
struct TextFileDecoding {
    enum class Encoding { Cp1251, Utf8, Utf16 };
    Encoding encoding = Encoding::Cp1251;
    int replaced = 0;  // bytes that were not UTF-8 in a file read as UTF-8, shown as U+FFFD
};

// A text file's bytes as text: UTF-8 after its byte-order mark, or when the bytes are UTF-8 with
// at least one character beyond ASCII but for a few stray bytes (each shown as U+FFFD); UTF-16
// after its byte-order mark; Windows-1251 otherwise (the program's own files, and any byte
// sequence at all).
QString DecodeTextFile(std::string_view bytes, TextFileDecoding* how = nullptr);

}  // namespace orm
