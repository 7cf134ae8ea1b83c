#include "core/model/numbers.h"


namespace orm {

std::pair<std::string, std::string> SplitAt(std::string_view text, std::string_view sep)
{
    const auto pos = text.find(sep);
    if (sep.empty() || pos == std::string_view::npos)
        return {std::string(text), std::string()};
    std::string_view after = text.substr(pos + sep.size());
    if (after.size() > kMaxNameLength)
        after = after.substr(0, kMaxNameLength);
    return {std::string(text.substr(0, pos)), std::string(after)};
}

std::string TextAfterBlank(std::string_view rowText)
{
    return SplitAt(rowText, " ").second;
}

int ComponentCount(std::string_view number)
{
    if (number.empty())
        return 0;
    int n = 1;
    for (char ch : number) {
        if (ch == '.')
            ++n;
    }
    return n;
}

bool ParseInt(std::string_view text, int& value)
{
    // An optional '+' (not before a '-'), an optional '-', then decimal digits only.
    size_t i = 0;
    if (text.size() > 1 && text[0] == '+' && text[1] != '-')
        i = 1;
    bool negative = false;
    if (i < text.size() && text[i] == '-') {
        negative = true;
        ++i;
    }
    if (i == text.size())
        return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        const char ch = text[i];
        if (ch < '0' || ch > '9')
            return false;
        v = v * 10 + (ch - '0');
        if (v > 2147483648LL)
            return false;
    }
    if (negative)
        v = -v;
    if (v > 2147483647LL)
        return false;
    value = static_cast<int>(v);
    return true;
}

int Component(std::string_view number, int k)
{
    if (k < 1)
        return -1;
    std::string_view rest = number;
    std::string_view part;
    for (int i = 1; i <= k; ++i) {
        const auto dot = rest.find('.');
        if (dot == std::string_view::npos) {
            if (i < k)
                return -1;  // beyond the last component
            part = rest;
            rest = {};
        } else {
            part = rest.substr(0, dot);
            rest = rest.substr(dot + 1);
        }
    }
    int value = -1;
    if (!ParseInt(part, value))
        return -1;
    return value;
}

std::string ParentNumber(std::string_view number)
{
    // One pass over the components: a deep number costs its own length, not its square.
    std::string out;
    if (ComponentCount(number) < 2)
        return out;
    std::string_view rest = number;
    for (auto dot = rest.find('.'); dot != std::string_view::npos; dot = rest.find('.')) {
        int value = -1;
        if (!ParseInt(rest.substr(0, dot), value))
            value = -1;
        if (!out.empty())
            out += '.';
        out += std::to_string(value);
        rest.remove_prefix(dot + 1);
    }
    return out;
}

std::string PadNumber(std::string_view number)
{
    std::string out;
    std::string_view rest = number;
    while (true) {
        const auto dot = rest.find('.');
        const std::string_view part = rest.substr(0, dot);
        int value = 0;
        std::string digits = ParseInt(part, value) ? std::to_string(value) : std::string(part);
        if (digits.size() < 4)
            out.append(4 - digits.size(), '0');
        out += digits;
        if (dot == std::string_view::npos)
            break;
        rest = rest.substr(dot + 1);
    }
    return out;
}

std::string UnpadNumber(std::string_view key)
{
    std::string out;
    for (size_t pos = 0; pos < key.size(); pos += 4) {
        int value = 0;
        ParseInt(key.substr(pos, 4), value);
        if (!out.empty())
            out += '.';
        out += std::to_string(value);
    }
    return out;
}

std::string RepeatChar(int n, char ch)
{
    return n < 1 ? std::string() : std::string(static_cast<size_t>(n), ch);
}

}  // namespace orm
