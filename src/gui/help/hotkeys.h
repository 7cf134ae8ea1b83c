#pragma once

// TKXHotKey: the program's application-wide shortcut table. It watches every key event of the
// application (an event filter on the application object), so a shortcut in the table reaches
// its handler before any window, action or text field sees it; every other key goes on its way
// unchanged. F1 for context help is entered at start-up.

#include <QObject>
#include <QPointer>

#include "core/help/hotkeytable.h"

namespace orm {

class TKXHotKey : public QObject {
    Q_OBJECT
public:
    // Starts watching the application's key events (a QApplication must exist) and becomes
    // Instance(). Destroying it stops the watching and gives Instance() back to the table that
    // was there before.
    explicit TKXHotKey(QObject* parent = nullptr);
    ~TKXHotKey() override;

    // The table now in charge, or nullptr.
    static TKXHotKey* Instance();

    // key: a Qt::Key; modifiers: Shift, Control, Alt and Meta count, keypad and the like do not.
    // A shortcut already there gets the new handler, or is removed when handler is empty.
    void AddHotKey(int key, Qt::KeyboardModifiers modifiers, HotKeyTable::Handler handler);

    const HotKeyTable& Table() const { return m_table; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HotKeyTable m_table;
    QPointer<TKXHotKey> m_previous;
};

}  // namespace orm
