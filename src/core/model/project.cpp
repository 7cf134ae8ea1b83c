#include "core/model/project.h"

#include <algorithm>
#include <unordered_map>

#include "core/model/cp1251.h"
#include "core/model/metamodel.h"
#include "core/model/numbers.h"
#include "core/model/projectedits.h"
#include "core/model/safefile.h"

namespace orm {

namespace {

// The writer's pre-order covers the first four trees of the root.
constexpr int kWrittenTrees = 4;

std::string text(const char* utf8)
{
    return ToCp1251(utf8);
}

// Lines ended by CR, LF or CR LF; a last line without an end counts, an end at the very end of
// the file does not start another line.
class LineReader {
public:
    explicit LineReader(std::string_view bytes) : m_bytes(bytes) {}
    bool next(std::string_view& line)
    {
        if (m_pos >= m_bytes.size())
            return false;
        size_t end = m_pos;
        while (end < m_bytes.size() && m_bytes[end] != '\r' && m_bytes[end] != '\n')
            ++end;
        line = m_bytes.substr(m_pos, end - m_pos);
        if (end < m_bytes.size() && m_bytes[end] == '\r' && end + 1 < m_bytes.size() &&
            m_bytes[end + 1] == '\n')
            ++end;
        m_pos = end + 1;
        return true;
    }

private:
    std::string_view m_bytes;
    size_t m_pos = 0;
};

// (number, name) at the first blank; the name keeps at most 255 characters.
std::pair<std::string_view, std::string_view> splitLine(std::string_view line)
{
    const auto blank = line.find(' ');
    if (blank == std::string_view::npos)
        return {line, {}};
    return {line.substr(0, blank), line.substr(blank + 1, kMaxNameLength)};
}

// A dotted number split once into its components (-1 for a component that is no integer), for
// the numbers of ordinary depth; deeper ones go the general way.
struct SplitNumber {
    static constexpr int kMax = 16;
    int parts[kMax];
    int count = 0;  // 0: deeper than kMax

    explicit SplitNumber(std::string_view number)
    {
        while (true) {
            if (count == kMax) {
                count = 0;
                return;
            }
            const size_t dot = number.find('.');
            int value = -1;
            if (!ParseInt(number.substr(0, dot), value))
                value = -1;
            parts[count++] = value;
            if (dot == std::string_view::npos)
                return;
            number.remove_prefix(dot + 1);
        }
    }

