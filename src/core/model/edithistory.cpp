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

// Steps done one after the other as one: undone last first.
class BatchStep : public EditStep {
public:
    using EditStep::EditStep;
    std::vector<std::unique_ptr<EditStep>> Steps;

    EditEffect Undo(TTreeList& root) override
    {
        EditEffect all;
        for (auto it = Steps.rbegin(); it != Steps.rend(); ++it)
            merge(all, (*it)->Undo(root), it == Steps.rbegin());
        return all;
    }
    EditEffect Redo(TTreeList& root) override
    {
        EditEffect all;
        for (auto it = Steps.begin(); it != Steps.end(); ++it)
            merge(all, (*it)->Redo(root), it == Steps.begin());
        return all;
    }
    EditShape Shape(const TTreeList& root, bool undo) const override
    {
        // The step that runs first is the one whose shape the tree as it is now can tell.
        const EditStep& first = undo ? *Steps.back() : *Steps.front();
        EditShape shape = first.Shape(root, undo);
        if (shape.What == EditShape::None || shape.Parent.empty())
            return {};
        return {EditShape::Reset, {shape.Parent.front()}, -1, {}, -1};
    }
    size_t Footprint() const override
    {
        size_t bytes = EditStep::Footprint();
        for (const auto& step : Steps)
            bytes += step->Footprint();
        return bytes;
    }

private:
    // The effect of the whole: the first step's kind and item, every step's classifiers.
    static void merge(EditEffect& all, EditEffect one, bool first)
    {
        if (first) {
            all.What = one.What;
            all.Focus = std::move(one.Focus);
        }
        for (int k : one.Classifiers) {
            if (std::find(all.Classifiers.begin(), all.Classifiers.end(), k) ==
                all.Classifiers.end())
                all.Classifiers.push_back(k);
        }
    }
};

EditHistory::EditHistory() = default;
EditHistory::~EditHistory() = default;

void EditHistory::BeginBatch(std::string text)
{
    m_batch = std::make_unique<BatchStep>(std::move(text));
}

void EditHistory::EndBatch()
{
    std::unique_ptr<BatchStep> batch = std::move(m_batch);
    if (batch && !batch->Steps.empty())
        Push(std::move(batch));
}

void EditHistory::Push(std::unique_ptr<EditStep> step)
{
    if (m_batch) {
        m_batch->Steps.push_back(std::move(step));
        return;
    }
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
