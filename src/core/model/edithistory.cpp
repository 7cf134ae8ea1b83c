#include "core/model/edithistory.h"

#include <algorithm>

#include "core/model/treelist.h"

namespace orm {

NodePath PathOf(const TTreeList* node)
{
    NodePath path;
    for (; node && node->Parent(); node = node->Parent())
        path.push_back(node->Parent()->IndexOf(node));
    std::reverse(path.begin(), path.end());
    return path;
}

TTreeList* NodeAt(TTreeList& root, const NodePath& path)
{
    TTreeList* node = &root;
    for (int i : path) {
        if (i < 0 || i >= node->Count())
            return nullptr;
        node = node->Child(i);
    }
    return node;
}

void EditHistory::Push(std::unique_ptr<EditStep> step)
{
    if (m_clean && *m_clean > m_done)
        m_clean.reset();  // the saved state was among the steps undone
    m_steps.resize(m_done);
    m_steps.push_back(std::move(step));
    ++m_done;
    if (m_steps.size() > kMaxSteps) {
        m_steps.pop_front();
        --m_done;
        if (m_clean)
            m_clean = *m_clean == 0 ? std::nullopt : std::optional<size_t>(*m_clean - 1);
    }
    changed();
}

std::string EditHistory::UndoText() const
{
    return CanUndo() ? m_steps[m_done - 1]->Text() : std::string();
}

std::string EditHistory::RedoText() const
{
    return CanRedo() ? m_steps[m_done]->Text() : std::string();
}

std::optional<EditEffect> EditHistory::Undo(TTreeList& root)
{
    if (!CanUndo())
        return std::nullopt;
    --m_done;
    EditEffect effect = m_steps[m_done]->Undo(root);
    changed();
    return effect;
}

std::optional<EditEffect> EditHistory::Redo(TTreeList& root)
{
    if (!CanRedo())
        return std::nullopt;
    EditEffect effect = m_steps[m_done]->Redo(root);
    ++m_done;
    changed();
    return effect;
}

EditStep* EditHistory::Next(bool undo) const
{
    if (undo)
        return CanUndo() ? m_steps[m_done - 1].get() : nullptr;
    return CanRedo() ? m_steps[m_done].get() : nullptr;
}

void EditHistory::Clear()
{
    m_steps.clear();
    m_done = 0;
    m_clean = 0;
    changed();
}

void EditHistory::SetClean()
{
    m_clean = m_done;
    changed();
}

size_t EditHistory::Footprint() const
{
    size_t bytes = sizeof(*this);
    for (const auto& step : m_steps)
        bytes += step->Footprint();
    return bytes;
}

}  // namespace orm
