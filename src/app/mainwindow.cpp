#include "app/mainwindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QIcon>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QDir>
#include <QFile>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <filesystem>
#include <algorithm>

#include "app/publishsite.h"
#include "app/startup.h"
#include "core/model/edithistory.h"
#include "core/model/metamodel.h"
#include "format/textcodec.h"
#include "gui/classifier/classifierwindow.h"
#include "gui/classifier/dragdrop.h"
#include "gui/classifier/findbar.h"
#include "gui/classifier/itemeditdialog.h"
#include "gui/classifier/sampleswindow.h"
#include "gui/help/contexthelp.h"
#include "gui/help/extramenu.h"
#include "gui/kit/appcontext.h"
#include "gui/kit/qtprompts.h"
#include "gui/kit/tf_base.h"
#include "gui/kit/uikit.h"
#include "gui/projection/projectionwindow.h"
#include "gui/report/qtreportui.h"
#include "gui/report/reportviewer.h"
#include "gui/settings/aboutbox.h"
#include "gui/settings/background.h"
#include "gui/settings/settingsdialog.h"
#include "gui/settings/splash.h"

namespace orm {

namespace {

// The letter after the "&" of a caption, upper case; empty without one.
QString accessKeyOf(const QString& caption)
{
    const qsizetype at = caption.indexOf(QChar('&'));
    return at >= 0 && at + 1 < caption.size() ? caption.mid(at + 1, 1).toUpper() : QString();
}

// The caption with an access key on its first letter that no other menu of the bar uses yet,
// the text itself unchanged; as it was when it has one or no letter is free.
QString withAccessKey(const QString& caption, QString& taken)
{
    if (caption.contains(QChar('&')))
        return caption;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        const QChar letter = caption[i].toUpper();
        if (letter.isLetter() && !taken.contains(letter)) {
            taken += letter;
            return caption.left(i) + QChar('&') + caption.mid(i);
        }
    }
    return caption;
}

// The main window's colour, 13408614 as a Windows colour value (blue 204, green 153, red 102).
const QColor kMainColour(102, 153, 204);

}  // namespace

MainWindow::MainWindow(AppContext& context, Prompts* prompts, QWidget* parent)
    : QMainWindow(parent), m_context(context), m_prompts(prompts)
{
    setObjectName(QStringLiteral("TF_Main"));
    InitResources();
    m_drag = new TDragController(*this, this);
    if (!m_prompts) {
        m_ownPrompts = std::make_unique<QtPrompts>(
            this, [this] { return m_appTitle; },
            [this](QWidget* parent, const QString& caption, const QString& text) {
                return AskItemText(parent, &m_context.SharedFont, caption, text);
            });
        m_prompts = m_ownPrompts.get();
    }
    setWindowTitle(QStringLiteral("Новый проект"));

    m_mdi = new QMdiArea(this);
    m_mdi->setObjectName(QStringLiteral("ClientArea"));
    m_mdi->setBackground(kMainColour);
    m_mdi->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdi->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(m_mdi);
    connect(m_mdi, &QMdiArea::subWindowActivated, this, &MainWindow::subWindowActivated);

    createActions();
    createMenus();

    // Creation, in order: the title, the colour, the configured caption and icon, the caption
    // from the project, the metamodel's menus.
    m_appTitle = QStringLiteral("Ормелит");
    if (!m_context.Settings.AppCaption.empty())
        m_appTitle = FromCp1251(m_context.Settings.AppCaption);
    else
        m_context.Settings.AppCaption = ToCp1251(m_appTitle);
    // The splash shows while start-up goes on behind it.
    m_splash = ShowTitle(m_context.Settings, *m_prompts);
    QApplication::setApplicationDisplayName(QString());
    const QString iconFile = FromCp1251(m_context.Settings.MainIconFile);
    if (!iconFile.isEmpty() && QFileInfo(iconFile).isFile()) {
        const QIcon appIcon(iconFile);
        if (!appIcon.isNull()) {
            QApplication::setWindowIcon(appIcon);
            setWindowIcon(appIcon);
        }
    }
    ResetWindows();
    m_patterns = std::make_unique<UnboundPatterns>(UnboundPatterns::Make());
    SetUpBackground(m_mdi, m_context.Settings.BackgroundPicture, m_context.Settings.BackgroundColor,
                    m_context.Settings.BackgroundPercent, *m_prompts);
    BuildMenu();
    LoadExtraMenu(menuBar(), this, m_context.Settings.SettingsFileName, *m_prompts);
    // Only now, so that the positions in the settings file count the menus they were written for.
    MenuFile->insertMenu(m_recentAnchor, MenuRecent);
    // The Edit menu too: extra entries placed in older settings files must land where they did.
    createEditMenu();
    // And the publication entry, below the samples, for the same reason.
    {
        const QList<QAction*> file = MenuFile->actions();
        const qsizetype next = file.indexOf(FileSampl) + 1;
        auto* publish = new QAction(QStringLiteral("Опубликовать в &HTML…"), MenuFile);
        publish->setObjectName(QStringLiteral("FilePublish"));
        connect(publish, &QAction::triggered, this,
                [this] { PublishProjectAsSite(m_context.MainProject, *m_prompts); });
        MenuFile->insertAction(next > 0 && next < file.size() ? file[next] : nullptr, publish);
        MenuFile->insertSeparator(publish);
    }
    m_recent.Load(m_context.State.RecentProjects);
    fillRecentMenu();
    // The file dialogs start where the user last worked.
    if (!m_recent.Paths().empty())
        SetFileDialogFolder(
            QFileInfo(QFile::decodeName(m_recent.Paths().front().c_str())).absolutePath());
    // A new or opened project destroys every item; the message of a damaged file comes before
    // the windows are reset, and no grid or outline may paint the old items meanwhile. The
    // samples outline lets go of the samples the same way when they are read again.
    m_context.MainProject.SetBeforeReset([this] {
        ReleaseProjections(0);
        for (ClassifierWindow* window : m_mdi->findChildren<ClassifierWindow*>())
            window->ReleaseRows();
    });
    m_context.SamplesProject.SetBeforeReset([this] {
        for (SamplesWindow* window : m_mdi->findChildren<SamplesWindow*>())
            window->ReleaseOutline();
    });
    m_context.MainProject.History().SetWatcher([this] { historyChanged(); });
    historyChanged();
}

