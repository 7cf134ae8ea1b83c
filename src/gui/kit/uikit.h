#pragma once

// Small builders shared by the windows: bundled icons, actions from a table, child toolbars,
// the popup menu of a document window.

#include <QIcon>
#include <QKeySequence>
#include <initializer_list>

class QAbstractItemView;
class QAction;
class QDialog;
class QMenu;
class QToolBar;
class QWidget;

namespace orm {

// Registers the bundled icons and cursors (they live in a static library, so they must be
// asked for once).
void InitResources();

// An icon of the program's own set, by name (":/icons/<name>.svg").
QIcon BundledIcon(const char* name);

struct ActionSpec {
    QAction*& action;
    const char* name;     // the component name, also the object name
    const char* caption;  // UTF-8, with "&" before the access letter
    const char* hint;     // UTF-8, or nullptr: the caption without "&" and " ..."
    QKeySequence shortcut;
    const char* image;    // bundled icon name, or nullptr
    int tag;
};

// Creates the actions, owned by owner, with caption, hint, shortcut, icon and tag (as data).
// A shortcut context other than the window's own is given with context.
void MakeActions(QWidget* owner, std::initializer_list<ActionSpec> specs,
                 Qt::ShortcutContext context = Qt::WindowShortcut);

// The 29-pixel toolbar of a child window. Hidden while its window is inactive, it keeps its
// room: a click that activates the window must not shift the rows under the pointer between
// the press and the release.
QToolBar* MakeChildToolBar(QWidget* owner);

// The commands of a window that shows one document (a report, an organigram).
struct DocumentActions {
    QAction* Print;
    QAction* PrintSetup;
    QAction* ExportPdf;
    QAction* Save;
    QAction* Load;
    QAction* Exit;
};
// Its popup menu ("PopupMenu1"): the printing commands, then the file and closing ones, so that
// every document window offers them in one order.
QMenu* MakeDocumentPopupMenu(QWidget* owner, const DocumentActions& actions);

// Makes the highlighted row or cell of view and its current index one and the same, so that
// what the user sees marked is what every key and action works on: a selection made elsewhere
// (a press on a row already selected, selected on release) moves the current index to it, and a
// selection cleared (a click on empty space) clears the current index too.
void TieCurrentToSelection(QAbstractItemView* view);

// A fixed dialog frame: a caption and no title-bar buttons. Qt names no window functions for
// such a frame, and window managers then offer them all; a modal dialog minimised away would
// hide the whole program behind it, so a minimised dialog is put back at once.
void SetFixedDialogFrame(QDialog* dialog);

// Moves a top-level window so that it stands centred on its screen (its parent's, or the
// primary one). Before the first show the frame is not known yet, and the client area is
// centred.
void CentreOnScreen(QWidget* window);

}  // namespace orm
