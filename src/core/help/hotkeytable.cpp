#include "core/help/hotkeytable.h"

namespace orm {

void HotKeyTable::Add(int key, int modifiers, Handler handler)
{
    if (key == 0)
        return;
    for (Entry& e : m_entries) {
        if (e.Key == key && e.Modifiers == modifiers) {
            if (handler) {
                e.Call = std::move(handler);
            } else {
                e = Entry();
            }
            return;
        }
    }
    if (!handler)
        return;
    for (Entry& e : m_entries) {
        if (e.Key == 0) {
            e = Entry{key, modifiers, std::move(handler)};
            return;
        }
    }
    m_entries.push_back(Entry{key, modifiers, std::move(handler)});
}

bool HotKeyTable::Dispatch(int key, int modifiers) const
{
    if (key == 0)
        return false;
    for (const Entry& e : m_entries) {
        if (e.Key == key && e.Modifiers == modifiers) {
            // A copy: the handler may remove or replace its own entry, or grow the table.
            const Handler call = e.Call;
            call(key, modifiers);
            return true;
        }
    }
    return false;
}

bool HotKeyTable::Contains(int key, int modifiers) const
{
    for (const Entry& e : m_entries) {
        if (e.Key != 0 && e.Key == key && e.Modifiers == modifiers)
            return true;
    }
    return false;
}

}  // namespace orm