    // The node addressed by the first n components, as FindByNumber finds it.
    TTreeList* walk(TTreeList& root, int n) const
    {
        TTreeList* node = &root;
        for (int i = 0; i < n; ++i) {
            if (parts[i] > node->Count())
                throw ELoadInvalid("Bad Tree Number");
            node = node->Child(parts[i] - 1);
        }
        return node;
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

TMainTreeList::~TMainTreeList()
{
    ForgetLinksOfSubtree();
}

void TMainTreeList::Reset()
{
    if (m_beforeReset)
        m_beforeReset();
    m_fileName.clear();
    m_readInPart = false;
    SetName(text("Новый проект"));
    ForgetLinksOfSubtree();
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
    if (m_fileName.empty() || m_readInPart)
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
    // Writing what was read of a damaged file over that file loses the rest of it: only on
    // the user's word.
    if (m_readInPart && name == m_fileName &&
        !prompts.Confirm(text("Проект прочитан из файла «") + ToCp1251(name) +
                         text("» не полностью.\nЗаменить этот файл прочитанной частью?")))
        return false;
    m_fileName = name;
    m_readInPart = false;
    return SaveProject(prompts);
}

const std::string& TMainTreeList::EditProjectName(Prompts& prompts)
{
    std::string name = Name();
    if (InputItemText(prompts, name, text("Название проекта"))) {
        SetName(name);
        SetModified(true);
    }
    return Name();
}

bool TMainTreeList::LoadProjectFile(const std::string& path, Prompts& prompts)
{
    const LoadResult result = ReadProjectFile(path);
    m_readInPart = !result.Ok;
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
    LineReader lines(bytes);
    std::string_view line;
    bool added = false;
    try {
        if (!lines.next(line))
            throw ELoadInvalid("Line count = 0");
        const auto [firstNumber, projectName] = splitLine(line);
        if (ComponentCount(firstNumber) != 1 || Component(firstNumber, 1) != 0)
            throw ELoadInvalid("First item number <> 0");
        SetName(std::string(projectName));

        int block = 0;  // first component of the last heading or item line
        // Link lines belong to the item that the last item line created.
        TTreeList* lastItem = nullptr;
        while (lines.next(line)) {
            const auto [number, name] = splitLine(line);
            if (number.empty())
                throw ELoadInvalid("Empty item number");
            const SplitNumber split(number);
            const int b = split.count > 0 ? split.parts[0] : Component(number, 1);
            const bool single = split.count == 1;
            if (block < b && single) {
                block = b;  // a classifier heading; its name is the metamodel's
                lastItem = nullptr;
                continue;
            }
            if (block <= b) {
                // An item line; when block < b it opens a block whose heading is missing.
                if (single)
                    throw ELoadInvalid("Item number without a parent");
                TTreeList* parent = split.count > 0 ? split.walk(*this, split.count - 1)
                                                    : FindByNumber(ParentNumber(number));
                lastItem = parent->AppendNamed(name);
                added = true;
                block = b;
                continue;
            }
            if (!lastItem)
                throw ELoadInvalid("Link line without an item");
            // FindByNumber stops at a trailing dot ("1.1." is 1.1); the split would not.
            TTreeList* other = split.count > 0 && number.back() != '.'
                                   ? split.walk(*this, split.count)
                                   : FindByNumber(number);
            if (!other->Parent() || !other->Parent()->Parent())
                throw ELoadInvalid("Link line names no item");
            // A pair is linked once; search the shorter of the two link lists.
            const bool known = lastItem->Links().size() <= other->Links().size()
                                   ? lastItem->IsLinkedWith(other)
                                   : other->IsLinkedWith(lastItem);
            if (!known)
                lastItem->Link(other);
        }
    } catch (const std::exception& e) {
        SetModified(added);
        return {false, e.what()};
    }
    SetModified(added);
    return {};
}

std::string TMainTreeList::ProjectFileText()
{
    const int trees = std::min(Count(), kWrittenTrees);
    std::string out;
    auto addLine = [&out](std::string_view a, std::string_view b = {}) {
        out += a;
        out += b;
        out += "\r\n";
    };
    addLine("0 ", Name());

    // A link is written under whichever of its two items comes later in pre-order, which is
    // the one with the larger padded key. Every node gets its pre-order position first; the
    // numbers of linked nodes are kept for the link lines written under their partners.
    std::vector<TTreeList*> nodes;
    for (int k = 0; k < trees; ++k) {
        Child(k)->ForEachNode([&nodes](TTreeList* node) {
            node->m_writeOrder = static_cast<uint32_t>(nodes.size());
            nodes.push_back(node);
        });
    }
    out.reserve(nodes.size() * 64);
    std::vector<std::string> numbers(nodes.size());
    std::vector<uint32_t> earlier;
    for (int k = 0; k < trees; ++k) {
        Child(k)->ForEachPreOrder([&](TTreeList* node, const std::string& number, int) {
            out += number;
            addLine(" ", node->Name());
            if (node->Links().empty())
                return;
            const uint32_t own = node->m_writeOrder;
            numbers[own] = number;
            earlier.clear();
            for (const TTreeList* other : node->Links()) {
                const uint32_t order = other->m_writeOrder;
                if (order < own && nodes[order] == other)
                    earlier.push_back(order);
            }
            std::sort(earlier.begin(), earlier.end());
            earlier.erase(std::unique(earlier.begin(), earlier.end()), earlier.end());
            for (const uint32_t e : earlier)
                addLine(numbers[e]);
        });
    }
    return out;
}

bool TMainTreeList::WriteProjectFile(std::string* error)
{
    return WriteFileAtomically(m_fileName, ProjectFileText(), error);
}

}  // namespace orm
