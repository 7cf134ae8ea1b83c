#include "format/textcodec.h"

#include <QList>

#include "core/model/cp1251.h"

namespace orm {

QString FromCp1251(std::string_view bytes)
{
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char ch : bytes)
        out.append(QChar(static_cast<char16_t>(Cp1251ToUnicode(static_cast<unsigned char>(ch)))));
    return out;
}

std::string ToCp1251(const QString& text)
{
    std::string out;
    out.reserve(static_cast<size_t>(text.size()));
    for (const char32_t cp : text.toUcs4())
        out.push_back(UnicodeToCp1251(cp));
    return out;
}

QString Cp1251Representable(const QString& text)
{
    return FromCp1251(ToCp1251(text));
}

}  // namespace orm
