#include "model/project.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "model/cp1251.h"
#include "model/metamodel.h"
#include "model/numbers.h"
#include "model/safefile.h"

namespace orm {

namespace {

// The writer's pre-order covers the first four trees of the root.
constexpr int kWrittenTrees = 4;

std::string text(const char* utf8)
{
    return ToCp1251(utf8);
}

std::vector<std::string_view> splitLines(std::string_view bytes)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    const size_t n = bytes.size();
    for (size_t i = 0; i < n; ++i) {
        const char ch = bytes[i];
        if (ch != '\r' && ch != '\n')
            continue;
        lines.push_back(bytes.substr(start, i - start));
        if (ch == '\r' && i + 1 < n && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.push_back(bytes.substr(start));
    return lines;
}

struct PairHash {
    size_t operator()(const std::pair<const TTreeList*, const TTreeList*>& p) const
    {
        const auto a = reinterpret_cast<std::uintptr_t>(p.first);
        const auto b = reinterpret_cast<std::uintptr_t>(p.second);
        return std::hash<std::uintptr_t>()(a * 31 + b);
    }
};

std::string extensionOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return path.substr(dot);
}

}  // namespace

FileDialogSpec ProjectOpenDialog()
{
    return {text("Открытие файла"), text("Файлы Ормелит"), "*.ovx;*.rem", "ovx", std::string()};
}

FileDialogSpec ProjectSaveDialog(const std::string& initialFileName)
{
    return {text("Запись файла"), text("Файлы Ормелит"), "*.ovx;*.rem", "ovx", initialFileName};
}

TMainTreeList::TMainTreeList()
{
    Reset();
}

void TMainTreeList::Reset()
{
    m_fileName.clear();
    SetName(text("Новый проект"));
    Clear();
    const TStructRes& meta = Metamodel();
    const int trees = meta.KindCount(ResKind::Classifier);
    for (int k = 1; k <= trees; ++k) {
        auto tree = std::make_unique<TTreeList>(this);
        tree->SetName(meta.DisplayName(k, ResKind::Classifier));
        Append(std::move(tree));
    }
    SetModified(false);
}

bool TMainTreeList::QuerySave(Prompts& prompts)
{
    if (!Modified())
        return true;
    switch (prompts.AskYesNoCancel(text("Проект изменен. Сохранить?"))) {
    case Prompts::Answer::Yes:
        SaveProject(prompts);
        break;
    case Prompts::Answer::No:
        SetModified(false);
        break;
    case Prompts::Answer::Cancel:
        break;
    }
    return !Modified();
}

bool TMainTreeList::NewProject(Prompts& prompts)
{
    if (!QuerySave(prompts))
        return false;
    Reset();
    return true;
}

bool TMainTreeList::OpenProject(Prompts& prompts)
{
    if (!QuerySave(prompts))
        return false;
    const auto path = prompts.OpenFileName(ProjectOpenDialog());
    if (!path)
        return false;
    LoadProjectFile(*path, prompts);
    SetModified(false);
    return true;
}

bool TMainTreeList::SaveProject(Prompts& prompts)
{
    if (m_fileName.empty())
        return SaveProjectAs(prompts);
    if (!WriteProjectFile()) {
        prompts.Inform(text("Ошибка сохранения проекта!"));
        return false;
    }
    SetModified(false);
    return true;
}

bool TMainTreeList::SaveProjectAs(Prompts& prompts)
{
    const auto chosen = prompts.SaveFileName(ProjectSaveDialog(m_fileName));
    if (!chosen)
        return false;
    std::string name = *chosen;
    // The extension is taken from the file's own name: a dot in a folder name is no extension.
    const std::string ext = extensionOf(name);
    if (ext != ".ovx" && ext != ".rem") {
        if (prompts.Confirm(text("Расширение файла не совпадает\nс расширением по умолчанию !\n"
                                 "Изменить на расширение по умолчанию ?"))) {
            name = name.substr(0, name.size() - ext.size()) + ".ovx";
        }
    }
    m_fileName = name;
    return SaveProject(prompts);
}

const std::string& TMainTreeList::EditProjectName(Prompts& prompts)
{
    const auto typed = prompts.InputText(text("Название проекта"), Name());
    if (typed && !typed->empty() && *typed != Name()) {
        SetName(*typed);
        SetModified(true);
    }
    return Name();
}

bool TMainTreeList::LoadProjectFile(const std::string& path, Prompts& prompts)
{
    const LoadResult result = ReadProjectFile(path);
    if (!result.Ok)
        prompts.Inform(text("Не верный формат проекта!"));
    return result.Ok;
}

LoadResult TMainTreeList::ReadProjectFile(const std::string& path)
{
    const auto bytes = ReadFileBytes(path);
    LoadResult result = ReadProjectText(bytes ? *bytes : std::string());
    m_fileName = path;
    if (!bytes)
        result = {false, "Cannot read the file"};
    return result;
}

LoadResult TMainTreeList::ReadProjectText(const std::string& bytes)
{
    Reset();
    const auto lines = splitLines(bytes);
    try {
        if (lines.empty())
            throw ELoadInvalid("Line count = 0");
        auto [firstNumber, projectName] = SplitAt(lines[0], " ");
        if (ComponentCount(firstNumber) != 1 || Component(firstNumber, 1) != 0)
            throw ELoadInvalid("First item number <> 0");
        SetName(projectName);

        std::string current = "0";
        // Link lines belong to the item that the last item line created.
        TTreeList* lastItem = nullptr;
        std::unordered_set<std::pair<const TTreeList*, const TTreeList*>, PairHash> linked;
        for (size_t i = 1; i < lines.size(); ++i) {
            auto [number, name] = SplitAt(lines[i], " ");
            if (number.empty())
                throw ELoadInvalid("Empty item number");
            const int a = Component(current, 1);
            const int b = Component(number, 1);
            const int components = ComponentCount(number);
            if (a < b && components == 1) {
                current = number;  // a classifier heading; its name is the metamodel's
                lastItem = nullptr;
                continue;
            }
            if (a <= b) {
                // An item line; when a < b it opens a block whose heading is missing.
                if (components == 1)
                    throw ELoadInvalid("Item number without a parent");
                TTreeList* parent = FindByNumber(ParentNumber(number));
                lastItem = parent->AddChild(name);
                current = number;
                continue;
            }
            if (!lastItem)
                throw ELoadInvalid("Link line without an item");
            TTreeList* other = FindByNumber(number);
            if (!other->Parent() || !other->Parent()->Parent())
                throw ELoadInvalid("Link line names no item");
            const auto key = lastItem < other ? std::make_pair(lastItem, other)
                                              : std::make_pair(other, lastItem);
            if (linked.insert(key).second)
                lastItem->Link(other);
        }
    } catch (const std::exception& e) {
        return {false, e.what()};
    }
    return {};
}

std::string TMainTreeList::ProjectFileText()
{
    const int trees = std::min(Count(), kWrittenTrees);

    // Numbers of every linked node, found in one pass, so that keys need no searching.
    std::unordered_map<const TTreeList*, std::string> numbers;
    for (int k = 0; k < trees; ++k) {
        Child(k)->ForEachPreOrder([&numbers](TTreeList* node, const std::string& number, int) {
            if (!node->Links().empty())
                numbers.emplace(node, number);
        });
    }

    std::string out;
    auto addLine = [&out](std::string_view line) {
        out += line;
        out += "\r\n";
    };
    std::vector<std::pair<std::string, std::string>> keys;  // (padded key, number)
    auto addLinks = [&](TTreeList* node, const std::string& number) {
        if (node->Links().empty())
            return;
        const std::string own = PadNumber(number);
        keys.clear();
        for (const TTreeList* other : node->Links()) {
            const auto it = numbers.find(other);
            if (it == numbers.end())
                continue;  // not in a written tree
            std::string key = PadNumber(it->second);
            if (key < own)
                keys.emplace_back(std::move(key), it->second);
        }
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        for (const auto& entry : keys)
            addLine(entry.second);
    };

    addLine("0 " + Name());
    for (int k = 0; k < trees; ++k) {
        Child(k)->ForEachPreOrder([&](TTreeList* node, const std::string& number, int) {
            out += number;
            out += ' ';
            addLine(node->Name());
            addLinks(node, number);
        });
    }
    return out;
}

bool TMainTreeList::WriteProjectFile(std::string* error)
{
    return WriteFileAtomically(m_fileName, ProjectFileText(), error);
}

}  // namespace orm
