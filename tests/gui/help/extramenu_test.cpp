#include <gtest/gtest.h>

#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/text/cp1251.h"
#include "gui/help/extramenu.h"
#include "gui/help/mainwindowfixture.h"
#include "gui/help/runprogram.h"
#include "support/tempdir.h"

namespace orm {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

QStringList texts(const QList<QAction*>& actions)
{
    QStringList out;
    for (QAction* a : actions)
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

using ExtraMenuWindow = test::HelpMainWindowTest;

TEST_F(ExtraMenuWindow, ItemsGoWhereTheySayAndRunTheirPrograms)
{
    // A program that notes its folder and arguments, in a folder with a blank in its name.
    test::TempDir dir;
    const std::string work = dir.path("рабочая папка");
    fs::create_directories(work);
    std::ofstream(work + "/tool") << "#!/bin/sh\npwd -P > ran.tmp; echo \"$1|$2\" >> ran.tmp\n"
                                     "mv ran.tmp ran\n";
    fs::permissions(work + "/tool", fs::perms(0755));

    const std::string ini = dir.write(
        "o.INI", ToCp1251("[EXTRAMENU1]\r\nNAME=Запуск\r\nPOSITION=1.3\r\nFILE=./tool\r\n"
                          "PARAM=\"первый параметр\" ;второй\r\nCATALOG=" + work + "\r\n"
                          "[EXTRAMENU2]\r\nNAME=Пусто\r\nPOSITION=2\r\n"
                          // The bar is now Файл, Пусто, Классификаторы, ...
                          "[EXTRAMENU3]\r\nNAME=Нет файла\r\nPOSITION=3.1.1\r\n"
                          "FILE=C:\\Program Files\\x.exe\r\n"
                          "[EXTRAMENU4]\r\nNAME=Нет папки\r\nPOSITION=3.1.2\r\n"
                          "FILE=/no/dir/x\r\n"));
    // Loaded as at start-up: the Edit menu and the recent projects come after the extra
    // entries, so the positions count only the menus that settings files know.
    window.reset();
    context->Settings.SettingsFileName = ini;
    window = std::make_unique<MainWindow>(*context, &prompts);

    EXPECT_EQ(window->MenuFile->actions().at(2)->text(), QStringLiteral("Запуск"));
    EXPECT_EQ(window->MenuFile->actions().at(5)->menu(), window->MenuRecent);
    const QList<QAction*> bar = window->menuBar()->actions();
    EXPECT_EQ(bar[1]->text(), QStringLiteral("Пусто"));
    EXPECT_EQ(bar[2]->menu(), window->MenuEdit);
    EXPECT_EQ(bar[3]->text(), QStringLiteral("&Классификаторы"));
    // The first classifier's command became a submenu holding two new items.
    QAction* first = bar[3]->menu()->actions().at(0);
    EXPECT_EQ(first->text(), QStringLiteral("Бизнес-направления"));
    ASSERT_TRUE(first->menu());
    EXPECT_EQ(texts(first->menu()->actions()), (QStringList{"Нет файла", "Нет папки"}));

    window->MenuFile->actions().at(2)->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(work + "/ran"); }, 5000));
    EXPECT_EQ(test::TempDir::read(work + "/ran"),
              fs::canonical(work).string() + "\nпервый параметр|;второй\n");
    // Without FILE nothing happens; failures show the shell's message and nothing else.
    bar[1]->trigger();
    EXPECT_TRUE(prompts.shown.empty());
    first->menu()->actions().at(0)->trigger();
    first->menu()->actions().at(1)->trigger();
    EXPECT_EQ(prompts.errors(), (std::vector<std::string>{"Файл не найден", "Путь не найден"}));
}

// Notes its working folder and arguments (NUL-separated) in record-<name> beside itself, and
// one line per run in runs-<name>.
const char* const kRecorder =
    "#!/bin/sh\nout=\"$(dirname \"$0\")/record-$(basename \"$0\")\"\n"
    "echo run >> \"$(dirname \"$0\")/runs-$(basename \"$0\")\"\n"
    "{ pwd -P; for a in \"$@\"; do printf '%s\\0' \"$a\"; done; } > \"$out.tmp\"\n"
    "mv \"$out.tmp\" \"$out\"\n";

struct Record {
    std::string cwd;
    std::vector<std::string> args;
};

