#pragma once

// The table behind the application-wide shortcuts: each entry a shortcut (key code and modifier
// flags; the GUI uses Qt's codes) and its handler. The table never shrinks: a removed entry
// leaves a free slot (key 0) that the next new shortcut takes, so the order of the others stays.

#include <functional>
#include <vector>

namespace orm {

class HotKeyTable {
public:
    using Handler = std::function<void(int key, int modifiers)>;

    struct Entry {
        int Key = 0;  // 0: a free slot
        int Modifiers = 0;
        Handler Call;
    };

    // A shortcut already in the table gets the new handler, or is removed when handler is empty.
    // A new one takes the first free slot, or a new slot at the end. Key 0 is never entered.
    void Add(int key, int modifiers, Handler handler);

    // Calls the handler of the first entry, in table order, with this key and these modifiers;
    // false when there is none. A handler may change the table while it runs.
    bool Dispatch(int key, int modifiers) const;

    bool Contains(int key, int modifiers) const;
    const std::vector<Entry>& Entries() const { return m_entries; }

private:
    std::vector<Entry> m_entries;
};

}  // namespace orm
