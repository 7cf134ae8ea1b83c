#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "core/io/safefile.h"
#include "core/model/project.h"
#include "core/text/cp1251.h"
#include "support/fakeprompts.h"
#include "support/tempdir.h"

using namespace orm;
using test::FakePrompts;
using test::TempDir;

namespace {

// Lines in UTF-8, joined with CR LF and converted to the file's Windows-1251.
std::string fileText(std::initializer_list<const char*> lines, const char* eol = "\r\n")
{
    std::string out;
    for (const char* line : lines) {
        out += ToCp1251(line);
        out += eol;
    }
    return out;
}

// Every node as its row text and the numbers it is linked with, one string per node.
std::vector<std::string> dump(TMainTreeList& project)
{
    std::vector<std::string> out{ToUtf8(project.Name())};
    project.ForEachPreOrder([&out](TTreeList* node, const std::string& number, int) {
        std::string line = number + " " + ToUtf8(node->Name());
        for (TTreeList* other : node->Links())
            line += " ~" + other->Number();
        out.push_back(line);
    });
    return out;
}

const char* const kExample[] = {
    "0 Моя компания",
    "1 Бизнес-направления",
    "1.1 Розничная торговля",
    "2 Основные и обеспечивающие процессы/функции",
    "3 Процессы/функции управления",
    "4 Структурные звенья",
    "4.1 Отдел продаж",
    "1.1",
};

}  // namespace

TEST(ProjectFile, WritesTheDocumentedFormat)
{
    TMainTreeList project;
    project.SetName(ToCp1251("Моя компания"));
    TTreeList* retail = project.TreeByIndex(1)->AddChild(ToCp1251("Розничная торговля"));
    TTreeList* sales = project.TreeByIndex(4)->AddChild(ToCp1251("Отдел продаж"));
    sales->Link(retail);
    std::string expected;
    for (const char* line : kExample)
        expected += ToCp1251(line) + "\r\n";
    EXPECT_EQ(project.ProjectFileText(), expected);
}

