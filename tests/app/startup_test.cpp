// The command line, the project it names, and the recent-projects list of the main window.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMenuBar>
#include <QProcess>
#include <QToolBar>
#include <QToolButton>
#include <clocale>
#include <filesystem>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/settings/programstate.h"
#include "core/text/cp1251.h"
#include "gui/kit/appcontext.h"
#include "gui/settings/splash.h"
#include "support/fakeprompts.h"
#include "support/tempdir.h"

using namespace orm;
namespace fs = std::filesystem;

namespace {

CommandLine parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("ormelit"));
    return ParseCommandLine(arguments);
}

QStringList texts(const QList<QAction*>& actions)
{
    QStringList out;
    for (QAction* a : actions)
        out << (a->isSeparator() ? QStringLiteral("|") : a->text());
    return out;
}

TEST(CommandLine, AProjectFileAndQtsOwnOptions)
{
    CommandLine line = parse({});
    EXPECT_FALSE(line.Exit);
    EXPECT_TRUE(line.ProjectFile.isEmpty());

    // A relative name is made absolute against the working folder; Qt's options pass.
    line = parse({QStringLiteral("-platform"), QStringLiteral("offscreen"),
                  QStringLiteral("планы/../план.ovx"), QStringLiteral("-style=fusion")});
    EXPECT_FALSE(line.Exit);
    EXPECT_EQ(line.ProjectFile, QDir::current().absoluteFilePath(QStringLiteral("план.ovx")));
    // After "--" a name may start with a dash.
    line = parse({QStringLiteral("--"), QStringLiteral("-старый.rem")});
    EXPECT_EQ(line.ProjectFile, QDir::current().absoluteFilePath(QStringLiteral("-старый.rem")));
}

TEST(CommandLine, HelpAndVersionAnswerAndExit)
{
    for (const char* option : {"--help", "-h", "--version", "-v"}) {
        const CommandLine line = parse({QString::fromLatin1(option), QStringLiteral("x.ovx")});
        EXPECT_TRUE(line.Exit) << option;
        EXPECT_EQ(line.ExitCode, 0) << option;
        EXPECT_TRUE(line.Error.isEmpty()) << option;
        EXPECT_TRUE(line.ProjectFile.isEmpty()) << option;
    }
    EXPECT_TRUE(parse({QStringLiteral("--help")}).Output.startsWith(
        QStringLiteral("Использование: ormelit [ПАРАМЕТРЫ] [ФАЙЛ]\n")));
    EXPECT_TRUE(parse({QStringLiteral("--version")}).Output.startsWith(QStringLiteral("ormelit ")));
}

TEST(CommandLine, BadArgumentsExplainAndExitWithTwo)
{
    CommandLine line = parse({QStringLiteral("a.ovx"), QStringLiteral("b.ovx")});
    EXPECT_TRUE(line.Exit);
    EXPECT_EQ(line.ExitCode, 2);
    EXPECT_TRUE(line.Output.isEmpty());
    EXPECT_TRUE(line.Error.startsWith(
        QStringLiteral("ormelit: можно открыть только один файл проекта, а названо 2: a.ovx, b.ovx.")));

    line = parse({QStringLiteral("--bogus=1"), QStringLiteral("a.ovx")});
    EXPECT_EQ(line.ExitCode, 2);
    EXPECT_TRUE(line.Error.startsWith(QStringLiteral("ormelit: неизвестный параметр «--bogus».")));
    EXPECT_TRUE(line.ProjectFile.isEmpty());

    // A Qt option without its value.
    EXPECT_EQ(parse({QStringLiteral("-platform")}).ExitCode, 2);
    EXPECT_EQ(parse({QString()}).ExitCode, 2);
}

