#include "core/model/projectedits.h"

#include <algorithm>
#include <unordered_map>

#include "core/model/edithistory.h"
#include "core/model/project.h"
#include "core/model/treelist.h"
#include "core/prompts/prompts.h"
#include "core/text/cp1251.h"

namespace orm {

namespace {

std::string text(const char* utf8)
{
    return ToCp1251(utf8);
}

// "<what> «<number> <name>»"
std::string about(const char* what, const TTreeList* item)
{
    return text(what) + text(" «") + item->LineText() + text("»");
}

int classifierOf(const NodePath& path)
{
    return path.empty() ? 0 : path.front() + 1;
}

NodePath childPath(NodePath parent, int index)
{
    parent.push_back(index);
    return parent;
}

EditHistory* historyOf(TTreeList* node)
{
    TMainTreeList* project = TMainTreeList::Of(node);
    return project ? &project->History() : nullptr;
}

void record(TTreeList* node, std::unique_ptr<EditStep> step)
{
    if (EditHistory* history = historyOf(node))
        history->Push(std::move(step));
}

// Names and shape of a subtree in pre-order; links are not part of it.
struct Subtree {
    std::vector<std::pair<int, std::string>> nodes;  // depth, name

    static Subtree Of(TTreeList& top)
    {
        Subtree tree;
        top.ForEachPreOrder([&tree](TTreeList* node, const std::string&, int depth) {
            tree.nodes.emplace_back(depth, node->Name());
        });
        return tree;
    }

    // The subtree made again under parent (not yet in its list); made receives every node in
    // pre-order.
    std::unique_ptr<TTreeList> Build(TTreeList* parent, std::vector<TTreeList*>& made) const
    {
        auto top = std::make_unique<TTreeList>(parent);
        std::vector<TTreeList*> open;
        for (const auto& [depth, name] : nodes) {
            TTreeList* node = nullptr;
            if (depth == 0) {
                node = top.get();
            } else {
                open.resize(static_cast<size_t>(depth));
                node = open.back()->Append(std::make_unique<TTreeList>(open.back()));
            }
            node->SetName(name);
            made.push_back(node);
            open.push_back(node);
        }
        return top;
    }

    size_t Footprint() const
    {
        size_t bytes = nodes.capacity() * sizeof(nodes[0]);
        for (const auto& node : nodes)
            bytes += node.second.capacity();
        return bytes;
    }
};

size_t footprint(const NodePath& path)
{
    return path.capacity() * sizeof(int);
}

class RenameStep : public EditStep {
public:
    RenameStep(const TTreeList* item, std::string before)
        : EditStep(about("переименование", item)),
          m_path(PathOf(item)),
          m_before(std::move(before)),
          m_after(item->Name())
    {
    }
    EditEffect Undo(TTreeList& root) override { return set(root, m_before); }
    EditEffect Redo(TTreeList& root) override { return set(root, m_after); }
    size_t Footprint() const override
    {
        return EditStep::Footprint() + footprint(m_path) + m_before.capacity() +
               m_after.capacity();
    }

private:
    EditEffect set(TTreeList& root, const std::string& name)
    {
        NodeAt(root, m_path)->SetName(name);
        return {EditEffect::Names, {classifierOf(m_path)}, m_path};
    }
    NodePath m_path;
    std::string m_before;
    std::string m_after;
};

// A deleted subtree with every link of its nodes, restored in place and in order: each node's
// own link list as it was, and its entry at its old position in every partner's list.
class DeleteStep : public EditStep {
public:
    // Taken just before item goes; Resolve() finishes it once item is gone.
    explicit DeleteStep(TTreeList* item)
        : EditStep(about("удаление", item)),
          m_parent(PathOf(item->Parent())),
          m_index(item->Parent()->IndexOf(item)),
          m_tree(Subtree::Of(*item))
    {
        std::unordered_map<const TTreeList*, int> inside;
        std::vector<TTreeList*> partners;
        item->ForEachNode([&inside](TTreeList* node) {
            const int at = static_cast<int>(inside.size());
            inside.emplace(node, at);
        });
        m_links.resize(inside.size());
        item->ForEachNode([&](TTreeList* node) {
            auto& refs = m_links[static_cast<size_t>(inside.at(node))];
            for (TTreeList* other : node->Links()) {
                const auto it = inside.find(other);
                if (it != inside.end()) {
                    refs.push_back({it->second, {}});
                } else {
                    refs.push_back({-1, {}});
                    m_pending.push_back(other);
                    partners.push_back(other);
                }
            }
        });
        std::sort(partners.begin(), partners.end());
        partners.erase(std::unique(partners.begin(), partners.end()), partners.end());
        for (TTreeList* partner : partners) {
            const auto& links = partner->Links();
            for (size_t i = 0; i < links.size(); ++i) {
                const auto it = inside.find(links[i]);
                if (it != inside.end()) {
                    m_backs.push_back({{}, static_cast<int>(i), it->second});
                    m_backPartners.push_back(partner);
                }
            }
        }
    }

