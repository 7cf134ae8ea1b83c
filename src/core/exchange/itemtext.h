#pragma once

// Items as plain text, the way spreadsheets and text editors hold an outline: one item per line,
// its depth given by leading tabs (an outline laid out across columns) or by a dotted number in
// front of its name ("1.2.3 Name", "1.2.3. Name"). Read to add items under an item; written
// from a subtree so that a spreadsheet lays it out and a paste brings it back.

#include <string>
#include <string_view>
#include <vector>

namespace orm {

class TTreeList;

struct TextItem {
    int Depth = 0;     // 0: a child of the item they are added under, 1: its grandchild, ...
    std::string Name;  // Windows-1251, trimmed
};

struct ItemTextRead {
    std::vector<TextItem> Items;
    // Windows-1251, naming the line; empty when the text was read whole. Nothing is read then.
    std::string Error;
};

// Text in UTF-8 (with or without its byte-order mark) or Windows-1251, told apart by whether
// it is valid UTF-8. Blank lines are skipped; the first line sets the base depth, and no line
// may go more than one level deeper than the line before it or above the base; a name may hold
// at most 255 characters.
ItemTextRead ReadItemText(std::string_view bytes);

// Adds items under parent, as one step for undo and redo; returns how many were added.
int AddTextItems(TTreeList* parent, const std::vector<TextItem>& items);
// What a paste under parent will add, for the question before it (Windows-1251): how many
// items at which depths, and the first lines numbered as they will be.
std::string TextItemsPreview(TTreeList& parent, const std::vector<TextItem>& items);

// top and its subtree, one line per item: tabs by depth below top, the item's number, a blank,
// its name; lines end with CR LF. Windows-1251.
std::string WriteItemText(TTreeList& top);

// Bytes of a file or the clipboard as Windows-1251: UTF-8 (its byte-order mark dropped) when
// valid UTF-8, else taken as Windows-1251 already.
std::string TextToCp1251(std::string_view bytes);

}  // namespace orm