// Qt alone takes the Russian locale: the environment that started programs inherit and the C
// library's locale are the user's again once the application object is made.
TEST(RussianLocale, EverythingButQtIsLeftAsTheUserHadIt)
{
    const QByteArray all = qgetenv("LC_ALL"), time = qgetenv("LC_TIME"), lang = qgetenv("LANG");
    const bool hadAll = qEnvironmentVariableIsSet("LC_ALL");
    const bool hadTime = qEnvironmentVariableIsSet("LC_TIME");
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("LC_TIME");
    const std::string before = std::setlocale(LC_ALL, "");
    {
        RussianSystemLocale russian;
        EXPECT_FALSE(qEnvironmentVariableIsSet("LC_ALL"));
        EXPECT_EQ(qgetenv("LC_TIME"), "ru_RU.UTF-8");
        EXPECT_EQ(qgetenv("LANG"), "C.UTF-8");
        std::setlocale(LC_ALL, "");  // as the application object does
        russian.Restore();
        EXPECT_EQ(qgetenv("LC_ALL"), "C.UTF-8");
        EXPECT_FALSE(qEnvironmentVariableIsSet("LC_TIME"));
        EXPECT_EQ(qgetenv("LANG"), lang);
        EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), before);
    }
    EXPECT_EQ(qgetenv("LC_ALL"), "C.UTF-8");
    hadAll ? qputenv("LC_ALL", all) : qunsetenv("LC_ALL");
    hadTime ? qputenv("LC_TIME", time) : qunsetenv("LC_TIME");
}

TEST(CommandLine, TheProgramAnswersWithoutADisplay)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    const auto run = [&](const QStringList& args, QString* out, QString* err) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(ORMELIT_GUI_PATH), args);
        EXPECT_TRUE(process.waitForFinished(60000));
        *out = QString::fromUtf8(process.readAllStandardOutput());
        *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    QString out, err;
    EXPECT_EQ(run({QStringLiteral("--version")}, &out, &err), 0);
    EXPECT_TRUE(out.startsWith(QStringLiteral("ormelit 0.")));
    EXPECT_EQ(run({QStringLiteral("a.ovx"), QStringLiteral("b.ovx")}, &out, &err), 2);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(err.contains(QStringLiteral("только один файл")));
}

// A main window over a settings file of the test's own.
class StartupWindow : public ::testing::Test {
protected:
    void create(const std::string& ini, int titleTime = 0)
    {
        window.reset();
        context = std::make_unique<AppContext>();
        context->Settings.SettingsFileName = dir.write("ormelit.INI", ini);
        context->Settings.TitleTime = titleTime;
        LoadProgramState(context->State, stateFile(), {context->Settings.SettingsFileName});
        window = std::make_unique<MainWindow>(*context, &prompts);
        window->resize(1000, 700);
        window->show();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        window.reset();
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<TViewForm*>(w))
                delete w;
        }
        EXPECT_TRUE(prompts.allAnswersUsed());
    }
    TMainTreeList& project() { return context->MainProject; }
    std::string settingsText() { return test::TempDir::read(context->Settings.SettingsFileName); }
    std::string stateFile() const { return dir.path("state/ormelit/state.ini"); }
    std::string plan(const std::string& name, const std::string& projectName)
    {
        return dir.write(name, ToCp1251("0 " + projectName + "\r\n1 Направление\r\n"));
    }

    test::TempDir dir;
    test::FakePrompts prompts;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<MainWindow> window;
};

TEST_F(StartupWindow, TheNamedProjectOpensAtOnceBehindTheSplash)
{
    const std::string path = plan("завод.ovx", "Завод");
    create("", 5);
    TViewForm* splash = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* form = qobject_cast<TViewForm*>(w))
            splash = form;
    }
    ASSERT_TRUE(splash);
    window->OpenAtStart(QString::fromStdString(path));
    QApplication::processEvents();
    EXPECT_TRUE(splash->isVisible());
    EXPECT_EQ(project().FileName(), path);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Завод - Ормелит"));
    EXPECT_FALSE(project().Modified());
    EXPECT_TRUE(prompts.shown.empty());
    EXPECT_EQ(window->Recent().Paths(), std::vector<std::string>{path});
}

TEST_F(StartupWindow, ADamagedOrMissingFileFromTheCommandLine)
{
    create("");
    // Damaged: the message and the state of File → Open.
    const std::string bad = dir.write("bad.ovx", ToCp1251("0 Завод\r\n1 x\r\n1.7.1 b\r\n"));
    window->OpenAtStart(QString::fromStdString(bad));
    QApplication::processEvents();
    EXPECT_EQ(prompts.informs(), std::vector<std::string>{"Не верный формат проекта!"});
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Завод - Ормелит"));
    EXPECT_EQ(project().FileName(), bad);
    EXPECT_FALSE(project().Modified());

    // Missing: said so, and the project stays as it was.
    prompts.shown.clear();
    const std::string missing = dir.path("нет.ovx");
    window->OpenAtStart(QString::fromStdString(missing));
    QApplication::processEvents();
    EXPECT_EQ(prompts.informs(), std::vector<std::string>{"Файл «" + missing + "» не найден."});
    EXPECT_EQ(project().FileName(), bad);
}