    // The partners' paths, in the state after the delete where undo will meet them.
    void Resolve()
    {
        size_t next = 0;
        for (auto& refs : m_links) {
            for (Ref& ref : refs) {
                if (ref.internal < 0)
                    ref.external = PathOf(m_pending[next++]);
            }
        }
        for (size_t i = 0; i < m_backs.size(); ++i)
            m_backs[i].partner = PathOf(m_backPartners[i]);
        // Entries go back in ascending order of their old positions, each partner's list
        // thereby growing into its old order.
        std::stable_sort(m_backs.begin(), m_backs.end(),
                         [](const Back& a, const Back& b) { return a.position < b.position; });
        m_pending.clear();
        m_pending.shrink_to_fit();
        m_backPartners.clear();
        m_backPartners.shrink_to_fit();
    }

    EditShape Shape(const TTreeList&, bool undo) const override
    {
        return {undo ? EditShape::Insert : EditShape::Remove, m_parent, m_index, {}, -1};
    }

    EditEffect Undo(TTreeList& root) override
    {
        // The partners are found while the tree is as the delete left it, where their paths
        // were taken: the subtree coming back shifts the paths of its later siblings.
        std::vector<std::vector<TTreeList*>> links(m_links.size());
        for (size_t i = 0; i < m_links.size(); ++i) {
            links[i].reserve(m_links[i].size());
            for (const Ref& ref : m_links[i])
                links[i].push_back(ref.internal >= 0 ? nullptr : NodeAt(root, ref.external));
        }
        std::vector<TTreeList*> partners;
        partners.reserve(m_backs.size());
        for (const Back& back : m_backs)
            partners.push_back(NodeAt(root, back.partner));

        TTreeList* parent = NodeAt(root, m_parent);
        std::vector<TTreeList*> made;
        made.reserve(m_tree.nodes.size());
        parent->InsertAt(m_index, m_tree.Build(parent, made));
        for (size_t i = 0; i < made.size(); ++i) {
            for (size_t j = 0; j < links[i].size(); ++j) {
                if (const int inside = m_links[i][j].internal; inside >= 0)
                    links[i][j] = made[static_cast<size_t>(inside)];
            }
            made[i]->RestoreLinkList(std::move(links[i]));
        }
        for (size_t i = 0; i < m_backs.size(); ++i)
            partners[i]->RestoreLinkAt(m_backs[i].position,
                                       made[static_cast<size_t>(m_backs[i].node)]);
        return {EditEffect::Structure, {classifierOf(m_parent)}, childPath(m_parent, m_index)};
    }

    EditEffect Redo(TTreeList& root) override
    {
        TTreeList* parent = NodeAt(root, m_parent);
        parent->DeleteAt(m_index);
        // The row that takes the deleted row's place.
        NodePath focus = m_parent;
        if (m_index < parent->Count())
            focus.push_back(m_index);
        else if (m_index > 0)
            focus.push_back(m_index - 1);
        return {EditEffect::Structure, {classifierOf(m_parent)}, focus};
    }