FindBar* MainWindow::Finder()
{
    // Made on first use: most sessions never search, and start-up need not build the bar.
    if (m_find)
        return m_find;
    m_find = new FindBar(
        {[this]() -> TTreeList* { return &m_context.MainProject; },
         [this] {
             QMdiSubWindow* sub = m_mdi->activeSubWindow();
             auto* window = sub ? qobject_cast<ClassifierWindow*>(sub->widget()) : nullptr;
             return window ? window->Tag() : 0;
         },
         [this]() -> TTreeList* {
             QMdiSubWindow* sub = m_mdi->activeSubWindow();
             auto* window = sub ? qobject_cast<ClassifierWindow*>(sub->widget()) : nullptr;
             return window ? window->CurrentItem() : nullptr;
         },
         [this](TTreeList* item) { ShowItem(item); }},
        this);
    m_find->hide();
    addToolBar(Qt::BottomToolBarArea, m_find);
    return m_find;
}

void MainWindow::ShowItem(TTreeList* item)
{
    const bool typing = m_find && m_find->Edit->hasFocus();
    selectEverywhere(item, OpenClassifier(item->ClassifierIndex()));
    if (typing)
        m_find->Edit->setFocus();
}

MainWindow::~MainWindow()
{
    m_context.MainProject.SetBeforeReset(nullptr);
    m_context.SamplesProject.SetBeforeReset(nullptr);
    m_context.MainProject.History().SetWatcher(nullptr);
    // Child windows going away must not report activations to a half-destroyed main window.
    disconnect(m_mdi, nullptr, this, nullptr);
}

void MainWindow::createActions()
{
    MakeActions(
        this,
        {
            {FileNew1, "FileNew1", "&Новый", "Новый", QKeySequence(Qt::CTRL | Qt::Key_N),
             "file-new", 11},
            {FileOpen1, "FileOpen1", "&Открыть ...", "Открыть",
             QKeySequence(Qt::CTRL | Qt::Key_O), "file-open", 12},
            {FileSave1, "FileSave1", "&Сохранить", "Сохранить",
             QKeySequence(Qt::CTRL | Qt::Key_S), "file-save", 13},
            {FileSaveAs1, "FileSaveAs1", "Сохранить &как ...", nullptr, QKeySequence(),
             "file-save-as", 14},
            {FilePrjName, "FilePrjName", "Название проек&Та ...", nullptr,
             QKeySequence(Qt::CTRL | Qt::Key_T), "project-name", 15},
            {FileSampl, "FileSampl", "Открыть &Пример ...", nullptr,
             QKeySequence(Qt::CTRL | Qt::Key_P), "samples-open", 16},
            {FileProps1, "FileProps1", "&Установки ...", nullptr,
             QKeySequence(Qt::CTRL | Qt::Key_U), "settings", 17},
            {FileExit1, "FileExit1", "Вы&ход", "Выход", QKeySequence(Qt::CTRL | Qt::Key_Q),
             "exit", 18},
            {HelpHelp1, "HelpHelp1", "&Руководство пользователя", "Руководство пользователя",
             QKeySequence(Qt::Key_F1), "help", 61},
            {HelpAbout1, "HelpAbout1", "&О программе", nullptr, QKeySequence(), "about", 62},
            {EditUndo1, "EditUndo1", "Отменить", "Отменить",
             QKeySequence(Qt::CTRL | Qt::Key_Z), "edit-undo", 0},
            {EditRedo1, "EditRedo1", "Повторить", "Повторить",
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), "edit-redo", 0},
            {EditFind1, "EditFind1", "Найти ...", "Найти элемент",
             QKeySequence(Qt::CTRL | Qt::Key_F), "find", 0},
            {FindNext1, "FindNext1", "Найти далее", nullptr, QKeySequence(Qt::Key_F3), nullptr,
             0},
            {FindPrevious1, "FindPrevious1", "Найти назад", nullptr,
             QKeySequence(Qt::SHIFT | Qt::Key_F3), nullptr, 0},
            {WindowTileVertically1, "WindowTileVertically1", "Вертикальная мозаика",
             "Вертикально", QKeySequence(Qt::CTRL | Qt::Key_V), "window-tile-vertical", 0},
            {WindowTileHorizontally1, "WindowTileHorizontally1", "Горизонтальная мозаика",
             "Горизонтально", QKeySequence(Qt::CTRL | Qt::Key_G), "window-tile-horizontal", 0},
            {WindowCascade1, "WindowCascade1", "Каскад", "Каскад",
             QKeySequence(Qt::CTRL | Qt::Key_K), "window-cascade", 0},
            {WindowClose1, "WindowClose1", "Закрыть", nullptr, QKeySequence(Qt::CTRL | Qt::Key_W),
             "window-close", 40},
            {WindowCloseAll1, "WindowCloseAll1", "Закрыть все", nullptr, QKeySequence(),
             "window-close-all", 0},
        });
    for (QAction* a : {FileNew1, FileOpen1, FileSave1, FileSaveAs1, FilePrjName, FileSampl,
                       FileProps1, FileExit1, HelpHelp1, HelpAbout1}) {
        connect(a, &QAction::triggered, this, [this, a] { ExecuteCommand(a->data().toInt()); });
    }
    EditRedo1->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    connect(EditFind1, &QAction::triggered, this, [this] {
        Finder()->Open();
        keepWindowsInView();
    });
    connect(FindNext1, &QAction::triggered, this, [this] { Finder()->FindNext(false); });
    connect(FindPrevious1, &QAction::triggered, this, [this] { Finder()->FindNext(true); });
    // Ctrl+Tab and Ctrl+Shift+Tab are the area's own; Ctrl+F6 as well, as users know it.
    auto* nextWindow = new QAction(this);
    nextWindow->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F6));
    connect(nextWindow, &QAction::triggered, m_mdi, &QMdiArea::activateNextSubWindow);
    for (QAction* a : {FindNext1, FindPrevious1, nextWindow})
        addAction(a);  // keys only
    connect(EditUndo1, &QAction::triggered, this, [this] { undoRedo(true); });
    connect(EditRedo1, &QAction::triggered, this, [this] { undoRedo(false); });
    connect(WindowTileVertically1, &QAction::triggered, this, [this] { tile(Qt::Horizontal); });
    connect(WindowTileHorizontally1, &QAction::triggered, this, [this] { tile(Qt::Vertical); });
    connect(WindowCascade1, &QAction::triggered, this, &MainWindow::cascade);
    connect(WindowClose1, &QAction::triggered, m_mdi, &QMdiArea::closeActiveSubWindow);
    connect(WindowCloseAll1, &QAction::triggered, this, [this] {
        // From the last in the area's list to the first.
        const auto windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            (*it)->close();
    });
}