TEST_F(StartupWindow, RecentProjectsFollowOpensAndSaves)
{
    create("[GRIDS]\r\nUSE_HINT=yes\r\n");
    const std::string a = plan("a.ovx", "А");
    const std::string b = plan("b.ovx", "Б");
    EXPECT_FALSE(window->MenuRecent->menuAction()->isEnabled());

    prompts.queueOpen(a);
    window->FileOpen1->trigger();
    prompts.queueOpen(b);
    window->FileOpen1->trigger();
    prompts.queueSave(dir.path("c.ovx"));
    window->FileSaveAs1->trigger();
    const std::string c = dir.path("c.ovx");
    EXPECT_EQ(window->Recent().Paths(), (std::vector<std::string>{c, b, a}));
    EXPECT_EQ(test::TempDir::read(stateFile()), "[RECENT_FILES]\r\nFILE1=" + c + "\r\nFILE2=" +
                                                    b + "\r\nFILE3=" + a + "\r\n");
    EXPECT_EQ(settingsText(), "[GRIDS]\r\nUSE_HINT=yes\r\n");

    // Shown newest first; a file gone since is dropped when the list is shown.
    fs::remove(b);
    emit window->MenuRecent->aboutToShow();
    QApplication::processEvents();
    const QStringList entries = texts(window->MenuRecent->actions());
    EXPECT_EQ(entries, (QStringList{QStringLiteral("&1 ") + QString::fromStdString(c),
                                    QStringLiteral("&2 ") + QString::fromStdString(a)}));

    // Choosing one opens it as File → Open would, with the save query first.
    project().SetModified(true);
    prompts.queueAnswer(Prompts::Answer::No);
    window->MenuRecent->actions().at(1)->trigger();
    QApplication::processEvents();
    EXPECT_EQ(project().FileName(), a);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("А - Ормелит"));
    EXPECT_EQ(window->Recent().Paths(), (std::vector<std::string>{a, c}));

    // The next start offers the same list, also on the Open button's arrow.
    create(settingsText());
    EXPECT_EQ(settingsText(), "[GRIDS]\r\nUSE_HINT=yes\r\n");
    EXPECT_EQ(window->Recent().Paths(), (std::vector<std::string>{a, c}));
    auto* open = qobject_cast<QToolButton*>(window->ToolBar1->widgetForAction(window->FileOpen1));
    ASSERT_TRUE(open);
    EXPECT_EQ(open->menu(), window->MenuRecent);
    EXPECT_EQ(open->popupMode(), QToolButton::MenuButtonPopup);
}

TEST_F(StartupWindow, ExtraMenuPositionsLandWhereTheyDid)
{
    // Positions counted against the File menu as it has always been: twelve entries.
    create(ToCp1251("[EXTRAMENU1]\r\nNAME=После сохранения\r\nPOSITION=1.5\r\n"
                    "[EXTRAMENU2]\r\nNAME=После выхода\r\nPOSITION=1.14\r\n"
                    "[EXTRAMENU3]\r\nNAME=Перед названием\r\nPOSITION=1.7\r\n"
                    "[EXTRAMENU4]\r\nNAME=На панели\r\nPOSITION=2\r\n"));
    EXPECT_EQ(texts(window->MenuFile->actions()),
              (QStringList{"&Новый", "&Открыть ...", "&Сохранить", "Сохранить &как ...",
                           "После сохранения", "После&дние проекты", "|",
                           "Перед названием", "Название проек&Та ...", "|",
                           "Открыть &Пример ...", "|", "Опубликовать в &HTML…", "|",
                           "&Установки ...", "|", "Вы&ход", "После выхода"}));
    EXPECT_EQ(window->menuBar()->actions().at(1)->text(), QStringLiteral("На панели"));
}

}  // namespace