    size_t Footprint() const override
    {
        size_t bytes = EditStep::Footprint() + footprint(m_parent) + m_tree.Footprint();
        for (const auto& refs : m_links) {
            bytes += sizeof(refs) + refs.capacity() * sizeof(Ref);
            for (const Ref& ref : refs)
                bytes += footprint(ref.external);
        }
        for (const Back& back : m_backs)
            bytes += sizeof(back) + footprint(back.partner);
        return bytes;
    }

private:
    struct Ref {
        int internal;       // pre-order index in the subtree, or -1
        NodePath external;  // a partner outside it
    };
    struct Back {
        NodePath partner;
        int position;  // of the subtree node's entry in the partner's list
        int node;
    };
    NodePath m_parent;
    int m_index;
    Subtree m_tree;
    std::vector<std::vector<Ref>> m_links;
    std::vector<Back> m_backs;
    std::vector<TTreeList*> m_pending;       // until Resolve: external refs in order
    std::vector<TTreeList*> m_backPartners;  // until Resolve: the partner of each back entry
};

class MoveStep : public EditStep {
public:
    // from: parent path and index before the move, taken before it.
    MoveStep(const TTreeList* item, NodePath fromParent, int fromIndex)
        : EditStep(about("перемещение", item)),
          m_from(std::move(fromParent)),
          m_fromIndex(fromIndex),
          m_to(PathOf(item->Parent())),
          m_toIndex(item->Parent()->IndexOf(item))
    {
    }
    // Either way the node is taken out first: neither parent's path runs through it.
    EditEffect Undo(TTreeList& root) override { return move(root, m_to, m_toIndex, m_from, m_fromIndex); }
    EditEffect Redo(TTreeList& root) override { return move(root, m_from, m_fromIndex, m_to, m_toIndex); }
    EditShape Shape(const TTreeList&, bool undo) const override
    {
        const NodePath& from = undo ? m_to : m_from;
        const int fromIndex = undo ? m_toIndex : m_fromIndex;
        NodePath to = undo ? m_from : m_to;
        int toIndex = undo ? m_fromIndex : m_toIndex;
        // The new place is known in the tree without the node; told as it is with the node
        // still in its old place, where its later siblings sit one further on.
        const size_t depth = from.size();
        if (to.size() > depth && std::equal(from.begin(), from.end(), to.begin()) &&
            to[depth] >= fromIndex)
            ++to[depth];
        if (to == from && toIndex >= fromIndex)
            ++toIndex;
        return {EditShape::Move, from, fromIndex, std::move(to), toIndex};
    }
    size_t Footprint() const override
    {
        return EditStep::Footprint() + footprint(m_from) + footprint(m_to);
    }

private:
    static EditEffect move(TTreeList& root, const NodePath& fromParent, int fromIndex,
                           const NodePath& toParent, int toIndex)
    {
        auto node = NodeAt(root, fromParent)->TakeAt(fromIndex);
        NodeAt(root, toParent)->InsertAt(toIndex, std::move(node));
        return {EditEffect::Structure, {classifierOf(toParent)}, childPath(toParent, toIndex)};
    }
    NodePath m_from;
    int m_fromIndex;
    NodePath m_to;
    int m_toIndex;
};

// A new item or a copied subtree, appended as the last child of its parent.
class AppendStep : public EditStep {
public:
    AppendStep(const char* what, TTreeList* item)
        : EditStep(about(what, item)), m_parent(PathOf(item->Parent())), m_tree(Subtree::Of(*item))
    {
    }
    EditShape Shape(const TTreeList& root, bool undo) const override
    {
        const TTreeList* parent = NodeAt(const_cast<TTreeList&>(root), m_parent);
        const int count = parent ? parent->Count() : 0;
        return {undo ? EditShape::Remove : EditShape::Insert, m_parent, undo ? count - 1 : count,
                {}, -1};
    }
    EditEffect Undo(TTreeList& root) override
    {
        TTreeList* parent = NodeAt(root, m_parent);
        parent->DeleteAt(parent->Count() - 1);
        return {EditEffect::Structure, {classifierOf(m_parent)}, m_parent};
    }
    EditEffect Redo(TTreeList& root) override
    {
        TTreeList* parent = NodeAt(root, m_parent);
        std::vector<TTreeList*> made;
        parent->Append(m_tree.Build(parent, made));
        return {EditEffect::Structure, {classifierOf(m_parent)},
                childPath(m_parent, parent->Count() - 1)};
    }
    size_t Footprint() const override
    {
        return EditStep::Footprint() + footprint(m_parent) + m_tree.Footprint();
    }

private:
    NodePath m_parent;
    Subtree m_tree;
};

// A binding made or removed; a removed one comes back at its old place in both lists.
class BindStep : public EditStep {
public:
    BindStep(const TTreeList* a, const TTreeList* b, bool bound, int positionInA, int positionInB)
        : EditStep(text(bound ? "связь " : "удаление связи ") + a->Number() + text(" — ") +
                   b->Number()),
          m_a(PathOf(a)),
          m_b(PathOf(b)),
          m_bound(bound),
          m_positionInA(positionInA),
          m_positionInB(positionInB)
    {
    }
    EditEffect Undo(TTreeList& root) override { return set(root, !m_bound); }
    EditEffect Redo(TTreeList& root) override { return set(root, m_bound); }
    size_t Footprint() const override
    {
        return EditStep::Footprint() + footprint(m_a) + footprint(m_b);
    }

private:
    EditEffect set(TTreeList& root, bool bound)
    {
        TTreeList* a = NodeAt(root, m_a);
        TTreeList* b = NodeAt(root, m_b);
        if (!bound) {
            a->Unlink(b);
        } else if (m_bound) {
            a->Link(b);  // made at the end of both lists, as it was made
        } else {
            a->RestoreLinkAt(m_positionInA, b);
            b->RestoreLinkAt(m_positionInB, a);
        }
        return {EditEffect::Bindings, {classifierOf(m_a), classifierOf(m_b)}, {}};
    }
    NodePath m_a;
    NodePath m_b;
    bool m_bound;  // after the edit
    int m_positionInA;
    int m_positionInB;
};

int positionOf(const TTreeList* in, const TTreeList* other)
{
    const auto& links = in->Links();
    return static_cast<int>(std::find(links.begin(), links.end(), other) - links.begin());
}

}  // namespace

namespace ProjectEdits {

TTreeList* AddItem(TTreeList* parent, const std::string& name)
{
    TTreeList* item = parent->AddChild(name);
    record(item, std::make_unique<AppendStep>("добавление", item));
    return item;
}

bool RenameItem(TTreeList* item, const std::string& name)
{
    if (item->Name() == name)
        return false;
    std::string before(item->Name());
    item->Rename(name);
    record(item, std::make_unique<RenameStep>(item, std::move(before)));
    return true;
}

void DeleteItem(TTreeList* item)
{
    TTreeList* parent = item->Parent();
    if (!parent)
        return;
    TTreeList* root = item->Root();
    auto step = historyOf(item) ? std::make_unique<DeleteStep>(item) : nullptr;
    parent->DeleteAt(parent->IndexOf(item));
    root->SetModified(true);
    if (step) {
        step->Resolve();
        record(root, std::move(step));
    }
}

bool MoveItem(TTreeList* item, TTreeList* target, bool after)
{
    if (item == target || !item->Parent() || !target->Parent() || target->IsDescendantOf(item))
        return false;
    TTreeList* to = target->Parent();
    const int fromIndex = item->Parent()->IndexOf(item);
    int at = to->IndexOf(target) + (after ? 1 : 0);
    if (to == item->Parent() && at > fromIndex)
        --at;  // counted without the item itself
    return MoveItemTo(item, to, at);
}

bool MoveItemTo(TTreeList* item, TTreeList* parent, int index)
{
    if (!item->Parent() || item == parent || parent->IsDescendantOf(item))
        return false;
    TTreeList* from = item->Parent();
    const int fromIndex = from->IndexOf(item);
    const int at = std::clamp(index, 0, parent->Count() - (parent == from ? 1 : 0));
    if (parent == from && at == fromIndex)
        return false;  // already there: no change, no step
    const NodePath fromPath = PathOf(from);
    auto node = from->TakeAt(fromIndex);
    parent->InsertAt(at, std::move(node));
    parent->SetModified(true);
    record(item, std::make_unique<MoveStep>(item, fromPath, fromIndex));
    return true;
}

TTreeList* CopyItemUnder(const TTreeList& source, TTreeList* parent)
{
    TTreeList* copy = parent->Append(TTreeList::CopySubtree(parent, source));
    parent->SetModified(true);
    if (historyOf(copy))
        record(copy, std::make_unique<AppendStep>("копирование", copy));
    return copy;
}

void BeginBatch(TTreeList* anyNode, const std::string& text)
{
    if (EditHistory* history = historyOf(anyNode))
        history->BeginBatch(text);
}

void EndBatch(TTreeList* anyNode)
{
    if (EditHistory* history = historyOf(anyNode))
        history->EndBatch();
}

bool ToggleBinding(TTreeList* a, TTreeList* b)
{
    const int inA = positionOf(a, b);
    const int inB = positionOf(b, a);
    const bool bound = a->ToggleLink(b, true);
    record(a, std::make_unique<BindStep>(a, b, bound, inA, inB));
    return bound;
}

}  // namespace ProjectEdits

bool InputItemText(Prompts& prompts, std::string& text, const std::string& caption)
{
    const auto typed = prompts.InputText(caption, text);
    if (!typed || typed->empty() || *typed == text)
        return false;
    text = *typed;
    return true;
}

}  // namespace orm
