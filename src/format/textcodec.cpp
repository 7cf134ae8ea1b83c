#include "format/textcodec.h"

#include <QList>
#include <QStringDecoder>
#include <algorithm>

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

QString DecodeTextFile(std::string_view bytes)
{
    auto decode = [](QStringConverter::Encoding encoding, std::string_view b, bool* ok) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        const QString text = decoder(QByteArrayView(b.data(), static_cast<qsizetype>(b.size())));
        if (ok)
            *ok = !decoder.hasError();
        return text;
    };
    auto starts = [bytes](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
    if (starts("\xEF\xBB\xBF"))
        return decode(QStringConverter::Utf8, bytes.substr(3), nullptr);
    if (starts("\xFF\xFE"))
        return decode(QStringConverter::Utf16LE, bytes.substr(2), nullptr);
    if (starts("\xFE\xFF"))
        return decode(QStringConverter::Utf16BE, bytes.substr(2), nullptr);
    // Windows-1251 text is next to never valid UTF-8: its letters are lead bytes that the
    // next letter does not continue.
    const bool ascii = std::all_of(bytes.begin(), bytes.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (!ascii) {
        bool ok = false;
        QString text = decode(QStringConverter::Utf8, bytes, &ok);
        if (ok)
            return text;
    }
    return FromCp1251(bytes);
}

}  // namespace orm