TEST(ProjectFile, LinksAreWrittenOnceUnderTheLaterItemInKeyOrder)
{
    TMainTreeList project;
    TTreeList* t1 = project.TreeByIndex(1);
    for (int i = 0; i < 12; ++i)
        t1->AddChild("d");
    TTreeList* p = project.TreeByIndex(2)->AddChild("p");
    TTreeList* u = project.TreeByIndex(4)->AddChild("u");
    u->Link(p);
    u->Link(t1->Child(9));  // 1.10 sorts after 1.2 by key, not by text
    u->Link(t1->Child(1));
    p->Link(t1->Child(0));
    const std::string text = project.ProjectFileText();
    EXPECT_NE(text.find("\r\n2.1 p\r\n1.1\r\n3 "), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n4.1 u\r\n1.2\r\n1.10\r\n2.1\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\r\n4.1\r\n"), std::string::npos);
}

TEST(ProjectFile, RoundTripKeepsTreesLinksAndEveryByte)
{
    TempDir dir;
    FakePrompts prompts;
    TMainTreeList project;
    project.SetName("P\x98\xFF");
    TTreeList* a = project.TreeByIndex(1)->AddChild(ToCp1251("Направление «А» №1"));
    TTreeList* a1 = a->AddChild("\x98 tab\there  ");
    TTreeList* f = project.TreeByIndex(3)->AddChild("");
    TTreeList* u = project.TreeByIndex(4)->AddChild("u");
    TTreeList* u1 = u->AddChild("u1");
    u1->Link(a1);
    u1->Link(f);
    u->Link(a);
    project.SetFileName(dir.path("p.ovx"));
    ASSERT_TRUE(project.SaveProject(prompts));
    EXPECT_FALSE(project.Modified());

    TMainTreeList again;
    prompts.queueOpen(dir.path("p.ovx"));
    ASSERT_TRUE(again.OpenProject(prompts));
    EXPECT_TRUE(prompts.informs().empty());
    EXPECT_EQ(dump(again), dump(project));
    EXPECT_FALSE(again.Modified());
    EXPECT_EQ(again.FileName(), dir.path("p.ovx"));
    EXPECT_EQ(again.ProjectFileText(), project.ProjectFileText());
}

TEST(ProjectFile, ReadsEveryLineEnding)
{
    for (const char* eol : {"\r\n", "\n", "\r"}) {
        TMainTreeList project;
        std::string text;
        for (const char* line : kExample)
            text += ToCp1251(line) + eol;
        ASSERT_TRUE(project.ReadProjectText(text).Ok) << eol;
        EXPECT_EQ(dump(project).back(), "4.1 Отдел продаж ~1.1");
    }
    TMainTreeList mixed;
    ASSERT_TRUE(mixed.ReadProjectText("0 P\r1 x\n1.1 a\r\n1.2 b").Ok);
    EXPECT_EQ(mixed.FindByNumber("1.2")->Name(), "b");
}

TEST(ProjectFile, OneLineGivesFourEmptyTrees)
{
    TMainTreeList project;
    ASSERT_TRUE(project.ReadProjectText("0 X").Ok);
    EXPECT_EQ(project.Name(), "X");
    ASSERT_EQ(project.Count(), 4);
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(project.TreeByIndex(k)->Count(), 0);
    EXPECT_EQ(ToUtf8(project.TreeByIndex(2)->Name()), "Основные и обеспечивающие процессы/функции");
}

TEST(ProjectFile, ItemsAreAppendedInFileOrderAndNamesCut)
{
    TMainTreeList project;
    const std::string longName(300, 'n');
    ASSERT_TRUE(project.ReadProjectText("0 P\r\n1 B\r\n1.1 a\r\n1.3 b\r\n4 S\r\n4.7 " + longName +
                                        "\r\n1.2\r\n")
                    .Ok);
    EXPECT_EQ(project.FindByNumber("1.2")->Name(), "b");
    EXPECT_EQ(project.FindByNumber("4.1")->Name(), std::string(255, 'n'));
    EXPECT_TRUE(project.FindByNumber("4.1")->IsLinkedWith(project.FindByNumber("1.2")));
}

TEST(ProjectFile, FormatFaultsKeepWhatWasRead)
{
    struct Case {
        const char* why;
        std::string text;
        std::vector<std::string> kept;  // dump after the fault, without the project name line
    };
    const std::vector<Case> cases = {
        {"empty file", "", {}},
        {"first line not the project", "1 X\r\n", {}},
        {"first line with two components", "0.1 X\r\n", {}},
        {"missing parent", fileText({"0 P", "1 B", "1.1 a", "1.5.1 lost", "1.2 never"}),
         {"1.1 a"}},
        {"block beyond the trees", fileText({"0 P", "1 B", "1.1 a", "5 X", "5.1 y"}), {"1.1 a"}},
        // An empty line or a line with an empty number cannot be written by the program.
        {"empty line", fileText({"0 P", "1 B", "1.1 a", "", "1.2 b"}), {"1.1 a"}},
        {"empty number", fileText({"0 P", "1 B", "1.1 a", " b"}), {"1.1 a"}},
        // A repeated heading or project line inside its block would add a tree the program
        // does not have, which the next save would drop with everything under it.
        {"heading repeated", fileText({"0 P", "1 B", "1.1 a", "1 B", "1.2 b"}), {"1.1 a"}},
        {"second project line", fileText({"0 P", "0 Q", "1 B"}), {}},
        // A link line must join two items.
        {"link after heading", fileText({"0 P", "1 B", "1.1 a", "4 S", "1.1", "4.1 u"}),
         {"1.1 a"}},
        {"link to a tree node", fileText({"0 P", "1 B", "1.1 a", "4 S", "4.1 u", "1"}),
         {"1.1 a", "4.1 u"}},
        {"heading out of order", fileText({"0 P", "1 B", "4 S", "4.1 u", "2 X", "2.1 p"}),
         {"4.1 u"}},
        {"link to the root", fileText({"0 P", "1 B", "1.1 a", "4 S", "4.1 u", "0"}),
         {"1.1 a", "4.1 u"}},
        {"link to a missing item", fileText({"0 P", "1 B", "1.1 a", "4 S", "4.1 u", "1.2"}),
         {"1.1 a", "4.1 u"}},
        {"parent number not an integer", fileText({"0 P", "1 B", "1.1 a", "1.x.1 b"}), {"1.1 a"}},
    };
    for (const Case& c : cases) {
        TMainTreeList project;
        EXPECT_FALSE(project.ReadProjectText(c.text).Ok) << c.why;
        std::vector<std::string> kept;
        for (int k = 1; k <= 4; ++k) {
            TTreeList* tree = project.TreeByIndex(k);
            tree->ForEachPreOrder([&](TTreeList* node, const std::string& number, int) {
                if (node != tree)
                    kept.push_back(number + " " + std::string(node->Name()));
            });
        }
        EXPECT_EQ(kept, c.kept) << c.why;
        EXPECT_EQ(project.Count(), 4) << c.why;
    }
}

TEST(ProjectFile, LinkLinesBelongToTheItemOfTheirLine)
{
    TMainTreeList project;
    // Without the rule, links under "4.3 b" would go to whatever item is numbered 4.3.
    ASSERT_TRUE(project.ReadProjectText(
                           fileText({"0 P", "1 B", "1.1 x", "1.2 y", "4 S", "4.1 a", "4.3 b",
                                     "1.1", "1.2", "1.2"}))
                    .Ok);
    TTreeList* b = project.FindByNumber("4.2");
    EXPECT_EQ(b->Name(), "b");
    EXPECT_EQ(b->Links().size(), 2u);  // the repeated link line adds nothing
    EXPECT_EQ(project.FindByNumber("1.2")->Links().size(), 1u);
    EXPECT_TRUE(project.FindByNumber("4.1")->Links().empty());
}

TEST(ProjectFile, NumbersReadAsTheTreeAddressesThem)
{
    TMainTreeList project;
    // Leading zeros and signs name the same positions; a trailing dot ends a number early.
    ASSERT_TRUE(project.ReadProjectText(
                           fileText({"0 P", "1 B", "1.1 a", "01.+1.1 b", "4 S", "4.1 u", "1.1.1.",
                                     "+1.1"}))
                    .Ok);
    EXPECT_EQ(project.FindByNumber("1.1.1")->Name(), "b");
    TTreeList* u = project.FindByNumber("4.1");
    EXPECT_TRUE(u->IsLinkedWith(project.FindByNumber("1.1.1")));
    EXPECT_TRUE(u->IsLinkedWith(project.FindByNumber("1.1")));
}

TEST(ProjectFile, BlockWithoutHeadingKeepsItsFirstItem)
{
    TMainTreeList project;
    ASSERT_TRUE(project.ReadProjectText(fileText({"0 P", "2.1 p", "2.1.1 q", "4.1 u", "2.1.1"}))
                    .Ok);
    EXPECT_EQ(project.FindByNumber("2.1")->Name(), "p");
    EXPECT_TRUE(project.FindByNumber("4.1")->IsLinkedWith(project.FindByNumber("2.1.1")));
}

TEST(ProjectFile, UnreadableFileIsAFormatFault)
{
    TempDir dir;
    FakePrompts prompts;
    TMainTreeList project;
    project.TreeByIndex(1)->AddChild("old");
    EXPECT_FALSE(project.LoadProjectFile(dir.path("missing.ovx"), prompts));
    EXPECT_EQ(prompts.informs(), (std::vector<std::string>{"Не верный формат проекта!"}));
    EXPECT_EQ(project.FileName(), dir.path("missing.ovx"));
    EXPECT_EQ(project.TreeByIndex(1)->Count(), 0);
    EXPECT_EQ(ToUtf8(project.Name()), "Новый проект");
    EXPECT_FALSE(project.LoadProjectFile(dir.root().string(), prompts));  // a folder
}

TEST(ProjectCommands, QuerySaveAnswers)
{
    TempDir dir;
    {
        FakePrompts prompts;
        TMainTreeList project;
        EXPECT_TRUE(project.QuerySave(prompts));  // nothing to ask
        EXPECT_TRUE(prompts.shown.empty());
    }
    {
        FakePrompts prompts;
        TMainTreeList project;
        project.TreeByIndex(1)->AddChild("a");
        prompts.queueAnswer(Prompts::Answer::Cancel);
        EXPECT_FALSE(project.QuerySave(prompts));
        EXPECT_TRUE(project.Modified());
        EXPECT_EQ(prompts.shown, (std::vector<std::string>{"ask: Проект изменен. Сохранить?"}));
        prompts.queueAnswer(Prompts::Answer::No);
        EXPECT_TRUE(project.QuerySave(prompts));
        EXPECT_FALSE(project.Modified());
        EXPECT_EQ(project.TreeByIndex(1)->Count(), 1);
    }
    {
        FakePrompts prompts;
        TMainTreeList project;
        project.TreeByIndex(1)->AddChild("a");
        prompts.queueAnswer(Prompts::Answer::Yes);
        prompts.queueSave(std::nullopt);  // the save dialog is cancelled
        EXPECT_FALSE(project.QuerySave(prompts));
        EXPECT_TRUE(project.Modified());
        EXPECT_EQ(project.FileName(), "");

        prompts.queueAnswer(Prompts::Answer::Yes);
        prompts.queueSave(dir.path("q.ovx"));
        EXPECT_TRUE(project.QuerySave(prompts));
        EXPECT_FALSE(project.Modified());
        EXPECT_TRUE(std::filesystem::exists(dir.path("q.ovx")));
        EXPECT_TRUE(prompts.allAnswersUsed());
    }
}

TEST(ProjectCommands, NewAndOpenRespectCancel)
{
    TempDir dir;
    FakePrompts prompts;
    TMainTreeList project;
    project.SetFileName(dir.path("keep.ovx"));
    project.TreeByIndex(1)->AddChild("a");
    prompts.queueAnswer(Prompts::Answer::Cancel);
    EXPECT_FALSE(project.NewProject(prompts));
    EXPECT_EQ(project.TreeByIndex(1)->Count(), 1);
    EXPECT_TRUE(project.Modified());
    EXPECT_EQ(project.FileName(), dir.path("keep.ovx"));

    prompts.queueAnswer(Prompts::Answer::No);
    prompts.queueOpen(std::nullopt);
    EXPECT_FALSE(project.OpenProject(prompts));
    EXPECT_EQ(project.TreeByIndex(1)->Count(), 1);
    EXPECT_EQ(project.FileName(), dir.path("keep.ovx"));
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(ToUtf8(prompts.dialogs[0].title), "Открытие файла");
    EXPECT_EQ(prompts.dialogs[0].filterPatterns, "*.ovx;*.rem");
    EXPECT_EQ(prompts.dialogs[0].defaultExtension, "ovx");

    EXPECT_TRUE(project.NewProject(prompts));  // nothing unsaved any more
    EXPECT_EQ(project.TreeByIndex(1)->Count(), 0);
    EXPECT_EQ(project.FileName(), "");
    EXPECT_FALSE(project.Modified());
}

TEST(ProjectCommands, OpenOfABadFileStillCounts)
{
    TempDir dir;
    FakePrompts prompts;
    const std::string bad =
        dir.write("bad.ovx", fileText({"0 Bad", "1 B", "1.1 kept", "1.5.1 x"}));
    TMainTreeList project;
    prompts.queueOpen(bad);
    EXPECT_TRUE(project.OpenProject(prompts));
    EXPECT_EQ(prompts.informs(), (std::vector<std::string>{"Не верный формат проекта!"}));
    EXPECT_EQ(project.Name(), "Bad");
    EXPECT_EQ(project.FindByNumber("1.1")->Name(), "kept");
    EXPECT_FALSE(project.Modified());
    EXPECT_EQ(project.FileName(), bad);
}

// A file with a format fault, and one whose last line has no line break (kept, but the file
// may have been cut short), are both read in part: said so at once, and not overwritten unasked.
class PartlyRead : public ::testing::TestWithParam<bool> {};

INSTANTIATE_TEST_SUITE_P(FaultOrCutOff, PartlyRead, ::testing::Bool());

TEST_P(PartlyRead, APartlyReadFileIsNotOverwrittenUnasked)
{
    const bool cutOff = GetParam();
    TempDir dir;
    std::string original = fileText({"0 Bad", "1 B", "1.1 kept", "1.5.1 x", "1.2 lost"});
    if (cutOff)
        original = fileText({"0 Bad", "1 B", "1.1 kept"}) + ToCp1251("1.2 последняя");
    const std::string bad = dir.write("bad.ovx", original);
    const std::string question =
        "confirm: Проект прочитан из файла «" + bad +
        "» не полностью.\nЗаменить этот файл прочитанной частью?";
    auto open = [&](FakePrompts& prompts, TMainTreeList& project) {
        prompts.queueOpen(bad);
        ASSERT_TRUE(project.OpenProject(prompts));
        const std::string said = cutOff ? "Файл «" + bad +
                                              "» обрывается на последней строке: возможно, он "
                                              "записан не полностью."
                                        : "Не верный формат проекта!";
        EXPECT_EQ(prompts.informs(), std::vector<std::string>{said});
        // The last line, cut off or not, is an item like any other.
        EXPECT_EQ(project.TreeByIndex(1)->Count(), cutOff ? 2 : 1);
        project.FindByNumber("1.1")->AddChild("new");
        project.SetModified(true);
    };

    // A plain save goes to the save dialog, which proposes the same file; cancelling it, or
    // answering No about that file, writes nothing.
    {
        FakePrompts prompts;
        TMainTreeList project;
        open(prompts, project);
        prompts.queueSave(std::nullopt);
        EXPECT_FALSE(project.SaveProject(prompts));
        ASSERT_EQ(prompts.dialogs.size(), 2u);
        EXPECT_EQ(prompts.dialogs[1].initialFileName, bad);
        prompts.queueSave(bad);
        prompts.queueConfirm(false);
        EXPECT_FALSE(project.SaveProject(prompts));
        EXPECT_EQ(prompts.shown.back(), question);
        // Two Enters must not replace the file.
        EXPECT_EQ(prompts.confirmDefaults.back(), Prompts::Answer::No);
        EXPECT_TRUE(project.Modified());
        EXPECT_EQ(TempDir::read(bad), original);
        // The save question on the way out takes the same road.
        prompts.queueAnswer(Prompts::Answer::Yes);
        prompts.queueSave(std::nullopt);
        EXPECT_FALSE(project.QuerySave(prompts));
        EXPECT_EQ(TempDir::read(bad), original);
        EXPECT_TRUE(prompts.allAnswersUsed());
    }
    // Another name is written at once and becomes the file: later saves go there directly.
    {
        FakePrompts prompts;
        TMainTreeList project;
        open(prompts, project);
        const std::string other = dir.path("other.ovx");
        prompts.queueSave(other);
        EXPECT_TRUE(project.SaveProject(prompts));
        EXPECT_EQ(project.FileName(), other);
        EXPECT_TRUE(project.SaveProject(prompts));
        EXPECT_EQ(TempDir::read(bad), original);
        EXPECT_TRUE(prompts.allAnswersUsed());
    }
    // Yes about the same file writes what was read; from then on it is an ordinary project.
    {
        FakePrompts prompts;
        TMainTreeList project;
        open(prompts, project);
        prompts.queueSave(bad);
        prompts.queueConfirm(true);
        EXPECT_TRUE(project.SaveProject(prompts));
        EXPECT_EQ(project.ProjectFileText(), TempDir::read(bad));
        EXPECT_NE(TempDir::read(bad), original);
        EXPECT_TRUE(project.SaveProject(prompts));
        EXPECT_TRUE(prompts.allAnswersUsed());
    }
}

TEST(ProjectCommands, SaveAsAsksAboutForeignExtensions)
{
    struct Case {
        std::string typed;
        std::optional<bool> answer;  // nothing: no question expected
        std::string saved;
    };
    TempDir dir;
    const std::string d = dir.root().string();
    const std::vector<Case> cases = {
        {d + "/Проект.txt", true, d + "/Проект.ovx"},
        {d + "/Проект2.txt", false, d + "/Проект2.txt"},
        {d + "/Проект.rem", std::nullopt, d + "/Проект.rem"},
        {d + "/Проект.ovx", std::nullopt, d + "/Проект.ovx"},
        {d + "/Проект3.OVX", false, d + "/Проект3.OVX"},
        {d + "/Проект4", true, d + "/Проект4.ovx"},
    };
    for (const Case& c : cases) {
        FakePrompts prompts;
        TMainTreeList project;
        project.TreeByIndex(1)->AddChild("a");
        prompts.queueSave(c.typed);
        if (c.answer)
            prompts.queueConfirm(*c.answer);
        EXPECT_TRUE(project.SaveProjectAs(prompts)) << c.typed;
        EXPECT_EQ(project.FileName(), c.saved);
        EXPECT_TRUE(std::filesystem::exists(c.saved)) << c.saved;
        EXPECT_FALSE(project.Modified());
        if (c.answer) {
            EXPECT_EQ(prompts.shown.at(1),
                      "confirm: Расширение файла не совпадает\nс расширением по умолчанию !\n"
                      "Изменить на расширение по умолчанию ?");
            // Yes only corrects the typed name: it is the default.
            EXPECT_EQ(prompts.confirmDefaults, std::vector<Prompts::Answer>{Prompts::Answer::Yes});
        } else {
            EXPECT_EQ(prompts.shown.size(), 1u);
        }
        EXPECT_EQ(ToUtf8(prompts.dialogs.at(0).title), "Запись файла");
    }

    // Unless the corrected name is a file already there, which Yes would replace unseen.
    {
        FakePrompts prompts;
        TMainTreeList project;
        prompts.queueSave(d + "/Проект.txt");
        prompts.queueConfirm(false);
        EXPECT_TRUE(project.SaveProjectAs(prompts));
        EXPECT_EQ(prompts.confirmDefaults, std::vector<Prompts::Answer>{Prompts::Answer::No});
        EXPECT_EQ(project.FileName(), d + "/Проект.txt");
    }

    // A dot in a folder name is not the file's extension.
    std::filesystem::create_directory(dir.path("v1.2"));
    FakePrompts prompts;
    TMainTreeList project;
    prompts.queueSave(dir.path("v1.2/plan"));
    prompts.queueConfirm(true);
    EXPECT_TRUE(project.SaveProjectAs(prompts));
    EXPECT_EQ(project.FileName(), dir.path("v1.2/plan.ovx"));

    // Cancelling the dialog changes nothing.
    prompts.queueSave(std::nullopt);
    project.TreeByIndex(1)->AddChild("a");
    EXPECT_FALSE(project.SaveProjectAs(prompts));
    EXPECT_EQ(project.FileName(), dir.path("v1.2/plan.ovx"));
    EXPECT_TRUE(project.Modified());
}

TEST(ProjectCommands, FailedSaveLeavesTheOldFile)
{
    TempDir dir;
    FakePrompts prompts;
    TMainTreeList project;
    for (int i = 0; i < 5000; ++i)
        project.TreeByIndex(1)->AddChild("item number " + std::to_string(i));
    const std::string path = dir.write("p.ovx", "0 Old\r\n");
    project.SetFileName(path);

    SetWriteFailureAfterForTesting(100);
    EXPECT_FALSE(project.SaveProject(prompts));
    SetWriteFailureAfterForTesting(std::nullopt);
    EXPECT_EQ(prompts.informs(), (std::vector<std::string>{"Ошибка сохранения проекта!"}));
    EXPECT_EQ(TempDir::read(path), "0 Old\r\n");
    EXPECT_TRUE(project.Modified());
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.root())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1);  // no temporary file left behind

    // A read-only file is refused, even for root.
    ::chmod(path.c_str(), 0444);
    EXPECT_FALSE(project.SaveProject(prompts));
    EXPECT_EQ(TempDir::read(path), "0 Old\r\n");
    ::chmod(path.c_str(), 0644);

    // A missing folder.
    project.SetFileName(dir.path("no/such/p.ovx"));
    EXPECT_FALSE(project.SaveProject(prompts));
    EXPECT_EQ(prompts.informs().size(), 3u);

    project.SetFileName(path);
    EXPECT_TRUE(project.SaveProject(prompts));
    EXPECT_FALSE(project.Modified());
    EXPECT_EQ(TempDir::read(path), project.ProjectFileText());
}

TEST(ProjectCommands, SaveKeepsModeAndFollowsSymlinks)
{
    TempDir dir;
    FakePrompts prompts;
    const std::string real = dir.write("real.ovx", "0 Old\r\n");
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink(real, dir.path("link.ovx"));
    TMainTreeList project;
    project.SetFileName(dir.path("link.ovx"));
    ASSERT_TRUE(project.SaveProject(prompts));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.path("link.ovx")));
    EXPECT_EQ(TempDir::read(real), project.ProjectFileText());
    struct stat st{};
    ::stat(real.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(ProjectCommands, EditProjectName)
{
    FakePrompts prompts;
    TMainTreeList project;
    prompts.queueInput(std::nullopt);
    prompts.queueInput("");
    prompts.queueInput("Новый проект");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(ToUtf8(project.EditProjectName(prompts)), "Новый проект");
    EXPECT_FALSE(project.Modified());
    EXPECT_EQ(prompts.shown.at(0), "input: Название проекта | Новый проект");
    prompts.queueInput("новый проект");
    EXPECT_EQ(ToUtf8(project.EditProjectName(prompts)), "новый проект");
    EXPECT_TRUE(project.Modified());
}
