#pragma once

// The undo history of a project. The core has no Qt, so this is a small stack of steps of its
// own rather than QUndoStack. A step names items by their paths of child positions from the
// project root, never by pointers: undo and redo run strictly in order, so every path is valid
// in the state the step meets, and nothing held here can dangle after a delete and a restore.
// A step keeps only what it changed (a name, a position, a deleted subtree), so a long history
// of a large project stays small.

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orm {

class TTreeList;

using NodePath = std::vector<int>;
NodePath PathOf(const TTreeList* node);
// The node a path names below root, or nullptr.
TTreeList* NodeAt(TTreeList& root, const NodePath& path);

// What a step changed, for the windows to follow.
struct EditEffect {
    enum Kind { Structure, Names, Bindings, ProjectName };
    Kind What = Structure;
    std::vector<int> Classifiers;  // the classifiers whose items changed
    NodePath Focus;                // the item to select afterwards; empty for none
};

// How undoing or redoing a step will change the shape of a tree, told before it runs, so that
// the views can announce the change around it row by row. Paths are valid in the state the step
// meets.
struct EditShape {
    // Reset: many rows of classifier Parent change at once; the view takes them again.
    enum Kind { None, Insert, Remove, Move, Reset };
    Kind What = None;
    NodePath Parent;    // Insert: the new child's parent; Remove, Move: the node's parent now
    int Index = -1;     // Insert: the new child's position; Remove, Move: the node's position now
    NodePath ToParent;  // Move: the new parent
    int ToIndex = -1;   // Move: the node goes in front of the child now at ToIndex (or last)
};

class EditStep {
public:
    explicit EditStep(std::string text) : m_text(std::move(text)) {}
    virtual ~EditStep() = default;
    // What the user did, Windows-1251 ("удаление «1.3 Опт»").
    const std::string& Text() const { return m_text; }
    virtual EditEffect Undo(TTreeList& root) = 0;
    virtual EditEffect Redo(TTreeList& root) = 0;
    // root: the project in the state the step meets.
    virtual EditShape Shape(const TTreeList& root, bool undo) const
    {
        (void)root;
        (void)undo;
        return {};
    }
    // The rows of a subtree that a view showed expanded when the step took the subtree away, as
    // pre-order positions inside it; the view opens them again when the step brings it back.
    std::vector<int>& ExpandedRows() { return m_expanded; }
    // Bytes this step holds, roughly.
    virtual size_t Footprint() const
    {
        return sizeof(*this) + m_text.capacity() + m_expanded.capacity() * sizeof(int);
    }

private:
    std::string m_text;
    std::vector<int> m_expanded;
};

class BatchStep;

class EditHistory {
public:
    static constexpr size_t kMaxSteps = 1000;

    EditHistory();
    ~EditHistory();

    // Records a step that has just been done; the steps undone before it are dropped.
    void Push(std::unique_ptr<EditStep> step);
    // Between these two, the steps pushed become one step named text (Windows-1251), undone
    // and redone as a whole: one user action made of many edits. Nothing pushed, no step.
    void BeginBatch(std::string text);
    void EndBatch();
    bool CanUndo() const { return m_done > 0; }
    bool CanRedo() const { return m_done < m_steps.size(); }
    // Texts of the step Undo and Redo would take; empty when there is none.
    std::string UndoText() const;
    std::string RedoText() const;
    std::optional<EditEffect> Undo(TTreeList& root);
    std::optional<EditEffect> Redo(TTreeList& root);
    // The step Undo (undo true) or Redo would take next; nullptr when there is none.
    EditStep* Next(bool undo) const;
    // The step done last, for the view that made it to leave a note on it.
    EditStep* Last() const { return m_done > 0 ? m_steps[m_done - 1].get() : nullptr; }

    // Forgets every step; the empty history is the clean state.
    void Clear();
    // The state now is the saved one.
    void SetClean();
    bool IsClean() const { return m_clean == m_done; }
    size_t Size() const { return m_steps.size(); }
    // The steps done (the rest, up to Size, are undone).
    size_t Done() const { return m_done; }
    size_t Footprint() const;

    // Told after every change of the history (push, undo, redo, clear, clean point).
    void SetWatcher(std::function<void()> watcher) { m_watcher = std::move(watcher); }

private:
    void changed() const
    {
        if (m_watcher)
            m_watcher();
    }

    std::deque<std::unique_ptr<EditStep>> m_steps;
    std::unique_ptr<BatchStep> m_batch;
    size_t m_done = 0;                  // steps [0, m_done) are done
    std::optional<size_t> m_clean = 0;  // none once the saved state cannot come back
    std::function<void()> m_watcher;
};

}  // namespace orm