void MainWindow::createMenus()
{
    MenuFile = menuBar()->addMenu(QStringLiteral("&Файл"));
    MenuFile->setObjectName(QStringLiteral("MenuFile"));
    MenuFile->addAction(FileNew1);
    MenuFile->addAction(FileOpen1);
    MenuFile->addAction(FileSave1);
    MenuFile->addAction(FileSaveAs1);
    m_recentAnchor = MenuFile->addSeparator();
    MenuFile->addAction(FilePrjName);
    MenuFile->addSeparator();
    MenuFile->addAction(FileSampl);
    MenuFile->addSeparator();
    MenuFile->addAction(FileProps1);
    MenuFile->addSeparator();
    MenuFile->addAction(FileExit1);

    MenuWindow = menuBar()->addMenu(QStringLiteral("&Окна"));
    MenuWindow->setObjectName(QStringLiteral("MenuWindow"));
    MenuWindow->addAction(WindowTileVertically1);
    MenuWindow->addAction(WindowTileHorizontally1);
    MenuWindow->addAction(WindowCascade1);
    MenuWindow->addSeparator();
    MenuWindow->addAction(WindowClose1);
    MenuWindow->addAction(WindowCloseAll1);
    connect(MenuWindow, &QMenu::aboutToShow, this, &MainWindow::fillWindowList);

    MenuHelp = menuBar()->addMenu(QStringLiteral("&Справка"));
    MenuHelp->setObjectName(QStringLiteral("MenuHelp"));
    MenuHelp->addAction(HelpHelp1);
    MenuHelp->addSeparator();
    MenuHelp->addAction(HelpAbout1);

    ToolBar1 = addToolBar(QStringLiteral("Панель инструментов"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(20, 20));
    ToolBar1->setFixedHeight(29);
    ToolBar1->addAction(FileNew1);
    ToolBar1->addAction(FileOpen1);
    MenuRecent = new QMenu(QStringLiteral("После&дние проекты"), this);
    MenuRecent->setObjectName(QStringLiteral("MenuRecent"));
    MenuRecent->setIcon(BundledIcon("file-open"));
    // Files gone since are dropped when the list is shown.
    connect(MenuRecent, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    if (auto* open = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(FileOpen1))) {
        open->setMenu(MenuRecent);
        open->setPopupMode(QToolButton::MenuButtonPopup);
    }
    ToolBar1->addAction(FileSave1);
    ToolBar1->addSeparator();
    ToolBar1->addAction(EditUndo1);
    ToolBar1->addAction(EditRedo1);
    ToolBar1->addAction(EditFind1);
    ToolBar1->addSeparator();
    ToolBar1->addAction(WindowTileVertically1);
    ToolBar1->addAction(WindowTileHorizontally1);
    ToolBar1->addAction(WindowCascade1);
    ToolBar1->addSeparator();
    ToolBar1->addAction(HelpHelp1);
    ToolBar1->addSeparator();
    ToolBar1->addAction(FileExit1);
}

void MainWindow::createEditMenu()
{
    MenuEdit = new QMenu(QStringLiteral("&Правка"), this);
    MenuEdit->setObjectName(QStringLiteral("MenuEdit"));
    MenuEdit->addAction(EditUndo1);
    MenuEdit->addAction(EditRedo1);
    MenuEdit->addSeparator();
    MenuEdit->addAction(EditFind1);
    MenuEdit->addAction(FindNext1);
    MenuEdit->addAction(FindPrevious1);
    MenuEdit->addSeparator();
    // Copying and pasting items is the active classifier window's: its own keys work there,
    // the menu names them and acts on its highlighted row.
    const auto classifierAction = [this](const char* name, const char* keys,
                                         QAction* ClassifierWindow::*which) {
        QAction* action = MenuEdit->addAction(QString::fromUtf8(name) + QChar('\t') +
                                              QString::fromUtf8(keys));
        connect(action, &QAction::triggered, this, [this, which] {
            QMdiSubWindow* sub = m_mdi->activeSubWindow();
            if (auto* window = sub ? qobject_cast<ClassifierWindow*>(sub->widget()) : nullptr)
                (window->*which)->trigger();
        });
        connect(MenuEdit, &QMenu::aboutToShow, action, [this, action, which] {
            QMdiSubWindow* sub = m_mdi->activeSubWindow();
            auto* window = sub ? qobject_cast<ClassifierWindow*>(sub->widget()) : nullptr;
            if (window)
                window->UpdateActionStates();
            action->setEnabled(window && (window->*which)->isEnabled());
        });
        return action;
    };
    EditCopyItems = classifierAction("Копировать элементы", "Ctrl+C", &ClassifierWindow::ActionCopy);
    EditCopyItems->setObjectName(QStringLiteral("EditCopyItems"));
    EditPasteItems =
        classifierAction("Вставить элементы", "Shift+Ins", &ClassifierWindow::ActionPaste);
    EditPasteItems->setObjectName(QStringLiteral("EditPasteItems"));
    // Just before the metamodel's menus: an extra entry placed on the bar after "&Файл" stays
    // right after it.
    menuBar()->insertMenu(m_metaMenus.isEmpty() ? MenuWindow->menuAction()
                                                : m_metaMenus.front()->menuAction(),
                          MenuEdit);
}

void MainWindow::BuildMenu()
{
    // The metamodel's menus go first; the Edit menu and extra entries stay.
    for (QMenu* menu : m_metaMenus)
        menuBar()->removeAction(menu->menuAction());
    qDeleteAll(m_metaMenus);
    m_metaMenus.clear();

    const TStructRes& meta = Metamodel();
    QString taken;
    for (QAction* a : menuBar()->actions())
        taken += accessKeyOf(a->text());
    for (const MenuGroupData& group : meta.MenuLayout()) {
        QMenu* menu = new QMenu(withAccessKey(FromCp1251(group.Group.Caption), taken), this);
        for (const MenuItemData& item : group.Items) {
            QAction* a = menu->addAction(FromCp1251(item.Caption));
            a->setData(item.Tag);
            if (item.Tag > 0) {
                const int tag = item.Tag;
                connect(a, &QAction::triggered, this, [this, tag] { menuItemClick(tag); });
            }
        }
        menuBar()->insertMenu(MenuWindow->menuAction(), menu);
        m_metaMenus.push_back(menu);
    }
}

void MainWindow::menuItemClick(int tag)
{
    const MenuCommand command = TStructRes::MenuItemClick(tag);
    switch (command.What) {
    case MenuCommand::OpenClassifier:
        OpenClassifier(command.Index);
        break;
    case MenuCommand::OpenProjection:
        OpenProjection(command.Index);
        break;
    case MenuCommand::MakeReport:
        RunReportCommand(command.Index, *this, [this](const ReportDocument& document) {
            ShowReportViewer(document, this, *m_prompts);
        });
        break;
    case MenuCommand::Unknown:
        m_prompts->Inform(command.Message);
        break;
    }
}

void MainWindow::ExecuteCommand(int tag)
{
    TMainTreeList& project = m_context.MainProject;
    switch (tag) {
    case 11:
        if (project.NewProject(*m_prompts))
            ResetWindows();
        break;
    case 12:
        if (project.OpenProject(*m_prompts)) {
            ResetWindows();
            rememberProjectFile();
        }
        break;
    case 13:
        if (project.SaveProject(*m_prompts))
            rememberProjectFile();
        break;
    case 14:
        if (project.SaveProjectAs(*m_prompts))
            rememberProjectFile();
        break;
    case 15:
        project.EditProjectName(*m_prompts);
        UpdateTitle();
        break;
    case 16:
        OpenSamples();
        break;
    case 18:
        close();
        break;
    case 17:
        ShowSettingsDialog(*this);
        break;
    case 61:
        ShowContextHelp();
        break;
    case 62:
        ShowAbout(m_context.Settings, *m_prompts, this);
        break;
    default:
        break;
    }
}

bool MainWindow::OpenProjectFile(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        const QString name = QDir::toNativeSeparators(QFile::decodeName(path.c_str()));
        m_prompts->Inform(ToCp1251(QStringLiteral("Файл «%1» не найден.").arg(name)));
        if (m_recent.Remove(path)) {
            saveRecent();
            fillRecentMenu();
        }
        return false;
    }
    // Refused to let unsaved changes go, or cancelled while reading: everything stays.
    if (!m_context.MainProject.OpenProjectFile(path, *m_prompts))
        return false;
    ResetWindows();
    rememberProjectFile();
    return true;
}

