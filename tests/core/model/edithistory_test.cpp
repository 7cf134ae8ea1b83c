// Undo and redo of every edit: the project comes back byte for byte, links in their old order,
// and a long random run of edits, undos and redos ends where replaying the surviving edits does.

#include <gtest/gtest.h>

#include <random>

#include "core/model/edithistory.h"
#include "core/model/project.h"
#include "core/model/projectedits.h"
#include "core/text/cp1251.h"
#include "support/fakeprompts.h"

using namespace orm;

namespace {

// The file, plus every node's links in their list order (the file sorts them).
std::string state(TMainTreeList& project)
{
    std::string out = project.ProjectFileText();
    project.ForEachPreOrder([&out](TTreeList* node, const std::string& number, int) {
        out += number + ":";
        for (const TTreeList* other : node->Links())
            out += " " + other->Number();
        out += "\n";
    });
    return out;
}

// 1.1 a (1.1.1 a1, 1.1.2 a2), 1.2 b; 2.1 p; 4.1 u (4.1.1 u1), 4.2 v; links made so that the
// partners' lists hold the items in a mixed order.
void fill(TMainTreeList& project)
{
    TTreeList* t1 = project.TreeByIndex(1);
    TTreeList* a = t1->AddChild("a");
    TTreeList* a1 = a->AddChild("a1");
    a->AddChild("a2");
    TTreeList* b = t1->AddChild("b");
    TTreeList* p = project.TreeByIndex(2)->AddChild("p");
    TTreeList* u = project.TreeByIndex(4)->AddChild("u");
    TTreeList* u1 = u->AddChild("u1");
    TTreeList* v = project.TreeByIndex(4)->AddChild("v");
    u->Link(b);
    v->Link(a1);
    u->Link(a1);
    u->Link(a);
    p->Link(u1);
    v->Link(a);
    project.SetModified(false);
    project.History().Clear();
}

struct Edit {
    const char* name;
    std::function<void(TMainTreeList&)> run;
};

}  // namespace

TEST(EditHistory, EveryEditUndoesAndRedoesByteForByte)
{
    const std::vector<Edit> edits = {
        {"add", [](TMainTreeList& p) { ProjectEdits::AddItem(p.FindByNumber("1.1"), "new"); }},
        {"rename", [](TMainTreeList& p) { ProjectEdits::RenameItem(p.FindByNumber("1.1.1"), "x"); }},
        {"delete linked subtree", [](TMainTreeList& p) { ProjectEdits::DeleteItem(p.FindByNumber("1.1")); }},
        {"delete partner", [](TMainTreeList& p) { ProjectEdits::DeleteItem(p.FindByNumber("4.1")); }},
        {"move down", [](TMainTreeList& p) {
             ProjectEdits::MoveItem(p.FindByNumber("1.1"), p.FindByNumber("1.2"), true); }},
        {"move into another parent", [](TMainTreeList& p) {
             ProjectEdits::MoveItem(p.FindByNumber("1.2"), p.FindByNumber("1.1.1"), false); }},
        {"move to the top", [](TMainTreeList& p) {
             ProjectEdits::MoveItemTo(p.FindByNumber("1.1.2"), p.TreeByIndex(1), 0); }},
        {"copy into itself", [](TMainTreeList& p) {
             ProjectEdits::CopyItemUnder(*p.FindByNumber("1.1"), p.FindByNumber("1.1.2")); }},
        {"bind", [](TMainTreeList& p) {
             ProjectEdits::ToggleBinding(p.FindByNumber("4.2"), p.FindByNumber("1.2")); }},
        {"unbind from the middle", [](TMainTreeList& p) {
             ProjectEdits::ToggleBinding(p.FindByNumber("4.1"), p.FindByNumber("1.1.1")); }},
    };
    for (const Edit& edit : edits) {
        SCOPED_TRACE(edit.name);
        TMainTreeList project;
        fill(project);
        const std::string before = state(project);
        edit.run(project);
        const std::string after = state(project);
        ASSERT_NE(after, before);
        EXPECT_TRUE(project.Modified());
        ASSERT_TRUE(project.Undo());
        EXPECT_EQ(state(project), before);
        EXPECT_FALSE(project.Modified());  // back at the saved state
        ASSERT_TRUE(project.Redo());
        EXPECT_EQ(state(project), after);
        EXPECT_TRUE(project.Modified());
        EXPECT_FALSE(project.Redo());
    }
}

