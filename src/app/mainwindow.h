#pragma once

// The main multiple-document window: menus, toolbar and actions, the project commands, the
// opening and layout of child windows, and keeping them in step after an edit.

#include <QMainWindow>
#include <QPointer>
#include <memory>

#include "core/settings/recentfiles.h"
#include "gui/kit/mainhub.h"

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace orm {

class ClassifierWindow;
class FindBar;
class ProjectionWindow;
class TF_Base;
class SamplesWindow;
class TDragController;
struct UnboundPatterns;
class TTreeList;

// Its objectName stays "TF_Main", the form name by which help index files address it.
class MainWindow : public QMainWindow, public MainHub {
    Q_OBJECT
public:
    // prompts answers every question; without one the window asks the user.
    explicit MainWindow(AppContext& context, Prompts* prompts = nullptr, QWidget* parent = nullptr);
    ~MainWindow() override;

    AppContext& Context() const override { return m_context; }
    Prompts& prompts() const override { return *m_prompts; }
    QWidget* HubWidget() override { return this; }
    QAction* UndoAction() const override { return EditUndo1; }
    QAction* RedoAction() const override { return EditRedo1; }
    QMdiArea* MdiArea() const override { return m_mdi; }
    QToolBar* ToolBar() const { return ToolBar1; }
    // The application title: "Ормелит" or the configured caption.
    QString AppTitle() const { return m_appTitle; }

    ClassifierWindow* OpenClassifier(int k);
    // The grid of projection p below the windows of its two classifiers, or nullptr when one
    // of them has no items.
    ProjectionWindow* OpenProjection(int p);
    // Asks for a project file, loads it as the samples and shows them; false when no file was
    // chosen.
    bool OpenSamples();
    SamplesWindow* FindSamplesWindow() const;
    TDragController& Drag() const { return *m_drag; }
    void ShowItemEverywhere(TTreeList* item, QWidget* source) override;
    void RepaintProjections(bool applyFont) override;
    void ReleaseProjections(int k) override;
    void RefreshProjections(int k) override;
    void UpdateTitle();
    // Opens the item's classifier window if need be and selects the item there and in the
    // grids.
    void ShowItem(TTreeList* item);
    // The find bar, made when it is first asked for.
    FindBar* Finder();
    void ResetWindows();
    void ExecuteCommand(int tag) override;
    // Opens the project file at path as File → Open would once a file is chosen: the save
    // query, the load (a damaged file shows its message and keeps what was read), the windows
    // reset. A file that is not there is reported and leaves the project alone, and so does a
    // reading the user cancels. True when the file was loaded, damaged or not.
    bool OpenProjectFile(const std::string& path);
    // The project named on the command line: opened at once, behind the title splash.
    void OpenAtStart(const QString& path);
    // A later start of the program handed over path (empty for none): this window comes to
    // the front and, unless the project is already that file, opens it as the user would. The
    // open waits until no dialog is up.
    void OpenHandedFile(const std::string& path);
    const RecentFiles& Recent() const { return m_recent; }
    // Rebuilds the metamodel's menus between "&Файл" and "&Окна".
    void BuildMenu();

    // The child windows' own widgets, in the area's order.
    QList<TF_Base*> ChildWindows() const;
    // The subwindow that holds a child window.
    QMdiSubWindow* SubWindowOf(QWidget* child) const;
    ClassifierWindow* FindClassifierWindow(int k) const;
    ProjectionWindow* FindProjectionWindow(int p) const;
    // Moves the subwindow, and shrinks it if need be, so that it lies wholly in the visible area.
    void KeepInView(QMdiSubWindow* sub);

    // Actions by their component names (FileNew1, ...), for the menus and for tests.
    QAction* FileNew1;
    QAction* FileOpen1;
    QAction* FileSave1;
    QAction* FileSaveAs1;
    QAction* FilePrjName;
    QAction* FileSampl;
    QAction* FileProps1;
    QAction* FileExit1;
    QAction* HelpHelp1;
    QAction* HelpAbout1;
    QAction* WindowTileVertically1;
    QAction* WindowTileHorizontally1;
    QAction* WindowCascade1;
    QAction* WindowClose1;
    QAction* WindowCloseAll1;
    QAction* EditUndo1;
    QAction* EditRedo1;
    QAction* EditFind1;
    QAction* FindNext1;
    QAction* FindPrevious1;
    QMenu* MenuFile;
    // The projects last opened or saved, in the File menu and on the Open button's arrow.
    QMenu* MenuRecent;
    QMenu* MenuWindow;
    QMenu* MenuHelp;
    // "&Правка", after "&Файл"; added once the extra entries are in.
    QMenu* MenuEdit = nullptr;
    // Copy and paste the items of the active classifier window.
    QAction* EditCopyItems = nullptr;
    QAction* EditPasteItems = nullptr;
    QToolBar* ToolBar1;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createActions();
    void createMenus();
    void createEditMenu();
    void menuItemClick(int tag);
    // The child windows tiling and cascading arrange: shown, not minimised, in creation order.
    QList<QMdiSubWindow*> arrangedWindows() const;
    void tile(Qt::Orientation orientation);
    void cascade();
    // The undo and redo commands: hints, enabled states and the caption after every change of
    // the project's history; the step itself, with every window following it.
    void historyChanged();
    void undoRedo(bool undo);
    void selectEverywhere(TTreeList* item, ClassifierWindow* window);
    void fillWindowList();
    void subWindowActivated(QMdiSubWindow* window);
    // After the project was opened or saved: its file goes first in the recent list.
    void rememberProjectFile();
    void fillRecentMenu();
    void openHandedFile();
    void saveRecent();
    QMdiSubWindow* addChild(TF_Base* child, const QSize& size);
    QList<ProjectionWindow*> projectionsShowing(int k) const;
    void keepWindowsInView();
    // The item selected in the classifier window of k, or nullptr without one.
    TTreeList* selectedItemOf(int k) const;

    AppContext& m_context;
    // The hatch patterns all grids share, made with the main window.
    std::unique_ptr<UnboundPatterns> m_patterns;
    TDragController* m_drag = nullptr;
    FindBar* m_find = nullptr;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts* m_prompts;
    QMdiArea* m_mdi;
    QString m_appTitle;
    QList<QMenu*> m_metaMenus;
    QList<QAction*> m_windowListActions;
    QAction* m_windowListSeparator = nullptr;
    QPointer<QWidget> m_splash;
    RecentFiles m_recent;
    // The separator after "Сохранить как": the recent projects go just before it.
    QAction* m_recentAnchor = nullptr;
    // The file last handed over by another start and not opened yet; the latest one wins.
    std::string m_handedFile;
    bool m_handedWaiting = false;
};

}  // namespace orm