// Fake xdg-open (a recorder) and xdg-mime first on PATH; files in folders whose names have
// blanks and Cyrillic letters.
class RunProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        script(bin() + "/xdg-open", kRecorder);
        mimeAnswers("");
        qputenv("PATH", QByteArray::fromStdString(bin()) + ":" + m_path);
    }
    void TearDown() override { qputenv("PATH", m_path); }

    std::string bin() const { return dir.path("fake bin"); }
    std::string script(const std::string& path, const std::string& text) const
    {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
        fs::permissions(path, fs::perms(0755));
        return path;
    }
    // The fake xdg-mime notes each question and names this program for every type.
    void mimeAnswers(const std::string& desktopFile) const
    {
        script(bin() + "/xdg-mime", "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/asked\"\n"
                                    "echo '" + desktopFile + "'\n");
    }
    static std::optional<Record> waitForRecord(const std::string& file)
    {
        if (!QTest::qWaitFor([&] { return fs::exists(file); }, 5000))
            return std::nullopt;
        const std::string bytes = TempDir::read(file);
        Record r{bytes.substr(0, bytes.find('\n')), {}};
        for (auto at = bytes.find('\n') + 1; at < bytes.size(); at = bytes.find('\0', at) + 1)
            r.args.push_back(bytes.substr(at, bytes.find('\0', at) - at));
        return r;
    }
    static int codeOf(const std::string& file, const std::string& params, const std::string& d)
    {
        try {
            RunProgram(ToCp1251(file), ToCp1251(params), ToCp1251(d));
        } catch (const ERunPrgError& e) {
            return e.Code();
        }
        return 0;
    }

    TempDir dir;
    const QByteArray m_path = qgetenv("PATH");
};

TEST_F(RunProgramTest, ProgramGetsItsFolderAndParametersUnchanged)
{
    script(dir.path("мои программы/запись"), kRecorder);
    const std::string work = dir.path("рабочая папка");
    fs::create_directories(work);
    // S4: blanks, quotes and every character a shell would act upon.
    EXPECT_EQ(codeOf(dir.path("мои программы/запись"),
                     "a \"b c\" $HOME;echo x|cat >out *.txt 'q' `id` $(id) & "
                     "\"say \"\"hi\"\"\" \"Привет, мир\" C:\\dir\\f.txt",
                     work),
              0);
    const auto record = waitForRecord(dir.path("мои программы/record-запись"));
    ASSERT_TRUE(record);
    EXPECT_EQ(record->cwd, fs::canonical(work).string());
    EXPECT_EQ(record->args, (std::vector<std::string>{"a", "b c", "$HOME;echo", "x|cat", ">out",
                                                      "*.txt", "'q'", "`id`", "$(id)", "&",
                                                      "say \"hi\"", "Привет, мир",
                                                      "C:\\dir\\f.txt"}));
    EXPECT_FALSE(fs::exists(work + "/out"));
}

TEST_F(RunProgramTest, DocumentOpensInItsProgramOnlyWhenThereIsOne)
{
    const std::string work = dir.path("рабочая папка");
    fs::create_directories(work);
    const std::string doc = dir.write("рабочая папка/отчёт.txt", "text");
    const std::string opened = bin() + "/record-xdg-open";

    // S5: no program for the type: nothing is started.
    EXPECT_EQ(codeOf("отчёт.txt", "-x", work), kShellNoAssociation);
    EXPECT_EQ(TempDir::read(bin() + "/asked"), "query default text/plain\n");

    // S6: with one, xdg-open gets the absolute path (and no parameters) in the folder.
    mimeAnswers("org.example.Editor.desktop");
    EXPECT_EQ(codeOf("отчёт.txt", "-x", work), 0);
    const auto record = waitForRecord(opened);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->args, std::vector<std::string>{doc});
    EXPECT_EQ(record->cwd, fs::canonical(work).string());
    // Started in order, a program S5 had started would have run before this one.
    EXPECT_EQ(TempDir::read(bin() + "/runs-xdg-open"), "run\n");

    // Without xdg-open and xdg-mime there is no program for anything.
    qputenv("PATH", QByteArray::fromStdString(work));
    EXPECT_EQ(codeOf(doc, "", ""), kShellNoAssociation);
}

TEST_F(RunProgramTest, FailuresCarryTheShellCodes)
{
    // S7: executable, but not a program.
    const std::string garbage =
        script(dir.path("garbage"), std::string("\x01\x02garbage\0\xFF", 11));
    EXPECT_EQ(codeOf(garbage, "", ""), kShellBadFormat);
    EXPECT_EQ(codeOf(dir.path("none"), "", ""), kShellFileNotFound);
    EXPECT_EQ(codeOf(garbage, "", dir.path("no folder")), kShellPathNotFound);
}

TEST_F(RunProgramTest, AddressesGoToTheDesktopsUrlHandler)
{
    std::vector<std::string> opened;
    bool takes = true;
    SetUrlOpener([&](const QUrl& url) {
        opened.push_back(url.toString().toStdString());
        return takes;
    });
    EXPECT_EQ(codeOf("https://example.org/справка?a=1", "ignored", dir.path("no folder")), 0);
    EXPECT_EQ(codeOf("mailto:office@example.org", "", ""), 0);
    // A drive letter is no scheme: the path is checked as a path.
    EXPECT_EQ(codeOf("C:/program.exe", "", ""), kShellPathNotFound);
    takes = false;
    EXPECT_EQ(codeOf("foo:bar", "", ""), kShellNoAssociation);
    SetUrlOpener({});
    EXPECT_EQ(opened, (std::vector<std::string>{"https://example.org/справка?a=1",
                                                "mailto:office@example.org", "foo:bar"}));
}

}  // namespace
}  // namespace orm
