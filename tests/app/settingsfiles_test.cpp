// Whole runs of the program against its files: the settings file is the administrator's and the
// user's, not the program's to write; what the program remembers goes to its state file; an
// installed program writes nothing beside its executable.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QApplication>
#include <QMenuBar>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/mainwindow.h"
#include "app/startup.h"
#include "core/text/cp1251.h"
#include "gui/kit/appcontext.h"
#include "gui/organigram/organigramwindow.h"
#include "gui/report/reportviewer.h"
#include "support/fakeprompts.h"
#include "support/scopedenv.h"
#include "support/tempdir.h"

using namespace orm;
namespace fs = std::filesystem;

namespace {

// A file as a reader would notice a rewrite: its bytes, inode and modification time.
struct FileMark {
    std::string bytes;
    ino_t inode = 0;
    timespec modified{};
    static FileMark Of(const std::string& path)
    {
        FileMark mark{test::TempDir::read(path)};
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            mark.inode = st.st_ino;
            mark.modified = st.st_mtim;
        }
        return mark;
    }
    bool operator==(const FileMark& o) const
    {
        return bytes == o.bytes && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

std::set<std::string> namesIn(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

// A prefix as `cmake --install` leaves it (with the marker) or a build folder (without), the
// administrator's ormelit.INI beside the executable as an earlier version left it, and the
// user's configuration and state folders.
class ProgramRun : public ::testing::TestWithParam<bool> {
protected:
    ProgramRun()
        : bin(dir.path("prefix/bin")), exe(bin + "/ormelit"), admin(bin + "/ormelit.INI"),
          stateFile(dir.path("state/ormelit/state.ini")), plan(dir.path("Планы/завод.ovx")),
          config("XDG_CONFIG_HOME", dir.path("config")), state("XDG_STATE_HOME", dir.path("state"))
    {
        fs::create_directories(bin);
        fs::create_directories(fs::path(plan).parent_path());
        dir.write("prefix/bin/ormelit", "");
        dir.write("Планы/завод.ovx", ToCp1251("0 Завод\r\n1 Направление\r\n4 Дирекция\r\n"));
        if (GetParam()) {
            const std::string marker = InstallMarkerFor(exe);
            fs::create_directories(fs::path(marker).parent_path());
            std::ofstream(marker) << "installed\n";
        }
        dir.write("prefix/bin/ormelit.INI",
                  ToCp1251("; the administrator's\r\n[TITLE]\r\nTIME=0\r\n"
                           "[EXTRAMENU1]\r\nNAME=Калькулятор\r\nPOSITION=2\r\n"
                           "[RECENT_FILES]\r\nFILE1=" + plan + "\r\n"
                           "[WINDOWS]\r\nTF_RTF_WIDTH=620\r\nTF_RTF_HEIGHT=430\r\n"));
    }
    void TearDown() override
    {
        window.reset();
        EXPECT_TRUE(prompts.allAnswersUsed());
    }

    void start()
    {
        window.reset();
        context = std::make_unique<AppContext>();
        LoadStartupSettings(*context, exe);
        window = std::make_unique<MainWindow>(*context, &prompts);
        window->resize(1000, 700);
        window->show();
        QApplication::processEvents();
    }
    // Open, edit and save a project; size and close the report viewer and the organigram window;
    // quit.
    void work()
    {
        prompts.queueOpen(plan);
        window->FileOpen1->trigger();
        prompts.queueInput("Новый завод");
        window->FilePrjName->trigger();
        ASSERT_TRUE(context->MainProject.Modified());
        window->FileSave1->trigger();
        ASSERT_FALSE(context->MainProject.Modified());
        {
            ReportViewer viewer(prompts, nullptr, window.get());
            EXPECT_EQ(viewer.size(), QSize(620, 430));  // as an earlier version kept it
            viewer.show();
            viewer.resize(700, 500);
            viewer.ActionExit->trigger();
            OrganigramWindow organigram(prompts, window.get());
            organigram.show();
            organigram.resize(640, 450);
            organigram.ActionExit->trigger();
        }
        window->close();
        QApplication::processEvents();
        window.reset();
        context.reset();
    }
    QStringList menuTitles() const
    {
        QStringList titles;
        for (QAction* a : window->menuBar()->actions())
            titles << a->text();
        return titles;
    }

    test::TempDir dir;
    std::string bin, exe, admin, stateFile, plan;
    test::ScopedEnv config, state;
    test::FakePrompts prompts;
    std::unique_ptr<AppContext> context;
    std::unique_ptr<MainWindow> window;
};

TEST_P(ProgramRun, AWorkingRunLeavesTheSettingsFileAsItWas)
{
    const FileMark before = FileMark::Of(admin);
    start();
    // Taken over from where an earlier version kept them; the extra menu from beside.
    EXPECT_EQ(window->Recent().Paths(), std::vector<std::string>{plan});
    EXPECT_TRUE(menuTitles().contains(QStringLiteral("Калькулятор")));
    ASSERT_NO_FATAL_FAILURE(work());

    EXPECT_TRUE(FileMark::Of(admin) == before);
    EXPECT_EQ(namesIn(bin), (std::set<std::string>{"ormelit", "ormelit.INI"}));
    EXPECT_FALSE(fs::exists(dir.path("config")));
    EXPECT_EQ(test::TempDir::read(stateFile),
              "[RECENT_FILES]\r\nFILE1=" + plan + "\r\n[WINDOWS]\r\nTF_RTF_WIDTH=700\r\n"
              "TF_RTF_HEIGHT=500\r\nTF_WMF_WIDTH=640\r\nTF_WMF_HEIGHT=450\r\n");

    // The next run has them from the state file, and leaves everything as it was once more.
    const FileMark kept = FileMark::Of(stateFile);
    start();
    EXPECT_EQ(window->Recent().Paths(), std::vector<std::string>{plan});
    EXPECT_EQ(context->State.OrganigramSize, (WindowSize{640, 450}));
    window->close();
    window.reset();
    EXPECT_TRUE(FileMark::Of(admin) == before);
    EXPECT_TRUE(FileMark::Of(stateFile) == kept);
}

INSTANTIATE_TEST_SUITE_P(, ProgramRun, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Installed")
                                               : std::string("FromItsOwnFolder");
                         });

}  // namespace
