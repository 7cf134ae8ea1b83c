#pragma once

// What the child windows and dialogs ask of the main window: the program's context and
// prompts, and the calls that keep the other windows in step after an edit. The main window
// implements it; the windows know only this, so no window depends on the main window or on
// another window's class.

class QAction;
class QMdiArea;
class QWidget;

namespace orm {

struct AppContext;
class Prompts;
class TTreeList;

class MainHub {
public:
    virtual AppContext& Context() const = 0;
    virtual Prompts& prompts() const = 0;
    // The main window itself, as the parent of dialogs.
    virtual QWidget* HubWidget() = 0;
    virtual QMdiArea* MdiArea() const = 0;
    // The program's undo and redo commands, for the windows' own menus; nullptr without them.
    virtual QAction* UndoAction() const = 0;
    virtual QAction* RedoAction() const = 0;

    // Selects item in every other window that shows its classifier.
    virtual void ShowItemEverywhere(TTreeList* item, QWidget* source) = 0;
    // After a binding changed whether an item is engaged, and after the settings dialog.
    virtual void RepaintProjections(bool applyFont) = 0;
    // Before items of classifier k (of every classifier for 0) are destroyed: the grids that
    // show it let go of them.
    virtual void ReleaseProjections(int k) = 0;
    // After items of classifier k were added, deleted or moved: the grids that show it are
    // rebuilt, and their current cells follow the classifier windows' selections.
    virtual void RefreshProjections(int k) = 0;
    // A command of the main window by its tag (17: the settings dialog).
    virtual void ExecuteCommand(int tag) = 0;

protected:
    ~MainHub() = default;
};

}  // namespace orm