void MainWindow::OpenAtStart(const QString& path)
{
    const std::string file = QFile::encodeName(path).toStdString();
    // At once, behind the splash, as soon as the event loop runs: the splash gives way to any
    // question the load asks.
    QTimer::singleShot(0, this, [this, file] { OpenProjectFile(file); });
}

void MainWindow::OpenHandedFile(const std::string& path)
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    // A question or dialog that is up stays in front of the window it belongs to.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
    if (path.empty())
        return;
    m_handedFile = path;
    openHandedFile();
}

void MainWindow::openHandedFile()
{
    // Not while a dialog or a question is up (its own event loop runs, loopLevel > 1): a project
    // replaced under it would leave the dialog holding items that are gone.
    if (QApplication::activeModalWidget() || QThread::currentThread()->loopLevel() > 1) {
        if (!m_handedWaiting) {
            m_handedWaiting = true;
            QTimer::singleShot(200, this, [this] {
                m_handedWaiting = false;
                openHandedFile();
            });
        }
        return;
    }
    const std::string path = std::exchange(m_handedFile, std::string());
    if (path.empty())
        return;
    const std::string& open = m_context.MainProject.FileName();
    std::error_code ec;
    if (!open.empty() && (open == path || std::filesystem::equivalent(open, path, ec)))
        return;
    OpenProjectFile(path);
}

