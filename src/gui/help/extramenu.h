#pragma once

// Extra menu items from the settings file (sections EXTRAMENU1, 2, ...), each starting a program
// or opening a document, inserted into the main window's menus once they are built.

#include <QAction>
#include <string>

#include "core/help/extramenutarget.h"
#include "core/settings/profile.h"

class QMenuBar;
class QWidget;

namespace orm {

class Prompts;

// A menu item that runs FILE with PARAM in CATALOG when chosen; an item without FILE does
// nothing. A failure shows the shell's message in the error box and the program carries on.
class TRunMenuItem : public QAction {
    Q_OBJECT
public:
    TRunMenuItem(const ExtraMenuEntry& entry, Prompts& prompts, QObject* owner);

    // Windows-1251, as read from the settings file.
    std::string File;
    std::string Param;
    std::string Catalog;

    void Click();

private:
    Prompts& m_prompts;
};

// The menu bar's items and their submenus as an ExtraMenuTarget; new items and submenus are
// owned by owner.
class QtMenuTarget : public ExtraMenuTarget {
public:
    QtMenuTarget(QMenuBar* menuBar, QWidget* owner, Prompts& prompts);
    int ItemCount(const std::vector<int>& path) const override;
    void Insert(const std::vector<int>& path, int index, const ExtraMenuEntry& entry) override;

private:
    QAction* itemAt(const std::vector<int>& path) const;

    QMenuBar* m_menuBar;
    QWidget* m_owner;
    Prompts& m_prompts;
};

// Called once by the main window after its menus are built: inserts the extra items of
// settingsFile into menuBar (see LoadExtraMenuEntries for the rules). owner (the main window)
// owns them; prompts shows the errors of their runs. Returns the number of items inserted.
int LoadExtraMenu(QMenuBar* menuBar, QWidget* owner, const std::string& settingsFile,
                  Prompts& prompts, TProfile& profile = TProfile::Shared());

}  // namespace orm
