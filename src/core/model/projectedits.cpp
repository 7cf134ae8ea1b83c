#include "core/model/projectedits.h"

#include <algorithm>

#include "core/model/prompts.h"
#include "core/model/treelist.h"

namespace orm {

namespace ProjectEdits {

TTreeList* AddItem(TTreeList* parent, const std::string& name)
{
    return parent->AddChild(name);
}

bool RenameItem(TTreeList* item, const std::string& name)
{
    if (item->Name() == name)
        return false;
    item->Rename(name);
    return true;
}

void DeleteItem(TTreeList* item)
{
    TTreeList* parent = item->Parent();
    if (!parent)
        return;
    TTreeList* root = item->Root();
    parent->DeleteAt(parent->IndexOf(item));
    root->SetModified(true);
}

void MoveItem(TTreeList* item, TTreeList* target, bool after)
{
    if (item == target || !item->Parent() || !target->Parent() || target->IsDescendantOf(item))
        return;
    TTreeList* from = item->Parent();
    TTreeList* to = target->Parent();
    auto node = from->TakeAt(from->IndexOf(item));
    const int at = to->IndexOf(target) + (after ? 1 : 0);
    to->InsertAt(at, std::move(node));
    to->SetModified(true);
}

void MoveItemTo(TTreeList* item, TTreeList* parent, int index)
{
    if (!item->Parent() || item == parent || parent->IsDescendantOf(item))
        return;
    TTreeList* from = item->Parent();
    auto node = from->TakeAt(from->IndexOf(item));
    parent->InsertAt(std::clamp(index, 0, parent->Count()), std::move(node));
    parent->SetModified(true);
}

TTreeList* CopyItemUnder(const TTreeList& source, TTreeList* parent)
{
    TTreeList* copy = parent->Append(TTreeList::CopySubtree(parent, source));
    parent->SetModified(true);
    return copy;
}

bool ToggleBinding(TTreeList* a, TTreeList* b)
{
    return a->ToggleLink(b, true);
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