void MainWindow::rememberProjectFile()
{
    const std::string& file = m_context.MainProject.FileName();
    std::error_code ec;
    if (file.empty() || !std::filesystem::is_regular_file(file, ec))
        return;
    SetFileDialogFolder(QFileInfo(QFile::decodeName(file.c_str())).absolutePath());
    if (m_recent.Add(file))
        saveRecent();
    fillRecentMenu();
}

void MainWindow::saveRecent()
{
    // Silently: a list that could not be written still works for this run.
    m_recent.Save(m_context.State);
}

void MainWindow::fillRecentMenu()
{
    m_recent.DropMissing();
    // An entry may be the one being chosen right now: it goes when control is back.
    for (QAction* a : MenuRecent->actions()) {
        MenuRecent->removeAction(a);
        a->deleteLater();
    }
    int number = 1;
    for (const std::string& path : m_recent.Paths()) {
        QString shown = QDir::toNativeSeparators(QFile::decodeName(path.c_str()));
        shown.replace(QChar('&'), QStringLiteral("&&"));
        QAction* a = MenuRecent->addAction(QStringLiteral("&%1 %2").arg(number++).arg(shown));
        a->setData(QString::fromStdString(path));
        connect(a, &QAction::triggered, this, [this, path] { OpenProjectFile(path); });
    }
    MenuRecent->menuAction()->setEnabled(!m_recent.Paths().empty());
}

void MainWindow::UpdateTitle()
{
    // An unsaved project carries a mark before its name.
    const QString mark = m_context.MainProject.Modified() ? QStringLiteral("*") : QString();
    setWindowTitle(mark + FromCp1251(m_context.MainProject.Name()) + QStringLiteral(" - ") +
                   m_appTitle);
}

void MainWindow::historyChanged()
{
    const EditHistory& history = m_context.MainProject.History();
    const auto describe = [this](QAction* action, const char* verb, const std::string& what) {
        action->setEnabled(!what.empty());
        const QString hint = what.empty() ? QString::fromUtf8(verb)
                                          : QString::fromUtf8(verb) + QStringLiteral(": ") +
                                                FromCp1251(what);
        action->setToolTip(hint);
        action->setStatusTip(hint);
        // The menu names the step as the hint does; a long item name must not widen the menu
        // past the screen, and an "&" in it is a letter, not an access key.
        QString caption = fontMetrics().elidedText(hint, Qt::ElideRight,
                                                   64 * fontMetrics().averageCharWidth());
        action->setText(caption.replace(QChar('&'), QStringLiteral("&&")));
    };
    describe(EditUndo1, "Отменить", history.UndoText());
    describe(EditRedo1, "Повторить", history.RedoText());
    UpdateTitle();
}

