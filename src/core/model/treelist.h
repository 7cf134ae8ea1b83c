#pragma once

// A node of a classifier tree. The same class serves for the project root (its name is the
// project name), for each classifier's tree node and for every item below it. A node owns its
// children; links between items of different classifiers are symmetric and non-owning.
//
// A project may hold millions of nodes, so a node is kept small (56 bytes; its name and longer
// lists in blocks of their own) and everything comes from the pool of nodepool.h: reading a
// project, walking it and tearing it down touch few cache lines and rarely call the allocator.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/model/nodevector.h"

namespace orm {

class Prompts;

// A bad tree number or a bad project file. The text is internal, never shown to the user.
class ELoadInvalid : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A classifier without items where items are needed.
class EScaleInvalid : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A position outside a child list (number components 0 or negative).
class EListError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

class TTreeList;

// One entry of an item list: the item's number and the item.
struct ItemListEntry {
    std::string Text;
    TTreeList* Item = nullptr;
};
using ItemList = std::vector<ItemListEntry>;

// Visitors of the report traversals: (relative level or classifier index, running count, node).
using LevelVisitor = std::function<void(int level, int count, TTreeList* node)>;

class TTreeList {
public:
    explicit TTreeList(TTreeList* parent = nullptr);
    // Not virtual: nothing destroys a project root through a plain node pointer.
    ~TTreeList();
    static void* operator new(std::size_t size);
    static void operator delete(void* node, std::size_t size);
    TTreeList(const TTreeList&) = delete;
    TTreeList& operator=(const TTreeList&) = delete;

    // -- the child list (0-based positions, like any list container)
    int Count() const { return static_cast<int>(m_children.size()); }
    TTreeList* Child(int i) const;  // EListError outside 0..Count-1
    // The same without the check, for walks that know i is inside.
    TTreeList* ChildAt(int i) const { return m_children[static_cast<size_t>(i)]; }
    int IndexOf(const TTreeList* child) const;  // -1 when absent
    // Takes ownership of child, sets its Parent; does not set the modified flag.
    TTreeList* InsertAt(int i, std::unique_ptr<TTreeList> child);
    TTreeList* Append(std::unique_ptr<TTreeList> child);
    // Removes the child at i from the list and hands it over (Parent is left as it was).
    std::unique_ptr<TTreeList> TakeAt(int i);
    // Removes and destroys the child at i.
    void DeleteAt(int i);
    void Clear();

    // -- fields
    // Never a null pointer, also for an empty name: callers may hand it to memcpy.
    std::string_view Name() const { return {m_name ? m_name : "", m_nameLength}; }
    void SetName(std::string_view name);
    TTreeList* Parent() const { return m_parent; }
    // The index in the parent's child list, kept by every change of that list; -1 outside one.
    int Position() const { return m_position; }
    void SetParent(TTreeList* parent) { m_parent = parent; }
    std::span<TTreeList* const> Links() const { return m_links.view(); }

    // -- construction and change
    // A copy of source (name and subtree, no links) whose Parent is parent; not yet in its list.
    static std::unique_ptr<TTreeList> CopySubtree(TTreeList* parent, const TTreeList& source);
    TTreeList* AddChild(const std::string& name);
    // Appends a child without marking the project modified (the file reader's fast path).
    TTreeList* AppendNamed(std::string_view name);
    void Rename(std::string_view name);
    void SetModified(bool flag);
    bool ModifiedFlag() const { return Root()->m_modified != 0; }

    // -- navigation and queries
    TTreeList* Root();
    const TTreeList* Root() const;
    TTreeList* TreeByIndex(int k) const;
    // The node a dotted number names below this one; a trailing dot is ignored ("1.1." is 1.1).
    // ELoadInvalid for a component above the child count, EListError for one below 1.
    TTreeList* FindByNumber(std::string_view number);
    // The 0-based position a number component (1-based) names; EListError below 1.
    static int PositionOf(int component)
    {
        // Subtracting 1 from INT_MIN would overflow: every component below 1 is one error.
        if (component < 1)
            throwBadPosition(component);
        return component - 1;
    }
    // The child a number component names: ELoadInvalid above the child count, EListError
    // below 1.
    TTreeList* ChildNumbered(int component) const
    {
        if (component > Count())
            throwBadTreeNumber();
        return ChildAt(PositionOf(component));
    }
    std::string Number() const;
    std::string LineText() const;
    int Level() const;
    bool IsDescendantOf(const TTreeList* a) const;
    bool HasChildrenOrLinks() const { return !m_children.empty() || !m_links.empty(); }
    int SubtreeHeight() const;
    // The classifier index of a node below the root (first number component); 0 on the root.
    int ClassifierIndex() const;

    // -- links
    void Link(TTreeList* other);
    void Unlink(TTreeList* other);
    bool IsLinkedWith(const TTreeList* other) const;
    bool ToggleLink(TTreeList* other, bool change);
    // One side of links exactly as it was, for undoing a delete or an unbinding: the whole
    // list, or one entry at its old position. The other side is the caller's to restore.
    void RestoreLinkList(const std::vector<TTreeList*>& links) { m_links.assign(links); }
    void RestoreLinkAt(int position, TTreeList* other);

    // -- lists and views
    // Items of classifier k (pre-order, numbers as texts). False, with "Не заданы <name>!"
    // shown, when the classifier has no items or k addresses no tree.
    bool FillItemList(int k, ItemList& list, Prompts& prompts);

    // -- traversals
    // Calls visitor(level, count, node) in pre-order for the nodes from level `from` (this node
    // is level 1) down `levels` levels (0: all), count numbering the visits from 1.
    void WalkLevels(int from, int levels, const LevelVisitor& visitor);

    // Calls f(node, number, depth) for this node (depth 0) and every node below it in
    // pre-order; numbers are built incrementally, so the walk is linear in the subtree's size.
    using PreOrderVisitor = std::function<void(TTreeList*, const std::string&, int depth)>;
    void ForEachPreOrder(const PreOrderVisitor& f);
    // Calls f(node) for this node and every node below it in pre-order.
    template <typename F>
    void ForEachNode(F&& f)
    {
        std::vector<std::pair<TTreeList*, size_t>> stack{{this, 0}};
        f(this);
        while (!stack.empty()) {
            auto& [node, next] = stack.back();
            if (next == node->m_children.size()) {
                stack.pop_back();
                continue;
            }
            TTreeList* child = node->m_children[next++];
            f(child);
            stack.emplace_back(child, 0);
        }
    }

protected:
    // Drops every link of this node and of its subtree without searching the partners' lists;
    // only for a whole project going away, where every partner goes too.
    void ForgetLinksOfSubtree();

private:
    [[noreturn]] static void throwBadPosition(int component);
    [[noreturn]] static void throwBadTreeNumber();
    void renumberChildren(size_t from);

    // The parent and the position first, together in one cache line for most nodes: walks up
    // to the root (numbers, a view's parent look-ups) read just these of every ancestor.
    TTreeList* m_parent = nullptr;
    int m_position = -1;  // index in the parent's child list
    uint32_t m_nameLength : 30 = 0;
    uint32_t m_modified : 1 = 0;   // meaningful on the root only
    uint32_t m_isProject : 1 = 0;  // the root of a TMainTreeList
    NodeVector<TTreeList*> m_children;  // owned
    NodeVector<TTreeList*> m_links;
    char* m_name = nullptr;  // m_nameLength bytes, no terminator
    friend class TMainTreeList;
};

}  // namespace orm
