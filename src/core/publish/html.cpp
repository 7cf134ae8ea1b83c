#include "core/publish/html.h"

#include "core/text/cp1251.h"

namespace orm {

std::string HtmlUtf8(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 8);
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default:
            if ((c < 0x20 && c != '\t') || c == 0x7F) {
                out += "\xEF\xBF\xBD";
            } else if (c == 0xC2 && i + 1 < utf8.size() &&
                       static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                       static_cast<unsigned char>(utf8[i + 1]) < 0xA0) {
                // C1 controls (0x98 of the code page decodes to one)
                out += "\xEF\xBF\xBD";
                ++i;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out;
}

std::string HtmlText(std::string_view cp1251)
{
    return HtmlUtf8(ToUtf8(cp1251));
}

std::string JsonString(std::string_view cp1251)
{
    static const char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char ch : cp1251) {
        const char32_t cp = Cp1251ToUnicode(static_cast<unsigned char>(ch));
        const bool plain = cp >= 0x20 && cp < 0x7F && cp != '<' && cp != '>' && cp != '&' &&
                           cp != '\'' && cp != '"' && cp != '\\' && cp != '/';
        if (plain) {
            out += static_cast<char>(cp);
        } else {
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += kHex[(cp >> shift) & 0xF];
        }
    }
    out += '"';
    return out;
}

}  // namespace orm