void MainWindow::undoRedo(bool undo)
{
    TMainTreeList& project = m_context.MainProject;
    EditStep* step = project.History().Next(undo);
    if (!step)
        return;
    m_drag->Cancel();
    // Only the classifier whose tree changes shape has rows to follow; the other windows keep
    // their rows, their open branches and their selections.
    const EditShape shape = step->Shape(project, undo);
    const int k = shape.What != EditShape::None && !shape.Parent.empty() ? shape.Parent.front() + 1
                                                                          : 0;
    ClassifierWindow* outline = k ? FindClassifierWindow(k) : nullptr;
    if (k) {
        // No grid keeps an item that may go, nor does a window closed but not yet gone.
        ReleaseProjections(k);
        for (ClassifierWindow* window : m_mdi->findChildren<ClassifierWindow*>()) {
            if (window->Tag() == k && window != outline)
                window->ReleaseRows();
        }
    }
    std::optional<EditEffect> effect;
    const auto run = [&] { effect = undo ? project.Undo() : project.Redo(); };
    if (outline)
        outline->FollowStep(*step, shape, run);
    else
        run();
    if (!effect)
        return;
    TTreeList* focus = effect->Focus.empty() ? nullptr : NodeAt(project, effect->Focus);
    switch (effect->What) {
    case EditEffect::Structure:
        for (int changed : effect->Classifiers)
            RefreshProjections(changed);
        break;
    case EditEffect::Names:
        if (ClassifierWindow* window = focus ? FindClassifierWindow(focus->ClassifierIndex())
                                             : nullptr)
            window->Outline1->Model()->Renamed(focus);
        break;
    case EditEffect::Bindings:
        for (ProjectionWindow* grid : projectionsShowing(0))
            grid->FillCells();
        break;
    case EditEffect::ProjectName:
        break;
    }
    if (focus)
        selectEverywhere(focus, FindClassifierWindow(focus->ClassifierIndex()));
    historyChanged();
}

void MainWindow::KeepInView(QMdiSubWindow* sub)
{
    if (!sub || !sub->isVisible() || sub->isMinimized() || sub->isMaximized())
        return;
    const QRect area = m_mdi->viewport()->rect();
    if (area.isEmpty())
        return;
    QRect frame = sub->geometry();
    const QSize least = sub->minimumSizeHint().expandedTo(sub->minimumSize());
    frame.setWidth(std::max(std::min(frame.width(), area.width()), least.width()));
    frame.setHeight(std::max(std::min(frame.height(), area.height()), least.height()));
    if (frame.right() > area.right())
        frame.moveRight(area.right());
    if (frame.bottom() > area.bottom())
        frame.moveBottom(area.bottom());
    // The title bar and its close box stay reachable even when the area is smaller than the
    // window can be.
    frame.moveTopLeft(QPoint(std::max(frame.left(), 0), std::max(frame.top(), 0)));
    if (frame != sub->geometry())
        sub->setGeometry(frame);
}

void MainWindow::keepWindowsInView()
{
    // The area has just become smaller (the find bar opened): every window stays wholly in it,
    // and the active one keeps its current row in sight.
    if (QLayout* own = layout())
        own->activate();
    for (QMdiSubWindow* sub : m_mdi->subWindowList())
        KeepInView(sub);
    if (QMdiSubWindow* active = m_mdi->activeSubWindow()) {
        if (auto* child = qobject_cast<TF_Base*>(active->widget()))
            child->ShowCurrent();
    }
}

void MainWindow::selectEverywhere(TTreeList* item, ClassifierWindow* window)
{
    // Selected in its classifier window, if one is open, whether or not its row was current
    // already; the grids follow, and nothing mirrors back.
    if (window)
        window->SelectItem(item);
    const SyncGuardScope guard(m_context);
    ShowItemEverywhere(item, window);
}

void MainWindow::ResetWindows()
{
    UpdateTitle();
    const QList<TF_Base*> children = ChildWindows();
    for (TF_Base* child : children) {
        if (qobject_cast<SamplesWindow*>(child))
            continue;  // the samples survive a new or opened project
        if (QMdiSubWindow* sub = SubWindowOf(child)) {
            m_mdi->removeSubWindow(sub);
            delete sub;
        }
    }
}

QList<TF_Base*> MainWindow::ChildWindows() const
{
    QList<TF_Base*> out;
    for (QMdiSubWindow* sub : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (auto* base = qobject_cast<TF_Base*>(sub->widget()))
            out.push_back(base);
    }
    return out;
}

QMdiSubWindow* MainWindow::SubWindowOf(QWidget* child) const
{
    for (QMdiSubWindow* sub : m_mdi->subWindowList()) {
        if (sub->widget() == child)
            return sub;
    }
    return nullptr;
}

ProjectionWindow* MainWindow::FindProjectionWindow(int p) const
{
    for (TF_Base* child : ChildWindows()) {
        auto* window = qobject_cast<ProjectionWindow*>(child);
        if (window && window->Tag() == p)
            return window;
    }
    return nullptr;
}

ClassifierWindow* MainWindow::FindClassifierWindow(int k) const
{
    for (TF_Base* child : ChildWindows()) {
        auto* window = qobject_cast<ClassifierWindow*>(child);
        if (window && window->Tag() == k)
            return window;
    }
    return nullptr;
}

QMdiSubWindow* MainWindow::addChild(TF_Base* child, const QSize& size)
{
    QMdiSubWindow* sub = m_mdi->addSubWindow(child);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowIcon(child->windowIcon());
    sub->resize(size);
    // Ctrl+W is the Window menu's "Закрыть"; the subwindow's own menu offering it as well would
    // make the key ambiguous, and then neither would close anything.
    if (QMenu* menu = sub->systemMenu()) {
        const QKeySequence closeKey = WindowClose1->shortcut();
        for (QAction* a : menu->actions()) {
            QList<QKeySequence> keys = a->shortcuts();
            if (keys.removeAll(closeKey) > 0)
                a->setShortcuts(keys);
        }
    }
    return sub;
}