TEST(EditHistory, TextsCleanPointAndLimits)
{
    TMainTreeList project;
    fill(project);
    test::FakePrompts prompts;
    ProjectEdits::DeleteItem(project.FindByNumber("1.2"));
    EXPECT_EQ(ToUtf8(project.History().UndoText()), "удаление «1.2 b»");
    prompts.queueInput("Новое имя");
    project.EditProjectName(prompts);
    EXPECT_EQ(ToUtf8(project.History().UndoText()), "название проекта");
    ASSERT_TRUE(project.Undo());
    EXPECT_EQ(ToUtf8(project.Name()), "Новый проект");
    EXPECT_EQ(ToUtf8(project.History().RedoText()), "название проекта");

    // A new edit drops what was undone; undoing back past the saved state stays modified.
    project.History().SetClean();
    project.SetModified(false);
    ASSERT_TRUE(project.Undo());
    EXPECT_TRUE(project.Modified());
    ProjectEdits::AddItem(project.TreeByIndex(2), "q");
    EXPECT_FALSE(project.History().CanRedo());
    ASSERT_TRUE(project.Undo());
    EXPECT_TRUE(project.Modified());  // the saved state cannot come back

    // A new project forgets it all; the history keeps at most its limit.
    project.Reset();
    EXPECT_FALSE(project.History().CanUndo());
    TTreeList* item = project.TreeByIndex(1)->AddChild("i");
    for (size_t i = 0; i < EditHistory::kMaxSteps + 10; ++i)
        ProjectEdits::RenameItem(item, "n" + std::to_string(i));
    EXPECT_EQ(project.History().Size(), EditHistory::kMaxSteps);
    while (project.Undo()) {
    }
    EXPECT_EQ(item->Name(), "n9");
}

// Random edits, undos and redos; the edits that survive, replayed on the first state, give the
// same project.
TEST(EditHistory, RandomRunsEndWhereReplayingTheSurvivingEditsDoes)
{
    using Op = std::function<void(TMainTreeList&)>;
    std::mt19937 random(20261207);
    TMainTreeList project;
    fill(project);
    const std::string start = project.ProjectFileText();
    std::vector<Op> done;
    std::vector<Op> undone;
    auto pick = [&](TMainTreeList& p, bool withTrees) {
        std::vector<std::string> numbers;
        p.ForEachPreOrder([&](TTreeList* node, const std::string& number, int depth) {
            if (depth >= 2 || (withTrees && depth == 1))
                numbers.push_back(number);
        });
        return numbers.empty() ? std::string() : numbers[random() % numbers.size()];
    };
    for (int step = 0; step < 600; ++step) {
        const unsigned what = random() % 10;
        if (what == 0 && project.History().CanUndo()) {
            ASSERT_TRUE(project.Undo());
            undone.push_back(done.back());
            done.pop_back();
            continue;
        }
        if (what == 1 && project.History().CanRedo()) {
            ASSERT_TRUE(project.Redo());
            done.push_back(undone.back());
            undone.pop_back();
            continue;
        }
        const std::string a = pick(project, what >= 6);
        const std::string b = pick(project, true);
        const std::string name = "n" + std::to_string(step);
        Op op;
        if (a.empty() || b.empty() || what <= 3) {
            op = [b, name](TMainTreeList& p) { ProjectEdits::AddItem(p.FindByNumber(b), name); };
        } else if (what == 4) {
            op = [a](TMainTreeList& p) { ProjectEdits::DeleteItem(p.FindByNumber(a)); };
        } else if (what == 5) {
            op = [a, name](TMainTreeList& p) { ProjectEdits::RenameItem(p.FindByNumber(a), name); };
        } else if (what == 6) {
            op = [a, b](TMainTreeList& p) {
                ProjectEdits::MoveItem(p.FindByNumber(a), p.FindByNumber(b), b < a);
            };
        } else if (what == 7) {
            op = [a, b](TMainTreeList& p) {
                ProjectEdits::CopyItemUnder(*p.FindByNumber(a), p.FindByNumber(b));
            };
        } else {
            op = [a, b](TMainTreeList& p) {
                TTreeList* x = p.FindByNumber(a);
                TTreeList* y = p.FindByNumber(b);
                if (x->ClassifierIndex() != y->ClassifierIndex() && y->Parent() != &p)
                    ProjectEdits::ToggleBinding(x, y);
                else
                    ProjectEdits::AddItem(y, "t");
            };
        }
        const size_t before = project.History().Done();
        op(project);
        // An edit that changes nothing (a move into its own subtree) records no step.
        if (project.History().Done() == before + 1) {
            done.push_back(op);
            undone.clear();
        }
    }
    TMainTreeList replay;
    ASSERT_TRUE(replay.ReadProjectText(start).Ok);
    for (const Op& op : done)
        op(replay);
    EXPECT_EQ(state(project), state(replay));
    EXPECT_EQ(project.History().Done(), done.size());
}

