#pragma once

// The one place where the GUI converts between QString and the core's Windows-1251 bytes.

#include <QString>
#include <string>
#include <string_view>

namespace orm {

QString FromCp1251(std::string_view bytes);
std::string ToCp1251(const QString& text);
// The text as it will be saved: every character that Windows-1251 cannot hold becomes "?".
QString Cp1251Representable(const QString& text);

}  // namespace orm
