#include "gui/help/extramenu.h"

#include <QMenu>
#include <QMenuBar>

#include "core/prompts/prompts.h"
#include "format/textcodec.h"
#include "gui/help/runprogram.h"

namespace orm {

TRunMenuItem::TRunMenuItem(const ExtraMenuEntry& entry, Prompts& prompts, QObject* owner)
    : QAction(FromCp1251(entry.Name), owner),
      File(entry.File),
      Param(entry.Param),
      Catalog(entry.Catalog),
      m_prompts(prompts)
{
    setObjectName(QStringLiteral("TRunMenuItem"));
    connect(this, &QAction::triggered, this, &TRunMenuItem::Click);
}

void TRunMenuItem::Click()
{
    if (File.empty())
        return;
    try {
        RunProgram(File, Param, Catalog);
    } catch (const ERunPrgError& e) {
        m_prompts.ShowError(e.what());
    }
}

QtMenuTarget::QtMenuTarget(QMenuBar* menuBar, QWidget* owner, Prompts& prompts)
    : m_menuBar(menuBar), m_owner(owner), m_prompts(prompts)
{
}

QAction* QtMenuTarget::itemAt(const std::vector<int>& path) const
{
    QAction* item = nullptr;
    for (int index : path) {
        const QList<QAction*> list = item ? (item->menu() ? item->menu()->actions()
                                                          : QList<QAction*>())
                                          : m_menuBar->actions();
        if (index < 0 || index >= list.size())
            return nullptr;
        item = list[index];
    }
    return item;
}

int QtMenuTarget::ItemCount(const std::vector<int>& path) const
{
    if (path.empty())
        return static_cast<int>(m_menuBar->actions().size());
    QAction* item = itemAt(path);
    return item && item->menu() ? static_cast<int>(item->menu()->actions().size()) : 0;
}

void QtMenuTarget::Insert(const std::vector<int>& path, int index, const ExtraMenuEntry& entry)
{
    QWidget* list = m_menuBar;
    if (!path.empty()) {
        QAction* item = itemAt(path);
        if (!item)
            return;
        if (!item->menu()) {
            // A command with sub-items is a submenu from now on, as in the platform's menus.
            auto* menu = new QMenu(item->text(), m_owner);
            item->setMenu(menu);
        }
        list = item->menu();
    }
    auto* run = new TRunMenuItem(entry, m_prompts, m_owner);
    const QList<QAction*> actions = list->actions();
    if (index < actions.size())
        list->insertAction(actions[index], run);
    else
        list->addAction(run);
}

int LoadExtraMenu(QMenuBar* menuBar, QWidget* owner, const std::string& settingsFile,
                  Prompts& prompts, TProfile& profile)
{
    QtMenuTarget target(menuBar, owner, prompts);
    // Five reads per section: one parse of the file serves them all.
    const ProfileFileHold hold(profile);
    return LoadExtraMenuEntries(target, settingsFile, profile);
}

}  // namespace orm
