#include "core/exchange/itemtext.h"

#include "core/model/projectedits.h"
#include "core/model/treelist.h"
#include "core/text/cp1251.h"

namespace orm {

namespace {

constexpr size_t kMaxName = 255;

std::string text(const char* utf8)
{
    return ToCp1251(utf8);
}

std::string lineError(size_t line, const char* what)
{
    return text("Строка ") + std::to_string(line) + ": " + text(what);
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v' ||
           c == '\xA0';  // the no-break space spreadsheets like to leave
}

std::string_view trimmed(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The component count of a dotted number at the start of s ("1.2.3 Name", "1.2.3. Name", "1. Name"),
// with s moved past it and the blanks after it; 0 (s untouched) when s starts with none.
int leadingNumber(std::string_view& s)
{
    size_t at = 0;
    int components = 0;
    while (at < s.size() && isDigit(s[at])) {
        while (at < s.size() && isDigit(s[at]))
            ++at;
        ++components;
        if (at < s.size() && s[at] == '.' && at + 1 < s.size() && isDigit(s[at + 1]))
            ++at;
        else
            break;
    }
    if (components == 0)
        return 0;
    const bool dotted = at < s.size() && s[at] == '.';
    if (dotted)
        ++at;  // "1.2.3. Name"
    // "2024 год" is a name: a number has a dot somewhere ("1.2 Name", "1. Name").
    if (components == 1 && !dotted)
        return 0;
    // A number is followed by a blank, or it is a name that starts with digits ("2024 год").
    if (at < s.size() && s[at] != ' ' && s[at] != '\t')
        return 0;
    s.remove_prefix(at);
    return components;
}

}  // namespace

std::string TextToCp1251(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return ToCp1251(bytes.substr(3));
    return IsValidUtf8(bytes) ? ToCp1251(bytes) : std::string(bytes);
}

ItemTextRead ReadItemText(std::string_view bytes)
{
    const std::string all = TextToCp1251(bytes);
    ItemTextRead read;
    int base = -1;
    int previous = 0;
    size_t lineNumber = 0;
    for (size_t at = 0; at <= all.size();) {
        size_t end = all.find('\n', at);
        if (end == std::string::npos)
            end = all.size();
        std::string_view line(all.data() + at, end - at);
        at = end + 1;
        ++lineNumber;
        if (trimmed(line).empty())
            continue;
        int tabs = 0;
        while (!line.empty() && line.front() == '\t') {
            ++tabs;
            line.remove_prefix(1);
        }
        std::string_view rest = trimmed(line);
        const int components = leadingNumber(rest);
        // A number tells the depth by itself ("1" is a top item); tabs count otherwise.
        int depth = components > 0 ? components - 1 : tabs;
        const std::string_view name = trimmed(rest);
        if (name.empty()) {
            read.Error = lineError(lineNumber, "нет названия элемента.");
            break;
        }
        if (name.size() > kMaxName) {
            read.Error = lineError(lineNumber, "название длиннее 255 знаков.");
            break;
        }
        if (base < 0)
            base = depth;
        depth -= base;
        if (depth < 0) {
            read.Error = lineError(lineNumber, "уровень выше, чем у первой строки.");
            break;
        }
        if (depth > previous + 1) {
            read.Error =
                lineError(lineNumber, "уровень больше чем на один глубже предыдущей строки.");
            break;
        }
        previous = depth;
        read.Items.push_back({depth, std::string(name)});
    }
    if (!read.Error.empty())
        read.Items.clear();
    return read;
}

int AddTextItems(TTreeList* parent, const std::vector<TextItem>& items)
{
    ProjectEdits::BeginBatch(parent, text("вставка элементов: ") + std::to_string(items.size()));
    std::vector<TTreeList*> open;  // the last item added at each depth
    for (const TextItem& item : items) {
        const size_t depth = static_cast<size_t>(item.Depth);
        TTreeList* under = depth == 0 ? parent : open.at(depth - 1);
        open.resize(depth);
        open.push_back(ProjectEdits::AddItem(under, item.Name));
    }
    ProjectEdits::EndBatch(parent);
    return static_cast<int>(items.size());
}

std::string TextItemsPreview(TTreeList& parent, const std::vector<TextItem>& items)
{
    constexpr size_t kShown = 10;
    std::vector<int> perDepth;
    for (const TextItem& item : items) {
        if (perDepth.size() <= static_cast<size_t>(item.Depth))
            perDepth.resize(static_cast<size_t>(item.Depth) + 1);
        ++perDepth[static_cast<size_t>(item.Depth)];
    }
    std::string out = text("Будет добавлено элементов: ") + std::to_string(items.size());
    if (perDepth.size() > 1) {
        for (size_t d = 0; d < perDepth.size(); ++d)
            out += text("\nуровень ") + std::to_string(d + 1) + ": " + std::to_string(perDepth[d]);
    }
    out += text("\n\nПервые строки:");
    // Numbered as they will be: the first goes after the parent's last child.
    const std::string base = parent.Number() + ".";
    std::vector<int> counters{parent.Count()};
    std::vector<std::string> numbers;
    for (size_t i = 0; i < items.size() && i < kShown; ++i) {
        const size_t depth = static_cast<size_t>(items[i].Depth);
        counters.resize(depth + 1, 0);
        ++counters[depth];
        numbers.resize(depth);
        numbers.push_back(std::to_string(counters[depth]));
        std::string number = base;
        for (size_t k = 0; k < numbers.size(); ++k)
            number += (k ? "." : "") + numbers[k];
        out += "\n" + std::string(depth * 2, ' ') + number + " " + items[i].Name;
    }
    if (items.size() > kShown)
        out += "\n...";
    out += text("\n\nДобавить?");
    return out;
}

std::string WriteItemText(TTreeList& top)
{
    std::string out;
    top.ForEachPreOrder([&](TTreeList* node, const std::string&, int depth) {
        out.append(static_cast<size_t>(depth), '\t');
        out += node->Number();
        out += ' ';
        out += node->Name();
        out += "\r\n";
    });
    return out;
}

}  // namespace orm
