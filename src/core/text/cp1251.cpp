#include "core/text/cp1251.h"

#include <array>
#include <unordered_map>

namespace orm {

namespace {

// 0x80-0xBF; 0xC0-0xFF are U+0410 + (b - 0xC0), 0x00-0x7F are themselves.
constexpr char16_t kHigh[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
};

struct Tables {
    std::array<char32_t, 256> toUnicode{};
    std::unordered_map<char32_t, unsigned char> fromUnicode;
    std::array<unsigned char, 256> upper{};
    std::array<unsigned char, 256> lower{};

    Tables()
    {
        for (int b = 0; b < 256; ++b) {
            char32_t cp;
            if (b < 0x80)
                cp = char32_t(b);
            else if (b < 0xC0)
                cp = kHigh[b - 0x80];
            else
                cp = char32_t(0x0410 + (b - 0xC0));
            toUnicode[b] = cp;
        }
        for (int b = 0; b < 256; ++b)
            fromUnicode.emplace(toUnicode[b], static_cast<unsigned char>(b));

        for (int b = 0; b < 256; ++b) {
            upper[b] = lower[b] = static_cast<unsigned char>(b);
        }
        auto pair = [this](int up, int low) {
            upper[low] = static_cast<unsigned char>(up);
            lower[up] = static_cast<unsigned char>(low);
        };
        for (int b = 'A'; b <= 'Z'; ++b)
            pair(b, b + 32);
        for (int b = 0xC0; b <= 0xDF; ++b)
            pair(b, b + 32);
        // Letters of 0x80-0xBF: Ђ ђ, Ѓ ѓ, Љ љ, Њ њ, Ќ ќ, Ћ ћ, Џ џ, Ў ў, Ј ј, Ґ ґ, Ё ё, Є є,
        // Ї ї, І і, Ѕ ѕ.
        constexpr int kPairs[][2] = {{0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C},
                                     {0x8D, 0x9D}, {0x8E, 0x9E}, {0x8F, 0x9F}, {0xA1, 0xA2},
                                     {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
                                     {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE}};
        for (const auto& p : kPairs)
            pair(p[0], p[1]);
    }
};

const Tables& tables()
{
    static const Tables t;
    return t;
}

}  // namespace

char32_t Cp1251ToUnicode(unsigned char byte)
{
    return tables().toUnicode[byte];
}

char UnicodeToCp1251(char32_t cp)
{
    const auto& m = tables().fromUnicode;
    auto it = m.find(cp);
    return it == m.end() ? '?' : static_cast<char>(it->second);
}

bool IsCp1251Representable(char32_t cp)
{
    return tables().fromUnicode.count(cp) != 0;
}

Utf8Char DecodeUtf8Char(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    const auto b = static_cast<unsigned char>(bytes[0]);
    if (b < 0x80)
        return {b, 1};
    std::size_t length = 0;
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
    } else {
        return {};
    }
    if (bytes.size() < length)
        return {};
    for (std::size_t k = 1; k < length; ++k) {
        const auto c = static_cast<unsigned char>(bytes[k]);
        if ((c & 0xC0) != 0x80)
            return {};
        cp = cp << 6 | (c & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode.
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
        return {};
    return {cp, length};
}

std::string ToCp1251(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        const Utf8Char ch = DecodeUtf8Char(utf8);
        out.push_back(ch.length ? UnicodeToCp1251(ch.cp) : '?');
        utf8.remove_prefix(ch.length ? ch.length : 1);
    }
    return out;
}

std::string ToUtf8(std::string_view cp1251)
{
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (char ch : cp1251) {
        const char32_t cp = Cp1251ToUnicode(static_cast<unsigned char>(ch));
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::string UpperCp1251(std::string_view text)
{
    std::string out(text);
    for (char& ch : out)
        ch = static_cast<char>(tables().upper[static_cast<unsigned char>(ch)]);
    return out;
}

std::string LowerCp1251(std::string_view text)
{
    std::string out(text);
    for (char& ch : out)
        ch = static_cast<char>(tables().lower[static_cast<unsigned char>(ch)]);
    return out;
}

bool EqualsNoCaseCp1251(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    const auto& up = tables().upper;
    for (size_t i = 0; i < a.size(); ++i) {
        if (up[static_cast<unsigned char>(a[i])] != up[static_cast<unsigned char>(b[i])])
            return false;
    }
    return true;
}

bool IsValidUtf8(std::string_view bytes)
{
    while (!bytes.empty()) {
        const std::size_t length = DecodeUtf8Char(bytes).length;
        if (length == 0)
            return false;
        bytes.remove_prefix(length);
    }
    return true;
}

}  // namespace orm
