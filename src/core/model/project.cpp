#include "core/model/project.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <vector>

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

// The components of a dotted number (-1 for one that is no integer), split once per line.
void splitNumber(std::string_view number, std::vector<int>& parts)
{
    parts.clear();
    while (true) {
        const size_t dot = number.find('.');
        int value = -1;
        if (!ParseInt(number.substr(0, dot), value))
            value = -1;
        parts.push_back(value);
        if (dot == std::string_view::npos)
            return;
        number.remove_prefix(dot + 1);
    }
}

// Finds the node a number addresses as FindByNumber would, starting from where the previous
// number's path and this one part: consecutive lines of a file share most of their path, so a
// line costs its own length however deep it goes. Reading only appends, so the kept path stays
// valid.
class PathWalker {
public:
    explicit PathWalker(TTreeList& root) : m_root(root) {}

    // The node addressed by the first n components of parts.
    TTreeList* walk(const std::vector<int>& parts, size_t n)
    {
        size_t i = 0;
        while (i < n && i < m_path.size() && m_path[i].value == parts[i])
            ++i;
        m_path.resize(i);
        TTreeList* node = i == 0 ? &m_root : m_path[i - 1].node;
        for (; i < n; ++i) {
            const int value = parts[i];
            if (value > node->Count())
                throw ELoadInvalid("Bad Tree Number");
            node = node->Child(TTreeList::PositionOf(value));
            m_path.push_back({value, node});
        }
        return node;
    }

private:
    struct Step {
        int value;
        TTreeList* node;
    };
    TTreeList& m_root;
    std::vector<Step> m_path;
};

uint32_t decimalDigits(uint32_t value)
{
    uint32_t digits = 1;
    for (; value >= 10; value /= 10)
        ++digits;
    return digits;
}

std::string extensionOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return std::string();
    return path.substr(dot);
}

class ProjectNameStep : public EditStep {
public:
    ProjectNameStep(std::string before, std::string after)
        : EditStep(text("название проекта")), m_before(std::move(before)), m_after(std::move(after))
    {
    }
    EditEffect Undo(TTreeList& root) override { return set(root, m_before); }
    EditEffect Redo(TTreeList& root) override { return set(root, m_after); }

private:
    static EditEffect set(TTreeList& root, const std::string& name)
    {
        root.SetName(name);
        return {EditEffect::ProjectName, {}, {}};
    }
    std::string m_before;
    std::string m_after;
};

}  // namespace

FileDialogSpec ProjectOpenDialog()
{
    return {text("Открытие файла"), text("Файлы Ормелит"), "*.ovx;*.rem", "ovx", std::string(),
            {}};
}

FileDialogSpec ProjectSaveDialog(const std::string& initialFileName)
{
    return {text("Запись файла"), text("Файлы Ормелит"), "*.ovx;*.rem", "ovx", initialFileName, {}};
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
    m_history.Clear();
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
    m_history.SetClean();
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
        std::string before = Name();
        SetName(name);
        SetModified(true);
        m_history.Push(std::make_unique<ProjectNameStep>(std::move(before), name));
    }
    return Name();
}

std::optional<EditEffect> TMainTreeList::Undo()
{
    std::optional<EditEffect> effect = m_history.Undo(*this);
    if (effect)
        SetModified(!m_history.IsClean());
    return effect;
}

