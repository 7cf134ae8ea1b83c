#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include "app/startup.h"
#include "core/model/projectedits.h"
#include "gui/classifier/classifierwindow.h"
#include "support/guifixture.h"
#include "support/tempdir.h"

using namespace orm;
using orm::test::MainWindowTest;

namespace {

QStringList menuTitles(MainWindow& window)
{
    QStringList out;
    for (QAction* a : window.menuBar()->actions())
        out << a->text();
    return out;
}

}  // namespace

TEST_F(MainWindowTest, CaptionComesFromProjectAndConfiguredTitle)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Новый проект - Ормелит"));
    EXPECT_EQ(ToUtf8(context->Settings.AppCaption), "Ормелит");
    create("Регламент 2.0");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Новый проект - Регламент 2.0"));

    prompts.queueInput("Моя компания");
    window->FilePrjName->trigger();
    // Unsaved: marked; undone back to the saved state: not.
    EXPECT_EQ(window->windowTitle(), QStringLiteral("*Моя компания - Регламент 2.0"));
    EXPECT_TRUE(project().Modified());
    window->EditUndo1->trigger();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Новый проект - Регламент 2.0"));
    EXPECT_FALSE(project().Modified());
}

TEST_F(MainWindowTest, MenusAndToolbarAreInPlace)
{
    EXPECT_EQ(menuTitles(*window),
              (QStringList{"&Файл", "&Правка", "&Классификаторы", "&Матрицы", "О&тчеты", "&Окна",
                           "&Справка"}));
    window->BuildMenu();
    EXPECT_EQ(menuTitles(*window),
              (QStringList{"&Файл", "&Правка", "&Классификаторы", "&Матрицы", "О&тчеты", "&Окна",
                           "&Справка"}));
    QMenu* classifiers = window->menuBar()->actions().at(2)->menu();
    ASSERT_EQ(classifiers->actions().size(), 4);
    EXPECT_EQ(classifiers->actions().at(3)->text(), QStringLiteral("Структурные звенья"));
    EXPECT_EQ(classifiers->actions().at(3)->data().toInt(), 104);

    QStringList tools;
    for (QAction* a : window->ToolBar1->actions())
        tools << (a->isSeparator() ? QStringLiteral("|") : a->objectName());
    EXPECT_EQ(tools, (QStringList{"FileNew1", "FileOpen1", "FileSave1", "|", "EditUndo1",
                                  "EditRedo1", "EditFind1", "|", "WindowTileVertically1", "WindowTileHorizontally1",
                                  "WindowCascade1", "|", "HelpHelp1", "|", "FileExit1"}));
    EXPECT_EQ(window->FileNew1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_N));
    EXPECT_EQ(window->FilePrjName->text(), QStringLiteral("Название проек&Та ..."));
    EXPECT_EQ(window->WindowTileHorizontally1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_G));
    EXPECT_EQ(window->HelpHelp1->shortcut(), QKeySequence(Qt::Key_F1));
}

TEST_F(MainWindowTest, OneWindowPerClassifierRestoredWhenMinimized)
{
    ClassifierWindow* first = window->OpenClassifier(2);
    EXPECT_EQ(first->windowTitle(), QStringLiteral("Основные и обеспечивающие процессы/функции"));
    QMdiSubWindow* sub = window->SubWindowOf(first);
    EXPECT_EQ(sub->size(), QSize(533, 300));
    sub->showMinimized();
    window->OpenClassifier(4);
    EXPECT_EQ(window->OpenClassifier(2), first);
    EXPECT_FALSE(sub->isMinimized());
    EXPECT_EQ(window->MdiArea()->activeSubWindow(), sub);
    EXPECT_EQ(window->ChildWindows().size(), 2);
}

TEST_F(MainWindowTest, MetamodelMenuOpensClassifiers)
{
    QMenu* classifiers = window->menuBar()->actions().at(2)->menu();
    classifiers->actions().at(0)->trigger();
    ASSERT_NE(window->FindClassifierWindow(1), nullptr);
    EXPECT_EQ(window->FindClassifierWindow(1)->Outline1->model()->index(0, 0).data().toString(),
              QStringLiteral("1 Бизнес-направления"));
}

