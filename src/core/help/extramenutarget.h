#pragma once

// Extra menu entries from the settings file, without widgets: the sections EXTRAMENU1, 2, ...
// and the walk that turns a POSITION ("2.1.1") into a place in a menu tree.
//
// A section's keys: NAME (the caption; empty ends the list), POSITION (dotted 1-based numbers:
// all but the last walk down from the menu bar, the last is the place the new item takes in the
// menu reached), FILE, PARAM and CATALOG (what to start, with what, and where).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orm {

class TProfile;

struct ExtraMenuEntry {
    std::string Name;  // Windows-1251, like the values below
    std::string File;
    std::string Param;
    std::string Catalog;
};

// A menu tree seen as nested lists of items. An item is addressed by the 0-based indexes of the
// path to it from the menu bar; the empty path is the menu bar itself.
class ExtraMenuTarget {
public:
    virtual ~ExtraMenuTarget() = default;
    // The number of items in the list of the item at path; 0 for a command without a submenu.
    virtual int ItemCount(const std::vector<int>& path) const = 0;
    // Inserts entry at index (0..ItemCount) of that list; a command at path becomes a submenu
    // with the entry as its first item.
    virtual void Insert(const std::vector<int>& path, int index, const ExtraMenuEntry& entry) = 0;
};

struct MenuPlace {
    std::vector<int> Path;  // the list the item goes into
    int Index = 0;          // 0-based; ItemCount(Path) appends
};

// Where position puts a new item in target, or nothing when a part is not a decimal integer or
// is out of range (each part but the last must name an existing item; the last may be one past
// the end). The walk only looks: a command becomes a submenu at the insertion, not before.
std::optional<MenuPlace> ResolveMenuPosition(std::string_view position,
                                             const ExtraMenuTarget& target);

// For n = 1, 2, ...: reads section "EXTRAMENU<n>" of settingsFile through profile (with an empty
// default) and inserts its entry where its POSITION says, until a section without a NAME (so
// nothing after a gap is read). A section without a POSITION, or with one that does not fit, is
// skipped. Each insertion counts for the positions of the sections after it. Returns the number
// of entries inserted.
int LoadExtraMenuEntries(ExtraMenuTarget& target, const std::string& settingsFile,
                         TProfile& profile);

}  // namespace orm
