#include "core/help/helpanchors.h"

#include <algorithm>
#include <cctype>

#include "core/text/cp1251.h"

namespace orm {

namespace {

bool isBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n' || ch == '\v' || ch == '\f';
}

std::string_view trim(std::string_view text)
{
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char asciiLower(char ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

}  // namespace

std::vector<std::string> SplitKeywords(std::string_view keyword)
{
    std::vector<std::string> out;
    while (true) {
        const auto semicolon = keyword.find(';');
        const std::string_view part = trim(keyword.substr(0, semicolon));
        if (!part.empty())
            out.emplace_back(part);
        if (semicolon == std::string_view::npos)
            break;
        keyword.remove_prefix(semicolon + 1);
    }
    return out;
}

std::vector<std::size_t> MatchAnchors(const std::vector<std::string>& anchors,
                                      std::string_view keyword)
{
    const std::vector<std::string> keywords = SplitKeywords(keyword);
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < anchors.size(); ++i) {
        const bool match = std::any_of(keywords.begin(), keywords.end(), [&](const auto& k) {
            return EqualsNoCaseCp1251(anchors[i], k);
        });
        if (match)
            out.push_back(i);
    }
    return out;
}

HtmlCharset DeclaredHtmlCharset(std::string_view html)
{
    if (html.starts_with("\xEF\xBB\xBF") || html.starts_with("\xFF\xFE") ||
        html.starts_with("\xFE\xFF"))
        return HtmlCharset::Other;
    std::string head(html.substr(0, 1024));
    std::transform(head.begin(), head.end(), head.begin(), asciiLower);
    for (std::size_t at = head.find("charset"); at != std::string::npos;
         at = head.find("charset", at + 1)) {
        std::size_t i = at + 7;
        while (i < head.size() && isBlank(head[i]))
            ++i;
        if (i >= head.size() || head[i] != '=')
            continue;  // the word in running text, not an attribute
        ++i;
        while (i < head.size() && (isBlank(head[i]) || head[i] == '"' || head[i] == '\''))
            ++i;
        std::size_t end = i;
        while (end < head.size() &&
               (std::isalnum(static_cast<unsigned char>(head[end])) || head[end] == '-' ||
                head[end] == '_' || head[end] == '.' || head[end] == ':'))
            ++end;
        const std::string name = head.substr(i, end - i);
        if (name.empty())
            continue;
        // The labels that browsers take for this encoding.
        if (name == "windows-1251" || name == "cp1251" || name == "x-cp1251")
            return HtmlCharset::Cp1251;
        return HtmlCharset::Other;
    }
    return HtmlCharset::Undeclared;
}

}  // namespace orm