TEST_F(MainWindowTest, NewProjectClosesChildWindowsUnlessCancelled)
{
    ClassifierWindow* a = window->OpenClassifier(1);
    a->Outline1->setCurrentIndex(a->Outline1->model()->index(0, 0));
    prompts.queueInput("Розница");
    a->ActionAdd->trigger();
    ASSERT_TRUE(project().Modified());

    prompts.queueAnswer(Prompts::Answer::Cancel);
    window->FileNew1->trigger();
    EXPECT_EQ(window->ChildWindows().size(), 1);
    EXPECT_EQ(project().TreeByIndex(1)->Count(), 1);

    prompts.queueAnswer(Prompts::Answer::No);
    window->FileNew1->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(window->ChildWindows().isEmpty());
    EXPECT_EQ(project().TreeByIndex(1)->Count(), 0);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Новый проект - Ормелит"));
}

TEST_F(MainWindowTest, OpenResetsWindowsEvenAfterAFormatFault)
{
    test::TempDir dir;
    const std::string path = dir.write("bad.ovx", ToCp1251("0 Завод\r\n1 x\r\n1.1 a\r\n1.7.1 b\r\n"));
    window->OpenClassifier(3);
    prompts.queueOpen(path);
    window->FileOpen1->trigger();
    EXPECT_EQ(prompts.informs(), (std::vector<std::string>{"Не верный формат проекта!"}));
    EXPECT_TRUE(window->ChildWindows().isEmpty());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Завод - Ормелит"));

    window->OpenClassifier(1);
    prompts.queueOpen(std::nullopt);
    window->FileOpen1->trigger();
    EXPECT_EQ(window->ChildWindows().size(), 1);
}

TEST_F(MainWindowTest, SaveAndSaveAsGoThroughTheProject)
{
    test::TempDir dir;
    project().TreeByIndex(4)->AddChild("u");
    prompts.queueSave(dir.path("plan.txt"));
    prompts.queueConfirm(true);
    window->FileSave1->trigger();  // no file name yet: save as
    EXPECT_EQ(project().FileName(), dir.path("plan.ovx"));
    EXPECT_FALSE(project().Modified());
    project().TreeByIndex(4)->AddChild("v");
    window->FileSave1->trigger();
    EXPECT_NE(test::TempDir::read(dir.path("plan.ovx")).find("4.2 v"), std::string::npos);
}

TEST_F(MainWindowTest, CloseQueryFollowsTheAnswer)
{
    test::TempDir dir;
    project().TreeByIndex(1)->AddChild("a");

    prompts.queueAnswer(Prompts::Answer::Cancel);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());

    prompts.queueAnswer(Prompts::Answer::Yes);
    prompts.queueSave(std::nullopt);  // the save is cancelled: stay
    EXPECT_FALSE(window->close());

    prompts.queueAnswer(Prompts::Answer::Yes);
    prompts.queueSave(dir.path("done.ovx"));
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(project().Modified());

    window->show();
    project().TreeByIndex(1)->AddChild("b");
    prompts.queueAnswer(Prompts::Answer::No);
    window->FileExit1->trigger();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, TilingPutsWindowsSideBySideOrStacked)
{
    window->OpenClassifier(1);
    window->OpenClassifier(4);
    window->WindowTileVertically1->trigger();
    const auto subs = window->MdiArea()->subWindowList(QMdiArea::CreationOrder);
    const int w = window->MdiArea()->viewport()->width();
    EXPECT_EQ(subs[0]->geometry().left(), 0);
    EXPECT_EQ(subs[1]->geometry().left(), w / 2);
    EXPECT_EQ(subs[0]->geometry().top(), subs[1]->geometry().top());
    window->WindowTileHorizontally1->trigger();
    EXPECT_EQ(subs[0]->geometry().left(), subs[1]->geometry().left());
    EXPECT_GT(subs[1]->geometry().top(), subs[0]->geometry().top());

    window->WindowCloseAll1->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(window->ChildWindows().isEmpty());
}

