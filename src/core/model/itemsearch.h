#pragma once

// Finding items by text: a part of the number or of the name, letter case ignored (Latin and
// Cyrillic), over every classifier or one.

#include <string>

namespace orm {

class TTreeList;

// The next item after `from` in the order of the classifiers and their pre-order (the one
// before it when backwards) that matches text, going round past the end; classifier k only, or
// every one for 0. Starts at the first (last) item when from is nullptr or a tree node of
// another classifier; nullptr when nothing matches.
TTreeList* FindItem(TTreeList& root, const std::string& text, int k, const TTreeList* from,
                    bool backwards);

}  // namespace orm
