#include "core/model/treelist.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "core/model/metamodel.h"
#include "core/model/nodepool.h"
#include "core/model/numbers.h"
#include "core/prompts/prompts.h"
#include "core/text/cp1251.h"

namespace orm {

void* TTreeList::operator new(std::size_t size)
{
    return PoolAllocate(size);
}

void TTreeList::operator delete(void* node, std::size_t size)
{
    PoolFree(node, size);
}

TTreeList::TTreeList(TTreeList* parent) : m_parent(parent) {}

TTreeList::~TTreeList()
{
    while (!m_links.empty())
        Unlink(m_links.back());
    // Tear the subtree down without recursion: a hand-made file can nest items very deep.
    std::vector<TTreeList*> pending(m_children.begin(), m_children.end());
    m_children.release();
    while (!pending.empty()) {
        TTreeList* node = pending.back();
        pending.pop_back();
        pending.insert(pending.end(), node->m_children.begin(), node->m_children.end());
        node->m_children.release();
        delete node;
    }
    if (m_name)
        PoolFree(m_name, m_nameLength);
}

void TTreeList::SetName(std::string_view name)
{
    if (name.size() >= (1u << 30))
        throw std::length_error("name too long");
    char* bytes = nullptr;
    if (!name.empty()) {
        bytes = static_cast<char*>(PoolAllocate(name.size()));
        std::memcpy(bytes, name.data(), name.size());
    }
    if (m_name)
        PoolFree(m_name, m_nameLength);
    m_name = bytes;
    m_nameLength = static_cast<uint32_t>(name.size());
}

TTreeList* TTreeList::Child(int i) const
{
    if (i < 0 || i >= Count())
        throw EListError("List index out of bounds (" + std::to_string(i) + ")");
    return m_children[static_cast<size_t>(i)];
}

int TTreeList::IndexOf(const TTreeList* child) const
{
    // Every child knows its position, so numbers need no search through long child lists.
    if (!child || child->m_parent != this)
        return -1;
    const int i = child->m_position;
    return i >= 0 && i < Count() && m_children[static_cast<size_t>(i)] == child ? i : -1;
}

void TTreeList::renumberChildren(size_t from)
{
    for (size_t i = from; i < m_children.size(); ++i)
        m_children[i]->m_position = static_cast<int>(i);
}

TTreeList* TTreeList::InsertAt(int i, std::unique_ptr<TTreeList> child)
{
    if (i < 0 || i > Count())
        throw EListError("List index out of bounds (" + std::to_string(i) + ")");
    child->m_parent = this;
    m_children.insert(static_cast<size_t>(i), child.get());
    TTreeList* raw = child.release();
    renumberChildren(static_cast<size_t>(i));
    return raw;
}

TTreeList* TTreeList::Append(std::unique_ptr<TTreeList> child)
{
    return InsertAt(Count(), std::move(child));
}

std::unique_ptr<TTreeList> TTreeList::TakeAt(int i)
{
    std::unique_ptr<TTreeList> out(Child(i));
    m_children.erase(static_cast<size_t>(i));
    renumberChildren(static_cast<size_t>(i));
    out->m_position = -1;
    return out;
}

void TTreeList::DeleteAt(int i)
{
    TakeAt(i).reset();
}

void TTreeList::Clear()
{
    while (!m_children.empty())
        DeleteAt(Count() - 1);
}

std::unique_ptr<TTreeList> TTreeList::CopySubtree(TTreeList* parent, const TTreeList& source)
{
    auto top = std::make_unique<TTreeList>(parent);
    top->SetName(source.Name());
    std::vector<std::pair<const TTreeList*, TTreeList*>> pending{{&source, top.get()}};
    while (!pending.empty()) {
        auto [from, to] = pending.back();
        pending.pop_back();
        for (const TTreeList* child : from->m_children) {
            to->AppendNamed(child->Name());
            pending.emplace_back(child, to->m_children.back());
        }
    }
    return top;
}

TTreeList* TTreeList::AddChild(const std::string& name)
{
    auto node = std::make_unique<TTreeList>(this);
    node->SetName(name);
    TTreeList* raw = Append(std::move(node));
    SetModified(true);
    return raw;
}

TTreeList* TTreeList::AppendNamed(std::string_view name)
{
    auto node = std::make_unique<TTreeList>(this);
    node->SetName(name);
    node->m_position = static_cast<int>(m_children.size());
    m_children.push_back(node.get());
    return node.release();
}

void TTreeList::ForgetLinksOfSubtree()
{
    ForEachNode([](TTreeList* node) { node->m_links.release(); });
}

void TTreeList::Rename(std::string_view name)
{
    if (name == Name())
        return;
    SetName(name);
    SetModified(true);
}

void TTreeList::SetModified(bool flag)
{
    Root()->m_modified = flag;
}

TTreeList* TTreeList::Root()
{
    TTreeList* node = this;
    while (node->m_parent)
        node = node->m_parent;
    return node;
}

const TTreeList* TTreeList::Root() const
{
    const TTreeList* node = this;
    while (node->m_parent)
        node = node->m_parent;
    return node;
}

TTreeList* TTreeList::TreeByIndex(int k) const
{
    return ChildNumbered(k);
}

void TTreeList::throwBadTreeNumber()
{
    throw ELoadInvalid("Bad Tree Number");
}

void TTreeList::throwBadPosition(int component)
{
    throw EListError("List index out of bounds (" +
                     std::to_string(static_cast<long long>(component) - 1) + ")");
}

TTreeList* TTreeList::FindByNumber(std::string_view number)
{
    TTreeList* node = this;
    std::string_view rest = number;
    while (!rest.empty()) {
        const auto dot = rest.find('.');
        int a = -1;
        if (!ParseInt(rest.substr(0, dot), a))
            a = -1;
        node = node->ChildNumbered(a);
        rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
    }
    return node;
}

std::string TTreeList::Number() const
{
    if (!m_parent)
        return "0";
    // Components from the bottom up, then written top down: linear in the number's length
    // however deep the node is.
    std::vector<int> components;
    for (const TTreeList* node = this; node->m_parent; node = node->m_parent)
        components.push_back(node->m_parent->IndexOf(node) + 1);
    std::string text;
    text.reserve(components.size() * 4);
    for (size_t i = components.size(); i-- > 0;) {
        char digits[16];
        text.append(digits, std::to_chars(digits, digits + sizeof digits, components[i]).ptr);
        if (i > 0)
            text += '.';
    }
    return text;
}

std::string TTreeList::LineText() const
{
    std::string text = Number();
    text += ' ';
    text += Name();
    return text;
}

int TTreeList::Level() const
{
    int level = 0;
    for (const TTreeList* node = m_parent; node; node = node->m_parent)
        ++level;
    return level;
}

bool TTreeList::IsDescendantOf(const TTreeList* a) const
{
    for (const TTreeList* node = m_parent; node; node = node->m_parent) {
        if (node == a)
            return true;
    }
    return false;
}

int TTreeList::SubtreeHeight() const
{
    int height = 1;
    const_cast<TTreeList*>(this)->WalkLevels(
        1, 0, [&height](int level, int, TTreeList*) { height = std::max(height, level); });
    return height;
}

int TTreeList::ClassifierIndex() const
{
    if (!m_parent)
        return 0;
    const TTreeList* node = this;
    while (node->m_parent->m_parent)
        node = node->m_parent;
    return node->m_parent->IndexOf(node) + 1;
}

void TTreeList::Link(TTreeList* other)
{
    m_links.push_back(other);
    other->m_links.push_back(this);
}

void TTreeList::Unlink(TTreeList* other)
{
    auto it = std::find(m_links.begin(), m_links.end(), other);
    if (it == m_links.end())
        return;
    m_links.erase(static_cast<size_t>(it - m_links.begin()));
    auto back = std::find(other->m_links.begin(), other->m_links.end(), this);
    if (back != other->m_links.end())
        other->m_links.erase(static_cast<size_t>(back - other->m_links.begin()));
}

bool TTreeList::IsLinkedWith(const TTreeList* other) const
{
    return std::find(m_links.begin(), m_links.end(), other) != m_links.end();
}

bool TTreeList::ToggleLink(TTreeList* other, bool change)
{
    const bool linked = IsLinkedWith(other);
    if (!change)
        return linked;
    SetModified(true);
    if (linked)
        Unlink(other);
    else
        Link(other);
    return !linked;
}

void TTreeList::RestoreLinkAt(int position, TTreeList* other)
{
    const auto at = std::clamp<std::ptrdiff_t>(position, 0, std::ssize(m_links));
    m_links.insert(static_cast<size_t>(at), other);
}

bool TTreeList::FillItemList(int k, ItemList& list, Prompts& prompts)
{
    try {
        TTreeList* tree = Root()->TreeByIndex(k);
        tree->ForEachPreOrder([&list, tree](TTreeList* node, const std::string& number, int) {
            if (node != tree)
                list.push_back({number, node});
        });
        if (list.empty())
            throw EScaleInvalid("Zero List");
        return true;
    } catch (const std::exception&) {
        prompts.Inform(ToCp1251("Не заданы ") + Metamodel().DisplayName(k, ResKind::Classifier) +
                       "!");
        return false;
    }
}

void TTreeList::ForEachPreOrder(const PreOrderVisitor& f)
{
    struct Frame {
        TTreeList* node;
        size_t next;
        size_t prefixLength;
    };
    std::string number = Number();
    f(this, number, 0);
    std::vector<Frame> stack{{this, 0, number.size()}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.node->m_children.size()) {
            stack.pop_back();
            continue;
        }
        const size_t i = top.next++;
        TTreeList* child = top.node->m_children[i];
        number.resize(top.prefixLength);
        // The root's own number "0" is not part of its children's numbers.
        if (top.node->m_parent) {
            number += '.';
        } else {
            number.clear();
        }
        number += std::to_string(i + 1);
        f(child, number, static_cast<int>(stack.size()));
        stack.push_back({child, 0, number.size()});
    }
}

void TTreeList::WalkLevels(int from, int levels, const LevelVisitor& visitor)
{
    if (levels < 0 || from < 1)
        return;
    const int limit = levels > 0 ? from + levels - 1 : 0;
    int count = 0;
    struct Frame {
        TTreeList* node;
        int depth;
    };
    std::vector<Frame> stack{{this, 1}};
    while (!stack.empty()) {
        const Frame frame = stack.back();
        stack.pop_back();
        if (frame.depth >= from) {
            ++count;
            visitor(frame.depth - from + 1, count, frame.node);
        }
        if (limit > 0 && frame.depth >= limit)
            continue;
        for (size_t i = frame.node->m_children.size(); i-- > 0;)
            stack.push_back({frame.node->m_children[i], frame.depth + 1});
    }
}

}  // namespace orm