TEST_F(MainWindowTest, CascadeGivesUsableWindowsWithEveryCaptionInView)
{
    for (int k = 1; k <= 4; ++k)
        window->OpenClassifier(k);
    window->WindowCascade1->trigger();
    const QRect area = window->MdiArea()->viewport()->rect();
    const auto subs = window->MdiArea()->subWindowList(QMdiArea::CreationOrder);
    for (int i = 0; i < subs.size(); ++i) {
        const QRect g = subs[i]->geometry();
        EXPECT_GE(g.width(), area.width() / 2) << i;
        EXPECT_GE(g.height(), area.height() / 2) << i;
        EXPECT_TRUE(area.contains(g)) << i;
        if (i > 0) {
            EXPECT_GT(g.top(), subs[i - 1]->geometry().top()) << i;
            EXPECT_GT(g.left(), subs[i - 1]->geometry().left()) << i;
        }
    }
    EXPECT_EQ(window->MdiArea()->activeSubWindow(), subs.back());
}

TEST_F(MainWindowTest, ShortcutsReadInRussianConsistently)
{
    InstallTranslations(*qApp);
    const auto text = [](const QKeySequence& k) {
        return k.toString(QKeySequence::NativeText).toStdString();
    };
    EXPECT_EQ(text(QKeySequence(Qt::Key_Return)), "Ввод");
    EXPECT_EQ(text(QKeySequence(Qt::CTRL | Qt::Key_Return)), "Ctrl+Ввод");
    EXPECT_EQ(text(QKeySequence(Qt::Key_Insert)), "Ins");
    if (text(QKeySequence(Qt::Key_Space)) == "Space")
        GTEST_SKIP() << "Qt's Russian translation is not installed";
    EXPECT_EQ(text(QKeySequence(Qt::SHIFT | Qt::Key_Up)), "Shift+Вверх");
}

TEST_F(MainWindowTest, EditMenuNamesTheStepAndTheUsualKeysWork)
{
    QStringList entries;
    for (QAction* a : window->MenuEdit->actions())
        entries << (a->isSeparator() ? QStringLiteral("|") : a->text());
    EXPECT_EQ(entries, (QStringList{"Отменить", "Повторить", "|", "Найти ...", "Найти далее",
                                    "Найти назад", "|", "Копировать элементы\tCtrl+C",
                                    "Вставить элементы\tShift+Ins"}));
    const auto keys = [](QAction* a) { return a->shortcut().toString(QKeySequence::PortableText); };
    EXPECT_EQ(keys(window->EditUndo1), QStringLiteral("Ctrl+Z"));
    EXPECT_EQ(keys(window->EditRedo1), QStringLiteral("Ctrl+Shift+Z"));
    EXPECT_EQ(keys(window->EditFind1), QStringLiteral("Ctrl+F"));
    EXPECT_EQ(keys(window->FindNext1), QStringLiteral("F3"));
    EXPECT_EQ(keys(window->FindPrevious1), QStringLiteral("Shift+F3"));
    EXPECT_EQ(keys(window->FileExit1), QStringLiteral("Ctrl+Q"));
    EXPECT_EQ(keys(window->WindowClose1), QStringLiteral("Ctrl+W"));

    // The captions name the step as the hints do; an "&" in a name is no access key.
    prompts.queueInput("Сбыт & снабжение");
    window->FilePrjName->trigger();
    EXPECT_EQ(window->EditUndo1->toolTip(), QStringLiteral("Отменить: название проекта"));
    EXPECT_EQ(window->EditUndo1->text(), window->EditUndo1->toolTip());
    window->EditUndo1->trigger();
    EXPECT_EQ(window->EditUndo1->text(), QStringLiteral("Отменить"));
    EXPECT_EQ(window->EditRedo1->text(), QStringLiteral("Повторить: название проекта"));
    TTreeList* item = ProjectEdits::AddItem(project().TreeByIndex(1), ToCp1251("Опт & розница"));
    window->OpenClassifier(1);
    ProjectEdits::RenameItem(item, ToCp1251("Опт & розница " + std::string(200, 'x')));
    const QString undo = window->EditUndo1->text();
    EXPECT_TRUE(undo.startsWith(QStringLiteral("Отменить: переименование «1.1 Опт && розница")))
        << undo.toStdString();
    EXPECT_LT(undo.size(), 90);

    // Ctrl+W closes the active child window; Ctrl+Q asks as closing the window does.
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    ASSERT_EQ(window->ChildWindows().size(), 1);
    QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
    QApplication::processEvents();
    EXPECT_TRUE(window->ChildWindows().isEmpty());
    prompts.queueAnswer(Prompts::Answer::Cancel);
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(prompts.shown.back(), "ask: Проект изменен. Сохранить?");
}
