#include "gui/help/hotkeys.h"

#include <QApplication>
#include <QKeyEvent>

namespace orm {

namespace {

// The modifiers a shortcut is made of; the keypad flag and the like would make F1 on another
// keyboard a different key.
constexpr Qt::KeyboardModifiers kShortcutModifiers =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

TKXHotKey* g_instance = nullptr;

}  // namespace

TKXHotKey::TKXHotKey(QObject* parent) : QObject(parent), m_previous(g_instance)
{
    g_instance = this;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

TKXHotKey::~TKXHotKey()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->removeEventFilter(this);
    if (g_instance == this)
        g_instance = m_previous;
}

TKXHotKey* TKXHotKey::Instance()
{
    return g_instance;
}

void TKXHotKey::AddHotKey(int key, Qt::KeyboardModifiers modifiers, HotKeyTable::Handler handler)
{
    m_table.Add(key, (modifiers & kShortcutModifiers).toInt(), std::move(handler));
}

bool TKXHotKey::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    const auto* keyEvent = static_cast<QKeyEvent*>(event);
    const int key = keyEvent->key();
    const int modifiers = (keyEvent->modifiers() & kShortcutModifiers).toInt();
    if (!m_table.Contains(key, modifiers))
        return QObject::eventFilter(watched, event);
    // Claiming the override keeps the key from the application's own shortcuts (an action with
    // the same key would fire as well); the key press that follows is ours.
    event->accept();
    if (type == QEvent::KeyPress)
        m_table.Dispatch(key, modifiers);
    return true;
}

}  // namespace orm
