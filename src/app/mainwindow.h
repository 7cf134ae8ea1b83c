#pragma once

// The main multiple-document window: menus, toolbar and actions, the project commands, the
// opening and layout of child windows, and keeping them in step after an edit.

#include <QMainWindow>
#include <QPointer>
#include <memory>

class QPrinter;

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;

namespace orm {

struct AppContext;
class Prompts;
class TF_A1;
class TF_A14;
class TF_Base;
class TF_SAMPL;
class TDragController;
struct UnboundPatterns;
class TTreeList;

class TF_Main : public QMainWindow {
    Q_OBJECT
public:
    // prompts answers every question; without one the window asks the user.
    explicit TF_Main(AppContext& context, Prompts* prompts = nullptr, QWidget* parent = nullptr);
    ~TF_Main() override;

    AppContext& Context() const { return m_context; }
    Prompts& prompts() const { return *m_prompts; }
    QMdiArea* MdiArea() const { return m_mdi; }
    QToolBar* ToolBar() const { return ToolBar1; }
    // The application title: "Ормелит" or the configured caption.
    QString AppTitle() const { return m_appTitle; }

    TF_A1* OpenClassifier(int k);
    // The grid of projection p below the windows of its two classifiers, or nullptr when one
    // of them has no items.
    TF_A14* OpenProjection(int p);
    // Asks for a project file, loads it as the samples and shows them; false when no file was
    // chosen.
    bool OpenSamples();
    TF_SAMPL* FindSamplesWindow() const;
    TDragController& Drag() const { return *m_drag; }
    void ShowItemEverywhere(TTreeList* item, QWidget* source);
    void RepaintProjections(bool applyFont);
    void RefreshProjections(int k);
    void UpdateTitle();
    void ResetWindows();
    void ExecuteCommand(int tag);
    // Rebuilds the metamodel's menus between "&Файл" and "&Окна".
    void BuildMenu();

    // The child windows' own widgets, in the area's order.
    QList<TF_Base*> ChildWindows() const;
    // The subwindow that holds a child window.
    QMdiSubWindow* SubWindowOf(QWidget* child) const;
    TF_A1* FindClassifierWindow(int k) const;
    TF_A14* FindProjectionWindow(int p) const;
    // The hatch patterns all grids share, made with the main window.
    const UnboundPatterns& Patterns() const { return *m_patterns; }
    // The printer that every printout and the printer setup use.
    QPrinter& Printer();
    void PrinterSetup();
    void PrintProjection(TF_A14* window);

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
    QMenu* MenuFile;
    QMenu* MenuWindow;
    QMenu* MenuHelp;
    QToolBar* ToolBar1;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void createActions();
    void createMenus();
    void menuItemClick(int tag);
    void tile(Qt::Orientation orientation);
    void fillWindowList();
    void subWindowActivated(QMdiSubWindow* window);
    QMdiSubWindow* addChild(TF_Base* child, const QSize& size);

    AppContext& m_context;
    std::unique_ptr<UnboundPatterns> m_patterns;
    TDragController* m_drag = nullptr;
    std::unique_ptr<Prompts> m_ownPrompts;
    Prompts* m_prompts;
    QMdiArea* m_mdi;
    QString m_appTitle;
    QList<QMenu*> m_metaMenus;
    QList<QAction*> m_windowListActions;
    QAction* m_windowListSeparator = nullptr;
    QPointer<QWidget> m_splash;
};

}  // namespace orm