ClassifierWindow* MainWindow::OpenClassifier(int k)
{
    if (ClassifierWindow* window = FindClassifierWindow(k)) {
        QMdiSubWindow* sub = SubWindowOf(window);
        if (sub->isMinimized())
            sub->showNormal();
        m_mdi->setActiveSubWindow(sub);
        sub->raise();
        KeepInView(sub);
        return window;
    }
    auto* window = new ClassifierWindow(this, k);
    window->setWindowTitle(FromCp1251(Metamodel().DisplayName(k, ResKind::Classifier)));
    window->FillOutline();
    m_drag->AttachSource(window->Outline1, k);
    QMdiSubWindow* sub = addChild(window, QSize(533, 300));
    sub->show();
    KeepInView(sub);
    m_mdi->setActiveSubWindow(sub);
    return window;
}

ProjectionWindow* MainWindow::OpenProjection(int p)
{
    const auto [first, second] = TStructRes::ProjectionPair(p);
    ProjectionWindow* grid = FindProjectionWindow(p);
    ClassifierWindow* left = nullptr;
    ClassifierWindow* right = nullptr;
    if (grid) {
        left = OpenClassifier(first);
        right = OpenClassifier(second);
    } else {
        ItemList columns;
        if (!m_context.MainProject.FillItemList(first, columns, *m_prompts))
            return nullptr;
        ItemList rows;
        if (!m_context.MainProject.FillItemList(second, rows, *m_prompts))
            return nullptr;
        left = OpenClassifier(first);
        right = OpenClassifier(second);
        grid = new ProjectionWindow(this, p, *m_patterns);
        grid->setWindowTitle(FromCp1251(Metamodel().DisplayName(p, ResKind::Projection)));
        grid->SetColumns(columns);
        grid->SetRows(rows);
        addChild(grid, QSize(435, 302));
        grid->FillCells();
    }

    // The two classifiers side by side in the upper half, the grid below. The client area in
    // which the layout is reckoned holds the main toolbar too.
    const int toolbar = ToolBar1->isVisible() ? ToolBar1->height() : 0;
    const int clientWidth = m_mdi->width();
    const int clientHeight = m_mdi->height() + toolbar;
    const int w = clientWidth - 4;
    const int h = (clientHeight - toolbar - 4) / 2;
    const int half = w / 2;
    QMdiSubWindow* leftSub = SubWindowOf(left);
    QMdiSubWindow* rightSub = SubWindowOf(right);
    QMdiSubWindow* gridSub = SubWindowOf(grid);
    for (QMdiSubWindow* sub : {leftSub, rightSub, gridSub}) {
        if (sub->isMinimized() || sub->isMaximized())
            sub->showNormal();
    }
    leftSub->setGeometry(0, 0, half, h);
    rightSub->setGeometry(half, 0, half, h);
    gridSub->setGeometry(0, h, w, h);
    leftSub->show();
    rightSub->show();
    gridSub->show();
    m_mdi->setActiveSubWindow(gridSub);
    gridSub->raise();
    return grid;
}

SamplesWindow* MainWindow::FindSamplesWindow() const
{
    for (TF_Base* child : ChildWindows()) {
        if (auto* window = qobject_cast<SamplesWindow*>(child))
            return window;
    }
    return nullptr;
}

bool MainWindow::OpenSamples()
{
    TMainTreeList& samples = m_context.SamplesProject;
    if (!samples.OpenProject(*m_prompts))
        return false;
    SamplesWindow* window = FindSamplesWindow();
    QMdiSubWindow* sub = nullptr;
    if (window) {
        sub = SubWindowOf(window);
        if (sub->isMinimized())
            sub->showNormal();
    } else {
        window = new SamplesWindow(this);
        m_drag->AttachSource(window->Outline1, SamplesSourceTag);
        sub = addChild(window, QSize(533, 304));
    }
    // Filled with whatever was read, also after a format fault.
    window->setWindowTitle(FromCp1251(samples.Name()));
    window->FillOutlineAll(samples);
    sub->show();
    KeepInView(sub);
    m_mdi->setActiveSubWindow(sub);
    sub->raise();
    return true;
}

void MainWindow::ShowItemEverywhere(TTreeList* item, QWidget* source)
{
    if (!item)
        return;
    const int k = item->ClassifierIndex();
    for (TF_Base* child : ChildWindows()) {
        if (child == source)
            continue;
        if (auto* window = qobject_cast<ClassifierWindow*>(child)) {
            if (window->Tag() == k)
                window->SelectItem(item);
        } else if (auto* grid = qobject_cast<ProjectionWindow*>(child)) {
            if (grid->FirstClassifier() == k)
                grid->SelectColumnOf(item);
            if (grid->SecondClassifier() == k)
                grid->SelectRowOf(item);
        }
    }
}

void MainWindow::RepaintProjections(bool applyFont)
{
    for (TF_Base* child : ChildWindows()) {
        if (auto* grid = qobject_cast<ProjectionWindow*>(child))
            grid->Repaint();
        if (applyFont)
            child->ApplySharedFont();
    }
}

QList<ProjectionWindow*> MainWindow::projectionsShowing(int k) const
{
    QList<ProjectionWindow*> grids;
    for (TF_Base* child : ChildWindows()) {
        auto* grid = qobject_cast<ProjectionWindow*>(child);
        if (grid && (k == 0 || grid->FirstClassifier() == k || grid->SecondClassifier() == k))
            grids.push_back(grid);
    }
    return grids;
}

