#include "core/exchange/matrixcsv.h"

#include <unordered_set>

#include "core/exchange/itemtext.h"
#include "core/model/projectedits.h"
#include "core/text/cp1251.h"

namespace orm {

namespace {

std::string text(const char* utf8)
{
    return ToCp1251(utf8);
}

std::string lineError(size_t line, const std::string& what)
{
    return text("Строка ") + std::to_string(line) + ": " + what;
}

// UTF-8 text of one field.
std::string csvField(const std::string& utf8)
{
    // Spreadsheets run a field that starts with one of these as a formula; an apostrophe in
    // front makes it text, as a user typing it would.
    if (!utf8.empty() && std::string_view("=+-@\t\r").find(utf8.front()) != std::string::npos)
        return csvField("'" + utf8);
    if (utf8.find_first_of(";\"\n\r") == std::string::npos)
        return utf8;
    std::string quoted = "\"";
    for (char c : utf8) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

// "1.2 Сбыт": the number and the name in one field, as the outline shows them; a number alone
// ("1.2") would be taken for a date by spreadsheets in Russian locales.
std::string itemField(const ItemListEntry& entry)
{
    return csvField(ToUtf8(entry.Text + " " + std::string(entry.Item->Name())));
}

struct Record {
    size_t line;  // where it starts, 1-based
    std::vector<std::string> fields;
};

char separatorOf(std::string_view all)
{
    // The one that occurs most often in the first line, outside quotes; ";" when none does.
    size_t counts[3] = {};
    const char candidates[3] = {';', ',', '\t'};
    bool quoted = false;
    for (char c : all) {
        if (c == '"')
            quoted = !quoted;
        if (!quoted && (c == '\n' || c == '\r'))
            break;
        for (int k = 0; k < 3; ++k)
            counts[k] += !quoted && c == candidates[k];
    }
    int best = 0;
    for (int k = 1; k < 3; ++k) {
        if (counts[k] > counts[best])
            best = k;
    }
    return candidates[best];
}

// Records with quoted fields (a doubled quote inside one is a quote; separators and line
// breaks inside one are text). Blank lines are skipped.
std::vector<Record> records(std::string_view all, char separator)
{
    std::vector<Record> out;
    Record record{1, {}};
    std::string field;
    bool quoted = false;
    bool any = false;
    size_t line = 1;
    auto endRecord = [&] {
        if (any || !field.empty() || !record.fields.empty()) {
            record.fields.push_back(std::move(field));
            out.push_back(std::move(record));
        }
        field.clear();
        record = Record{line, {}};
        any = false;
    };
    for (size_t i = 0; i < all.size(); ++i) {
        const char c = all[i];
        if (quoted) {
            if (c == '"' && i + 1 < all.size() && all[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                if (c == '\n')
                    ++line;
                field += c;
            }
            continue;
        }
        if (c == '"') {
            quoted = true;
            any = true;
        } else if (c == separator) {
            record.fields.push_back(std::move(field));
            field.clear();
            any = true;
        } else if (c == '\n') {
            ++line;
            endRecord();
        } else if (c != '\r') {
            field += c;
        }
    }
    endRecord();
    return out;
}

std::string trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\xA0'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\xA0'))
        s.remove_suffix(1);
    return std::string(s);
}

// The item of classifier k whose number starts header, or nullptr.
TTreeList* itemOf(TTreeList& project, int k, const std::string& header)
{
    std::string_view s = header;
    if (!s.empty() && s.front() == '\'')
        s.remove_prefix(1);
    size_t end = 0;
    while (end < s.size() && ((s[end] >= '0' && s[end] <= '9') || s[end] == '.'))
        ++end;
    const std::string number(s.substr(0, end));
    if (number.empty() || number.find('.') == std::string::npos)
        return nullptr;
    try {
        TTreeList* item = project.FindByNumber(number);
        return item && item->ClassifierIndex() == k && item->Parent() && item->Parent()->Parent()
                   ? item
                   : nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

// 1 binds, 0 unbinds, -1 is no mark.
int markOf(const std::string& cell)
{
    const std::string mark = LowerCp1251(trimmed(cell));
    if (mark.empty())
        return 0;
    for (const char* yes : {"x", "+", "1"}) {
        if (mark == yes)
            return 1;
    }
    return mark == text("да") || mark == text("х") ? 1 : -1;  // Cyrillic "х" looks the same
}

}  // namespace

std::string WriteMatrixCsv(const std::string& title, const ItemList& columns, const ItemList& rows)
{
    std::string out = "\xEF\xBB\xBF";
    out += csvField(ToUtf8(title));
    for (const ItemListEntry& column : columns)
        out += ';' + itemField(column);
    out += "\r\n";
    for (const ItemListEntry& row : rows) {
        out += itemField(row);
        for (const ItemListEntry& column : columns) {
            out += ';';
            if (row.Item->IsLinkedWith(column.Item))
                out += 'X';
        }
        out += "\r\n";
    }
    return out;
}

MatrixImport ReadMatrixCsv(TTreeList& project, int columns, int rows, std::string_view bytes)
{
    MatrixImport result;
    const std::string all = TextToCp1251(bytes);
    const std::vector<Record> table = records(all, separatorOf(all));
    if (table.size() < 2 || table.front().fields.size() < 2) {
        result.Error = text("Файл не похож на таблицу: нужны строка заголовков и хотя бы одна "
                            "строка с элементами.");
        return result;
    }
    const Record& head = table.front();
    std::vector<TTreeList*> across;
    std::unordered_set<const TTreeList*> seen;
    for (size_t c = 1; c < head.fields.size(); ++c) {
        const std::string name = trimmed(head.fields[c]);
        if (name.empty() && c + 1 == head.fields.size())
            break;  // a separator at the end of the line
        TTreeList* item = itemOf(project, columns, name);
        if (!item) {
            result.Error = lineError(head.line, text("столбец «") + name +
                                                    text("» не совпадает ни с одним элементом."));
            return result;
        }
        if (!seen.insert(item).second) {
            result.Error = lineError(head.line, text("столбец «") + name + text("» повторяется."));
            return result;
        }
        across.push_back(item);
    }
    seen.clear();
    for (size_t r = 1; r < table.size(); ++r) {
        const Record& record = table[r];
        const std::string name = trimmed(record.fields.front());
        TTreeList* row = itemOf(project, rows, name);
        if (!row) {
            result.Error = lineError(record.line, text("строка «") + name +
                                                      text("» не совпадает ни с одним элементом."));
            return result;
        }
        if (!seen.insert(row).second) {
            result.Error = lineError(record.line, text("строка «") + name + text("» повторяется."));
            return result;
        }
        if (record.fields.size() > across.size() + 1) {
            // Beyond the last column only empty fields may follow.
            for (size_t c = across.size() + 1; c < record.fields.size(); ++c) {
                if (!trimmed(record.fields[c]).empty()) {
                    result.Error = lineError(record.line, text("в строке больше ячеек, чем "
                                                               "столбцов."));
                    return result;
                }
            }
        }
        for (size_t c = 0; c < across.size(); ++c) {
            // Spreadsheets may leave out empty cells at the end of a row.
            const std::string cell = c + 1 < record.fields.size() ? record.fields[c + 1] : "";
            const int mark = markOf(cell);
            if (mark < 0) {
                result.Error = lineError(record.line, text("непонятная отметка «") +
                                                          trimmed(cell) + text("»."));
                return result;
            }
            const bool bound = row->IsLinkedWith(across[c]);
            if (bound == (mark == 1)) {
                ++result.Unchanged;
                continue;
            }
            result.Changes.push_back({row, across[c], mark == 1});
            ++(mark == 1 ? result.Added : result.Removed);
        }
    }
    return result;
}

void ApplyMatrix(const MatrixImport& import)
{
    if (import.Changes.empty())
        return;
    TTreeList* any = import.Changes.front().Row;
    ProjectEdits::BeginBatch(any, text("импорт матрицы"));
    for (const MatrixChange& change : import.Changes)
        ProjectEdits::ToggleBinding(change.Row, change.Column);
    ProjectEdits::EndBatch(any);
}

std::string MatrixImportSummary(const MatrixImport& import)
{
    return text("Связей будет добавлено: ") + std::to_string(import.Added) +
           text("\nудалено: ") + std::to_string(import.Removed) +
           text("\nбез изменений: ") + std::to_string(import.Unchanged);
}

}  // namespace orm
