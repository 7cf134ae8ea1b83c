// Opening and saving with progress: a cancel at any call leaves the project, its file and the
// windows' items as they were, and says nothing.

#include <gtest/gtest.h>

#include <filesystem>

#include "core/model/project.h"
#include "support/fakeprompts.h"
#include "support/progressrecorder.h"
#include "support/projectdump.h"
#include "support/tempdir.h"

using namespace orm;
using namespace orm::test;

namespace {

// Linked items with long names: a file read and written in several blocks.
void fill(TMainTreeList& project, int items)
{
    for (int i = 0; i < items; ++i)
        project.TreeByIndex(4)
            ->AddChild("Unit " + std::to_string(i))
            ->Link(project.TreeByIndex(2)->AddChild("Process " + std::string(60, 'p')));
}

bool anyTemporaryIn(const std::filesystem::path& folder)
{
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".tmp")
            return true;
    return false;
}

}  // namespace

TEST(ProjectProgress, AnOpenCancelledAtAnyCallLeavesTheProjectAsItWas)
{
    TempDir dir;
    TMainTreeList big;
    fill(big, 20000);
    big.SetFileName(dir.path("big.ovx"));
    ASSERT_TRUE(big.WriteProjectFile());
    ProgressRecorder whole;  // bytes read of the file's size
    TMainTreeList read;
    ASSERT_TRUE(read.ReadProjectFile(big.FileName(), whole.Callback()).Ok);
    whole.ExpectClimbsTo(std::filesystem::file_size(big.FileName()));
    ASSERT_GE(whole.calls.size(), 3u);

    for (size_t cancelAt = 1; cancelAt <= whole.calls.size(); ++cancelAt) {
        // Read from its file, renamed since, with a window holding its items.
        FakePrompts prompts;
        TMainTreeList project;
        ASSERT_TRUE(
            project.LoadProjectFile(dir.write("own.ovx", "0 Own\r\n4 U\r\n4.1 u\r\n"), prompts));
        prompts.queueInput("Renamed");
        project.EditProjectName(prompts);
        int resets = 0;
        project.SetBeforeReset([&resets] { ++resets; });
        const std::string before = DumpProject(project);
        ProgressRecorder cancelling{{}, cancelAt};
        prompts.workProgress = cancelling.Callback();
        prompts.queueAnswer(Prompts::Answer::No);  // the rename let go for the new project
        prompts.queueOpen(big.FileName());
        EXPECT_FALSE(project.OpenProject(prompts));
        EXPECT_EQ(cancelling.calls.size(), cancelAt);
        EXPECT_EQ(DumpProject(project), before);
        EXPECT_EQ(project.FileName(), dir.path("own.ovx"));
        EXPECT_TRUE(project.Modified() && project.History().CanUndo());
        EXPECT_EQ(resets, 0);
        EXPECT_EQ(prompts.works.back(), "Открытие проекта…");
        EXPECT_TRUE(prompts.informs().empty() && prompts.allAnswersUsed());
    }
}

TEST(ProjectProgress, ASaveCancelledAtAnyCallLeavesTheOldFileAndSaysNothing)
{
    TempDir dir;
    const std::string old = "0 Old\r\n1 B\r\n2 P\r\n3 M\r\n4 U\r\n";
    const std::string path = dir.write("plan.ovx", old);
    FakePrompts prompts;
    TMainTreeList project;
    ASSERT_TRUE(project.LoadProjectFile(path, prompts));
    fill(project, 20000);
    project.SetModified(true);
    ProgressRecorder whole;  // items written of all
    StringSink text;
    project.WriteProjectText(text, whole.Callback());
    whole.ExpectClimbsTo(4 + 2 * 20000);

    for (size_t cancelAt = 1; cancelAt <= whole.calls.size(); ++cancelAt) {
        ProgressRecorder save{{}, cancelAt};
        ProgressRecorder saveAs{{}, cancelAt};
        prompts.workProgress = save.Callback();
        prompts.shown.clear();
        EXPECT_FALSE(project.SaveProject(prompts));
        // Save As, cancelled, keeps the old name too.
        prompts.workProgress = saveAs.Callback();
        prompts.queueSave(dir.path("new.ovx"));
        EXPECT_FALSE(project.SaveProjectAs(prompts));
        EXPECT_EQ(TempDir::read(path), old);
        EXPECT_FALSE(std::filesystem::exists(dir.path("new.ovx")) || anyTemporaryIn(dir.root()));
        EXPECT_EQ(project.FileName(), path);
        EXPECT_TRUE(project.Modified());
        EXPECT_EQ(prompts.shown.size(), 1u);  // the save dialog, and no failure
    }
    prompts.workProgress = nullptr;
    EXPECT_TRUE(project.SaveProject(prompts));
    EXPECT_EQ(TempDir::read(path), text.Text);
}
