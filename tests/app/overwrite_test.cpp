// Nothing is overwritten unasked: a save over a file that someone else changed since it was read
// or last saved asks first, with No as the default, so that a hasty Enter keeps what is there.

#include <QAction>
#include <functional>

#include "core/io/safefile.h"
#include "core/organigram/diagdata.h"
#include "core/organigram/wmfwriter.h"
#include "gui/organigram/organigramwindow.h"
#include "gui/report/fakedialogs.h"
#include "support/guifixture.h"
#include "support/tempdir.h"

using namespace orm;
using test::MainWindowTest;
using test::TempDir;

// Each window loads a file and saves over it: a save asks only when someone else changed the
// file since the load or the last save, with No as the default, and No keeps their file.
TEST_F(MainWindowTest, SavesOverAFileChangedOnDiskAskFirst)
{
    TempDir dir;
    TDiagData diagram;
    diagram.SetTop(ToCp1251("4 Структурные звенья"));
    test::FakeDialogs dialogs;
    ReportViewer viewer(prompts, &dialogs);
    viewer.SetPlainText(true);
    OrganigramWindow organigram(prompts);
    struct Case {
        std::string path;
        std::function<void()> load, save;
    };
    const std::string plan = dir.write("план.ovx", ToCp1251("0 План\r\n1 Б\r\n"));
    const std::string report = dir.write("отчет.txt", ToCp1251("Строка\r\n"));
    const std::string chart = dir.write("схема.wmf", BuildOrganigramWmf(diagram));
    const std::vector<Case> cases = {
        {plan, [&] { prompts.queueOpen(plan); window->FileOpen1->trigger(); },
         [&] { project().SetModified(true); window->FileSave1->trigger(); }},
        {report, [&] { prompts.queueOpen(report); viewer.OpenDocument(); },
         [&] {
             dialogs.answers.push_back(SaveAsAnswer{QString::fromStdString(report), ReportFileType::Txt});
             viewer.SaveDocument();
         }},
        {chart, [&] { prompts.queueOpen(chart); organigram.ActionLoad->trigger(); },
         [&] { prompts.queueSave(chart); organigram.ActionSave->trigger(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        prompts.confirmDefaults.clear();
        c.load();
        c.save();
        const std::string ours = TempDir::read(c.path);
        const std::string theirs = ours + "\r\n";
        ASSERT_TRUE(WriteFileAtomically(c.path, theirs));  // as other programs save

        prompts.queueConfirm(false);
        c.save();
        EXPECT_EQ(prompts.shown.back(), "confirm: Файл «" + c.path +
                                            "» изменён другой программой после открытия.\n"
                                            "Заменить его?");
        EXPECT_EQ(TempDir::read(c.path), theirs);
        prompts.queueConfirm(true);
        c.save();
        EXPECT_EQ(TempDir::read(c.path), ours);
        c.save();  // over its own save: nothing to ask
        EXPECT_EQ(prompts.confirmDefaults,
                  (std::vector<Prompts::Answer>{Prompts::Answer::No, Prompts::Answer::No}));
    }

    // A project whose file another program changed stays unsaved, and open, when the question
    // on the way out is answered No.
    ASSERT_TRUE(WriteFileAtomically(plan, "0 Чужой\r\n"));
    project().SetModified(true);
    prompts.queueAnswer(Prompts::Answer::Yes);
    prompts.queueConfirm(false);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(project().Modified());
    EXPECT_EQ(TempDir::read(plan), "0 Чужой\r\n");
    project().SetModified(false);
}