TEST(EditHistory, ShapesTellTheViewsWhatUndoAndRedoWillDo)
{
    // Partners that are later siblings of a deleted item, or inside its later siblings, are
    // found again when the delete is undone.
    TMainTreeList p;
    fill(p);
    TTreeList* a = p.FindByNumber("1.1");
    TTreeList* b = p.FindByNumber("1.2");
    b->AddChild("b1")->Link(a);
    a->Link(b);
    const std::string before = state(p);
    ProjectEdits::DeleteItem(a);
    EditStep* step = p.History().Next(true);
    ASSERT_NE(step, nullptr);
    EXPECT_EQ(step->Shape(p, true).What, EditShape::Insert);
    EXPECT_EQ(step->Shape(p, false).What, EditShape::Remove);
    EXPECT_EQ(step->Shape(p, true).Parent, (NodePath{0}));
    p.Undo();
    EXPECT_EQ(state(p), before);

    // A move's shape names the node where it is and the place in front of which it goes, in
    // the tree as the step finds it; moves to where the item already is are no edits.
    const size_t steps = p.History().Size();
    EXPECT_FALSE(ProjectEdits::MoveItemTo(p.FindByNumber("1.1"), p.TreeByIndex(1), 0));
    EXPECT_FALSE(ProjectEdits::MoveItem(p.FindByNumber("1.2"), p.FindByNumber("1.1"), true));
    EXPECT_FALSE(ProjectEdits::MoveItem(p.FindByNumber("1.1"), p.FindByNumber("1.2"), false));
    EXPECT_EQ(p.History().Size(), steps);
    struct Case {
        const char* item;
        const char* target;
        bool after;
    };
    for (const Case& c : {Case{"1.1", "1.2", true}, Case{"1.2", "1.1", false},
                          Case{"1.1.1", "1.2.1", true}, Case{"1.2.1", "1.1.1", false}}) {
        TMainTreeList q;
        fill(q);
        q.FindByNumber("1.2")->AddChild("b1");
        TTreeList* item = q.FindByNumber(c.item);
        const std::string start = state(q);
        ASSERT_TRUE(ProjectEdits::MoveItem(item, q.FindByNumber(c.target), c.after)) << c.item;
        for (bool undo : {true, false}) {
            const EditShape shape = q.History().Next(undo)->Shape(q, undo);
            ASSERT_EQ(shape.What, EditShape::Move);
            NodePath from = shape.Parent;
            from.push_back(shape.Index);
            EXPECT_EQ(NodeAt(q, from), item) << c.item << undo;
            // Where it lands: in front of the node now at ToIndex, or last.
            TTreeList* parent = NodeAt(q, shape.ToParent);
            TTreeList* next = shape.ToIndex < parent->Count() ? parent->Child(shape.ToIndex)
                                                                : nullptr;
            undo ? q.Undo() : q.Redo();
            EXPECT_EQ(item->Parent(), parent) << c.item << undo;
            const int at = parent->IndexOf(item);
            EXPECT_EQ(at + 1 < parent->Count() ? parent->Child(at + 1) : nullptr, next)
                << c.item << undo;
        }
        q.Undo();
        EXPECT_EQ(state(q), start);
    }
}
