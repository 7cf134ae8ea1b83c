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

}  // namespace orm
