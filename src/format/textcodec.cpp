#include "format/textcodec.h"

#include <QList>
#include <QStringDecoder>
#include <algorithm>
#include <climits>

#include "core/text/cp1251.h"

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

namespace {

// What a UTF-8 reading of the bytes finds: characters beyond ASCII, and bytes that are no part
// of a valid sequence (a sequence cut short counts one per byte).
struct Utf8Census {
    long multibyte = 0;
    long invalid = 0;
};

Utf8Census censusUtf8(std::string_view bytes)
{
    Utf8Census c;
    while (!bytes.empty()) {
        const Utf8Char ch = DecodeUtf8Char(bytes);
        if (ch.length == 0)
            ++c.invalid;
        else if (ch.length > 1)
            ++c.multibyte;
        bytes.remove_prefix(ch.length ? ch.length : 1);
    }
    return c;
}

}  // namespace

QString DecodeTextFile(std::string_view bytes, TextFileDecoding* how)
{
    TextFileDecoding seen;
    auto decode = [](QStringConverter::Encoding encoding, std::string_view b) {
        QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
        return QString(decoder(QByteArrayView(b.data(), static_cast<qsizetype>(b.size()))));
    };
    auto starts = [bytes](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
    QString text;
    if (starts("\xEF\xBB\xBF")) {
        seen.encoding = TextFileDecoding::Encoding::Utf8;
        seen.replaced = static_cast<int>(std::min<long>(censusUtf8(bytes.substr(3)).invalid, INT_MAX));
        text = decode(QStringConverter::Utf8, bytes.substr(3));
    } else if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
        seen.encoding = TextFileDecoding::Encoding::Utf16;
        text = decode(starts("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                      bytes.substr(2));
    } else {
        // Windows-1251 text is next to never UTF-8: its letters are lead bytes that the next
        // letter does not continue, so it has many stray bytes to every sequence. A UTF-8 file
        // with a few stray bytes (a word pasted from elsewhere) is still UTF-8.
        const Utf8Census c = censusUtf8(bytes);
        if (c.multibyte > 0 && c.invalid * 16 <= c.multibyte) {
            seen.encoding = TextFileDecoding::Encoding::Utf8;
            seen.replaced = static_cast<int>(std::min<long>(c.invalid, INT_MAX));
            text = decode(QStringConverter::Utf8, bytes);
        } else {
            text = FromCp1251(bytes);
        }
    }
    if (how)
        *how = seen;
    return text;
}

}  // namespace orm