std::optional<EditEffect> TMainTreeList::Redo()
{
    std::optional<EditEffect> effect = m_history.Redo(*this);
    if (effect)
        SetModified(!m_history.IsClean());
    return effect;
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
        // Each item gets a serial; a partner marked with it is already linked to the item. An
        // item's links all come from its own link lines while it is the last one read, so the
        // mark finds a repeated line without searching link lists, however long they are.
        uint32_t serial = 0;
        std::vector<int> parts;
        PathWalker items(*this);
        PathWalker links(*this);
        while (lines.next(line)) {
            const auto [number, name] = splitLine(line);
            if (number.empty())
                throw ELoadInvalid("Empty item number");
            splitNumber(number, parts);
            const int b = parts.front();
            const bool single = parts.size() == 1;
            if (block < b && single) {
                block = b;  // a classifier heading; its name is the metamodel's
                lastItem = nullptr;
                continue;
            }
            if (block <= b) {
                // An item line; when block < b it opens a block whose heading is missing.
                if (single)
                    throw ELoadInvalid("Item number without a parent");
                TTreeList* parent = items.walk(parts, parts.size() - 1);
                lastItem = parent->AppendNamed(name);
                ++serial;
                added = true;
                block = b;
                continue;
            }
            if (!lastItem)
                throw ELoadInvalid("Link line without an item");
            // A trailing dot ends the number ("1.1." is 1.1), as in FindByNumber.
            TTreeList* other =
                links.walk(parts, parts.size() - (number.back() == '.' ? 1 : 0));
            if (!other->Parent() || !other->Parent()->Parent())
                throw ELoadInvalid("Link line names no item");
            // A pair is linked once.
            if (other->m_readMark != serial) {
                other->m_readMark = serial;
                lastItem->Link(other);
            }
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

    // A link is written under whichever of its two items comes later in pre-order, which is
    // the one with the larger padded key. The first pass gives every node its pre-order
    // position and the length of its number, and from them the size of the whole file, so the
    // text is written into one buffer that never moves. A number is written as its parent's
    // number, copied from the parent's line, and the child's position; a link line copies the
    // partner's number from the partner's line.
    struct Entry {
        TTreeList* node;
        uint32_t parent;        // pre-order position of the parent; kTree for a tree
        uint32_t component;     // last component of the number (1-based position)
        uint32_t numberLength;  // of the whole dotted number
    };
    constexpr uint32_t kTree = UINT32_MAX;  // also: no earlier partner
    std::vector<Entry> entries;
    size_t total = 2 + Name().size() + 2;
    // An earlier partner of the node at own: its position in the file being written. Other
    // nodes' positions are stale from an earlier write, or not yet given in the first pass.
    auto earlierPartner = [&entries](const TTreeList* other, uint32_t own) {
        const uint32_t order = other->m_writeOrder;
        return order < own && entries[order].node == other ? order : kTree;
    };
    auto add = [&](TTreeList* node, uint32_t parent, uint32_t component) {
        const auto own = static_cast<uint32_t>(entries.size());
        node->m_writeOrder = own;
        const uint32_t length = (parent == kTree ? 0 : entries[parent].numberLength + 1) +
                                decimalDigits(component);
        entries.push_back({node, parent, component, length});
        total += length + 1 + node->m_name.size() + 2;
        // A pair linked twice is counted twice here and written once: at worst a few bytes
        // reserved in vain, never a buffer too small.
        for (const TTreeList* other : node->m_links) {
            const uint32_t e = earlierPartner(other, own);
            if (e != kTree)
                total += entries[e].numberLength + 2;
        }
        return own;
    };
    struct Frame {
        TTreeList* node;
        uint32_t order;
        size_t next;
    };
    std::vector<Frame> stack;
    for (int k = 0; k < trees; ++k) {
        TTreeList* tree = m_children[static_cast<size_t>(k)].get();
        stack.push_back({tree, add(tree, kTree, static_cast<uint32_t>(k + 1)), 0});
        while (!stack.empty()) {
            Frame& top = stack.back();
            if (top.next == top.node->m_children.size()) {
                stack.pop_back();
                continue;
            }
            const size_t i = top.next++;
            TTreeList* child = top.node->m_children[i].get();
            const uint32_t order = top.order;
            stack.push_back({child, add(child, order, static_cast<uint32_t>(i + 1)), 0});
        }
    }

    std::string out;
    out.reserve(total);
    auto addLine = [&out](std::string_view a, std::string_view b = {}) {
        out += a;
        out += b;
        out += "\r\n";
    };
    addLine("0 ", Name());
    std::vector<size_t> lineStart(entries.size());
    std::vector<uint32_t> earlier;
    for (uint32_t own = 0; own < entries.size(); ++own) {
        const Entry& entry = entries[own];
        lineStart[own] = out.size();
        if (entry.parent != kTree) {
            out.append(out.data() + lineStart[entry.parent], entries[entry.parent].numberLength);
            out += '.';
        }
        char digits[16];
        const auto end = std::to_chars(digits, digits + sizeof digits, entry.component).ptr;
        out.append(digits, end);
        addLine(" ", entry.node->m_name);
        if (entry.node->m_links.empty())
            continue;
        earlier.clear();
        for (const TTreeList* other : entry.node->m_links) {
            const uint32_t e = earlierPartner(other, own);
            if (e != kTree)
                earlier.push_back(e);
        }
        std::sort(earlier.begin(), earlier.end());
        earlier.erase(std::unique(earlier.begin(), earlier.end()), earlier.end());
        for (const uint32_t e : earlier)
            addLine(std::string_view(out.data() + lineStart[e], entries[e].numberLength));
    }
    return out;
}

bool TMainTreeList::WriteProjectFile(std::string* error)
{
    return WriteFileAtomically(m_fileName, ProjectFileText(), error);
}

}  // namespace orm
