#pragma once

// Every change of the main project's trees and bindings goes through these operations, whatever
// window asks for it. Each marks the project modified; the window that asked then updates its
// own rows and tells the main window, which keeps the other windows in step.

#include <string>

namespace orm {

class Prompts;
class TTreeList;

namespace ProjectEdits {

// Appends a new item named name as the last child of parent.
TTreeList* AddItem(TTreeList* parent, const std::string& name);
// Renames item when name differs (letter case counts); true when it changed.
bool RenameItem(TTreeList* item, const std::string& name);
// Removes item with its subtree from its parent and destroys it with all its links.
void DeleteItem(TTreeList* item);
// Moves item next to target: just after it when after is true, else just before it. Works
// across parents (the item's parent becomes target's parent). Nothing happens for the same node,
// when target lies inside item's own subtree, or when the item is there already; true when it
// moved.
bool MoveItem(TTreeList* item, TTreeList* target, bool after);
// Moves item to position index (0-based, counted without the item) of parent's children; true
// when it moved.
bool MoveItemTo(TTreeList* item, TTreeList* parent, int index);
// Appends a copy of source with its subtree (names only, no links) as the last child of
// parent. The copy is made before it is inserted, so parent may lie inside source's subtree.
TTreeList* CopyItemUnder(const TTreeList& source, TTreeList* parent);
// Binds or unbinds two items; returns whether they are bound afterwards.
bool ToggleBinding(TTreeList* a, TTreeList* b);
// Edits made between these two are one step for undo and redo, named text (Windows-1251).
void BeginBatch(TTreeList* anyNode, const std::string& text);
void EndBatch(TTreeList* anyNode);

}  // namespace ProjectEdits

// The one-line input of a name: shows the input dialog with caption and text; true, with text
// replaced, only when the user confirmed a text that is not empty and differs from the initial
// one (exact comparison, letter case counts).
bool InputItemText(Prompts& prompts, std::string& text, const std::string& caption);

}  // namespace orm
