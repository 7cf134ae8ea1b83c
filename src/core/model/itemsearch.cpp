#include "core/model/itemsearch.h"

#include <array>
#include <string_view>

#include "core/model/treelist.h"
#include "core/text/cp1251.h"

namespace orm {

namespace {

// Whether text holds lowerNeedle, letter case ignored, without a copy of text.
bool containsNoCase(std::string_view text, std::string_view lowerNeedle)
{
    static const auto lower = [] {
        std::array<char, 256> table{};
        for (int c = 0; c < 256; ++c)
            table[size_t(c)] = LowerCp1251(std::string(1, char(c)))[0];
        return table;
    }();
    if (lowerNeedle.size() > text.size())
        return false;
    for (size_t at = 0; at + lowerNeedle.size() <= text.size(); ++at) {
        size_t i = 0;
        while (i < lowerNeedle.size() &&
               lower[static_cast<unsigned char>(text[at + i])] == lowerNeedle[i])
            ++i;
        if (i == lowerNeedle.size())
            return true;
    }
    return false;
}

}  // namespace

TTreeList* FindItem(TTreeList& root, const std::string& text, int k, const TTreeList* from,
                    bool backwards)
{
    const std::string lower = LowerCp1251(text);
    if (lower.empty())
        return nullptr;
    // One walk in file order: the matches before `from` and the first one after it are
    // enough to answer either way. Numbers are built as the walk goes, never looked up.
    TTreeList* firstMatch = nullptr;
    TTreeList* lastBefore = nullptr;
    TTreeList* firstAfter = nullptr;
    TTreeList* lastMatch = nullptr;
    bool passed = from == nullptr;
    for (int t = 1; t <= root.Count(); ++t) {
        if (k != 0 && t != k)
            continue;
        TTreeList* tree = root.TreeByIndex(t);
        tree->ForEachPreOrder([&](TTreeList* node, const std::string& number, int depth) {
            if (node == from) {
                passed = true;
                return;
            }
            if (depth == 0)
                return;
            const bool match = containsNoCase(node->Name(), lower) ||
                               number.find(lower) != std::string::npos;
            if (!match)
                return;
            if (!firstMatch)
                firstMatch = node;
            lastMatch = node;
            if (!passed)
                lastBefore = node;
            else if (!firstAfter)
                firstAfter = node;
        });
    }
    if (backwards)
        return lastBefore ? lastBefore : lastMatch;
    return firstAfter ? firstAfter : firstMatch;
}

}  // namespace orm