TTreeList* MainWindow::selectedItemOf(int k) const
{
    const ClassifierWindow* window = FindClassifierWindow(k);
    return window ? window->CurrentItem() : nullptr;
}

void MainWindow::ReleaseProjections(int k)
{
    // Also the grids of windows closed but not yet gone.
    for (ProjectionWindow* grid : m_mdi->findChildren<ProjectionWindow*>())
        grid->Release(k);
}

void MainWindow::RefreshProjections(int k)
{
    const QList<ProjectionWindow*> grids = projectionsShowing(k);
    // Only a grid that shows classifier k has anything to learn, or to say, about it.
    if (grids.isEmpty())
        return;
    // Nothing of the old rows may be painted while the message below is on screen.
    ReleaseProjections(k);
    ItemList list;
    const bool built = m_context.MainProject.FillItemList(k, list, *m_prompts);
    for (ProjectionWindow* grid : grids) {
        if (!built) {
            // A closed window goes only later; it keeps no item meanwhile.
            grid->Release(0);
            if (QMdiSubWindow* sub = SubWindowOf(grid))
                sub->close();
            continue;
        }
        if (grid->FirstClassifier() == k)
            grid->SetColumns(list);
        if (grid->SecondClassifier() == k)
            grid->SetRows(list);
        grid->FillCells();
        grid->Follow(selectedItemOf(grid->FirstClassifier()),
                     selectedItemOf(grid->SecondClassifier()));
    }
}

QList<QMdiSubWindow*> MainWindow::arrangedWindows() const
{
    QList<QMdiSubWindow*> windows;
    for (QMdiSubWindow* sub : m_mdi->subWindowList(QMdiArea::CreationOrder)) {
        if (sub->isVisible() && !sub->isMinimized())
            windows.push_back(sub);
    }
    return windows;
}

void MainWindow::tile(Qt::Orientation orientation)
{
    const QList<QMdiSubWindow*> windows = arrangedWindows();
    if (windows.isEmpty())
        return;
    const QRect area = m_mdi->viewport()->rect();
    const int n = static_cast<int>(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = windows[i];
        if (sub->isMaximized())
            sub->showNormal();
        if (orientation == Qt::Horizontal) {
            // Side by side.
            const int x0 = area.width() * i / n;
            const int x1 = area.width() * (i + 1) / n;
            sub->setGeometry(x0, 0, x1 - x0, area.height());
        } else {
            const int y0 = area.height() * i / n;
            const int y1 = area.height() * (i + 1) / n;
            sub->setGeometry(0, y0, area.width(), y1 - y0);
        }
    }
}

void MainWindow::cascade()
{
    const QList<QMdiSubWindow*> windows = arrangedWindows();
    if (windows.isEmpty())
        return;
    // Each window two thirds of the area, every next one a caption lower and to the right, so
    // that every caption stays in view; a long row starts again at the corner.
    const QRect area = m_mdi->viewport()->rect();
    const int step = windows.front()->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr,
                                                          windows.front()) + 4;
    const QSize size(std::max(area.width() * 2 / 3, std::min(area.width(), 320)),
                     std::max(area.height() * 2 / 3, std::min(area.height(), 240)));
    const int room = std::max(1, std::min((area.width() - size.width()) / step,
                                          (area.height() - size.height()) / step) + 1);
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow* sub = windows[i];
        if (sub->isMaximized())
            sub->showNormal();
        const int offset = (i % room) * step;
        sub->setGeometry(offset, offset, size.width(), size.height());
        sub->raise();
    }
    m_mdi->setActiveSubWindow(windows.back());
}

void MainWindow::fillWindowList()
{
    for (QAction* a : m_windowListActions)
        MenuWindow->removeAction(a);
    qDeleteAll(m_windowListActions);
    m_windowListActions.clear();
    if (m_windowListSeparator) {
        MenuWindow->removeAction(m_windowListSeparator);
        delete m_windowListSeparator;
        m_windowListSeparator = nullptr;
    }
    const auto windows = m_mdi->subWindowList(QMdiArea::CreationOrder);
    if (windows.isEmpty())
        return;
    m_windowListSeparator = MenuWindow->addSeparator();
    int number = 1;
    for (QMdiSubWindow* sub : windows) {
        QString caption = sub->windowTitle();
        caption.replace(QChar('&'), QStringLiteral("&&"));
        const QString text = number <= 9 ? QStringLiteral("&%1 %2").arg(number).arg(caption)
                                         : QStringLiteral("%1 %2").arg(number).arg(caption);
        QAction* a = MenuWindow->addAction(text);
        a->setCheckable(true);
        a->setChecked(sub == m_mdi->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, sub] {
            if (sub->isMinimized())
                sub->showNormal();
            m_mdi->setActiveSubWindow(sub);
        });
        m_windowListActions.push_back(a);
        ++number;
    }
}

void MainWindow::subWindowActivated(QMdiSubWindow* window)
{
    // A child window's toolbar shows only while that window is active.
    for (TF_Base* child : ChildWindows())
        child->SetToolBarVisible(SubWindowOf(child) == window);
}

void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    // The splash was shown before this window; keep it in front where no window manager does.
    if (m_splash)
        m_splash->raise();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_context.MainProject.QuerySave(*m_prompts))
        event->accept();
    else
        event->ignore();
}

}  // namespace orm
