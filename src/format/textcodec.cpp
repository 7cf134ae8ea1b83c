#include "format/textcodec.h"

#include <QList>
#include <QStringDecoder>
#include <algorithm>
#include <climits>

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
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        char32_t cp = 0;
        if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
            cp = b & 0x07;
        }
        bool ok = length > 0 && i + static_cast<size_t>(length) <= n;
        for (int k = 1; ok && k < length; ++k) {
            const auto t = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
            ok = (t & 0xC0) == 0x80;
            cp = cp << 6 | (t & 0x3F);
        }
        // No overlong forms, no surrogates, nothing beyond U+10FFFF.
        ok = ok && !(length == 3 && cp < 0x800) && !(length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) &&
             !(cp >= 0xD800 && cp <= 0xDFFF);
        if (ok) {
            ++c.multibyte;
            i += static_cast<size_t>(length);
        } else {
            ++c.invalid;
            ++i;
        }
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
