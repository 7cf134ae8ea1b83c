#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "core/model/nodepool.h"
#include "core/model/project.h"
#include "core/text/cp1251.h"
#include "support/fakeprompts.h"

using namespace orm;

namespace {

// Project with classifier 1: 1.1 a (1.1.1 a1, 1.1.2 a2 (1.1.2.1 a21)), 1.2 b; classifier 4:
// 4.1 u, 4.2 v.
struct Sample {
    TMainTreeList project;
    TTreeList* a;
    TTreeList* a1;
    TTreeList* a2;
    TTreeList* a21;
    TTreeList* b;
    TTreeList* u;
    TTreeList* v;
    Sample()
    {
        TTreeList* t1 = project.TreeByIndex(1);
        a = t1->AddChild("a");
        a1 = a->AddChild("a1");
        a2 = a->AddChild("a2");
        a21 = a2->AddChild("a21");
        b = t1->AddChild("b");
        TTreeList* t4 = project.TreeByIndex(4);
        u = t4->AddChild("u");
        v = t4->AddChild("v");
        project.SetModified(false);
    }
};

std::vector<std::string> names(const std::vector<TTreeList*>& nodes)
{
    std::vector<std::string> out;
    for (auto* n : nodes)
        out.emplace_back(n->Name());
    return out;
}

}  // namespace

TEST(TreeList, NumbersFollowPositions)
{
    TMainTreeList project;
    EXPECT_EQ(project.Number(), "0");
    TTreeList* t3 = project.TreeByIndex(3);
    EXPECT_EQ(t3->Number(), "3");
    TTreeList* first = t3->AddChild("first");
    TTreeList* second = t3->AddChild("second");
    TTreeList* deep = second->AddChild("deep");
    EXPECT_EQ(first->Number(), "3.1");
    EXPECT_EQ(deep->LineText(), "3.2.1 deep");
    t3->DeleteAt(0);
    EXPECT_EQ(second->Number(), "3.1");
    EXPECT_EQ(deep->Number(), "3.1.1");
    EXPECT_EQ(t3->AddChild("")->LineText(), "3.2 ");
    EXPECT_EQ(project.FindByNumber("3.1.1"), deep);
    EXPECT_EQ(project.FindByNumber(""), &project);
    EXPECT_EQ(deep->Level(), 3);
    EXPECT_EQ(deep->ClassifierIndex(), 3);
}

TEST(TreeList, BadNumbersRaise)
{
    TMainTreeList project;
    EXPECT_THROW(project.TreeByIndex(5), ELoadInvalid);
    EXPECT_THROW(project.FindByNumber("1.1"), ELoadInvalid);
    EXPECT_THROW(project.FindByNumber("5"), ELoadInvalid);
    EXPECT_THROW(project.FindByNumber("0"), EListError);
    EXPECT_THROW(project.FindByNumber("1.-2"), EListError);
    EXPECT_THROW(project.FindByNumber("x"), EListError);
    EXPECT_THROW(project.TreeByIndex(0), EListError);
}

TEST(TreeList, RenameAndAddSetTheModifiedFlag)
{
    Sample s;
    s.a->Rename("a");
    EXPECT_FALSE(s.project.Modified());
    s.a->Rename("A");  // letter case counts
    EXPECT_TRUE(s.project.Modified());
    EXPECT_EQ(s.a->Name(), "A");
    s.project.SetModified(false);
    s.a21->AddChild("x");
    EXPECT_TRUE(s.project.Modified());
}

TEST(TreeList, LinksAreSymmetricAndDieWithTheirItems)
{
    Sample s;
    s.a1->Link(s.u);
    s.a21->Link(s.u);
    s.b->Link(s.v);
    EXPECT_TRUE(s.u->IsLinkedWith(s.a1));
    EXPECT_TRUE(s.a1->ToggleLink(s.u, false));
    EXPECT_FALSE(s.project.Modified());
    EXPECT_FALSE(s.a1->ToggleLink(s.u, true));
    EXPECT_TRUE(s.project.Modified());
    EXPECT_FALSE(s.u->IsLinkedWith(s.a1));
    EXPECT_FALSE(s.a1->IsLinkedWith(s.u));
    EXPECT_TRUE(s.a1->ToggleLink(s.u, true));
    EXPECT_TRUE(s.u->IsLinkedWith(s.a1));

    s.u->Unlink(s.b);  // not linked: nothing happens
    EXPECT_EQ(s.u->Links().size(), 2u);

    // Destroying an ancestor unlinks every item of its subtree.
    s.project.TreeByIndex(1)->DeleteAt(0);
    EXPECT_TRUE(s.u->Links().empty());
    EXPECT_FALSE(s.u->HasChildrenOrLinks());
    EXPECT_TRUE(s.v->HasChildrenOrLinks());
}

TEST(TreeList, QueriesOnLevels)
{
    Sample s;
    EXPECT_TRUE(s.a21->IsDescendantOf(s.project.TreeByIndex(1)));
    EXPECT_FALSE(s.a->IsDescendantOf(s.a));
    EXPECT_EQ(s.a->SubtreeHeight(), 3);
    EXPECT_EQ(s.b->SubtreeHeight(), 1);
    EXPECT_EQ(s.project.SubtreeHeight(), 5);
}

TEST(TreeList, WalkLevelsVisitsTheChosenLevels)
{
    Sample s;
    std::vector<TTreeList*> seen;
    std::vector<std::pair<int, int>> levelsAndCounts;
    auto visit = [&](int level, int count, TTreeList* node) {
        seen.push_back(node);
        levelsAndCounts.emplace_back(level, count);
    };
    s.a->WalkLevels(1, 0, visit);
    EXPECT_EQ(names(seen), (std::vector<std::string>{"a", "a1", "a2", "a21"}));
    EXPECT_EQ(levelsAndCounts,
              (std::vector<std::pair<int, int>>{{1, 1}, {2, 2}, {2, 3}, {3, 4}}));
    seen.clear();
    s.a->WalkLevels(2, 1, visit);
    EXPECT_EQ(names(seen), (std::vector<std::string>{"a1", "a2"}));
    seen.clear();
    s.a->WalkLevels(1, 2, visit);
    EXPECT_EQ(names(seen), (std::vector<std::string>{"a", "a1", "a2"}));
    seen.clear();
    s.a->WalkLevels(0, 0, visit);
    s.a->WalkLevels(1, -1, visit);
    EXPECT_TRUE(seen.empty());
}

TEST(TreeList, CopySubtreeCopiesNamesNotLinks)
{
    Sample s;
    s.a21->Link(s.u);
    auto copy = TTreeList::CopySubtree(s.b, *s.a);
    EXPECT_EQ(copy->Parent(), s.b);
    ASSERT_EQ(copy->Count(), 2);
    EXPECT_EQ(copy->Child(1)->Child(0)->Name(), "a21");
    EXPECT_TRUE(copy->Child(1)->Child(0)->Links().empty());
    EXPECT_EQ(copy->Child(1)->Parent(), copy.get());
    EXPECT_EQ(s.b->Count(), 0);
}

TEST(TreeList, FillItemListInPreOrderOrSaysWhatIsMissing)
{
    Sample s;
    test::FakePrompts prompts;
    ItemList list;
    ASSERT_TRUE(s.a->FillItemList(1, list, prompts));
    std::vector<std::string> texts;
    for (const auto& e : list)
        texts.push_back(e.Text);
    EXPECT_EQ(texts, (std::vector<std::string>{"1.1", "1.1.1", "1.1.2", "1.1.2.1", "1.2"}));
    EXPECT_EQ(list[3].Item, s.a21);
    EXPECT_TRUE(prompts.shown.empty());

    ItemList empty;
    EXPECT_FALSE(s.project.FillItemList(2, empty, prompts));
    EXPECT_FALSE(s.project.FillItemList(11, empty, prompts));
    EXPECT_EQ(prompts.informs(), (std::vector<std::string>{
                                     "Не заданы Основные и обеспечивающие процессы/функции!",
                                     "Не заданы !"}));

    TMainTreeList fresh;
    EXPECT_FALSE(fresh.FillItemList(4, empty, prompts));
    EXPECT_EQ(prompts.informs().back(), "Не заданы Структурные звенья!");
}

TEST(TreeList, VeryDeepTreesNeedNoDeepRecursion)
{
    auto project = std::make_unique<TMainTreeList>();
    TTreeList* node = project->TreeByIndex(1);
    node->Append(std::make_unique<TTreeList>())->Link(project->TreeByIndex(4)->AddChild("u"));
    for (int i = 0; i < 300000; ++i)
        node = node->Append(std::make_unique<TTreeList>());
    EXPECT_EQ(project->TreeByIndex(1)->SubtreeHeight(), 300001);
    int visited = 0;
    project->ForEachPreOrder([&visited](TTreeList*, const std::string&, int) { ++visited; });
    EXPECT_EQ(visited, 300000 + 1 + 1 + 4 + 1);
    project.reset();  // must not overflow the stack
}

// Child and link lists keep their first entry inside the node and move to pooled blocks, then
// to the heap, as they grow: random inserts and erases at every size end equal to a vector.
TEST(TreeList, NodeListsMatchAVectorAtEverySize)
{
    std::mt19937 rng(5);
    NodeVector<TTreeList*> list;
    std::vector<TTreeList*> model;
    auto value = [](size_t n) { return reinterpret_cast<TTreeList*>((n + 1) * 8); };
    for (int step = 0; step < 20000; ++step) {
        const bool grow = model.size() < 3 || rng() % 100 < (step < 10000 ? 70 : 30);
        if (grow) {
            const size_t at = rng() % (model.size() + 1);
            list.insert(at, value(static_cast<size_t>(step)));
            model.insert(model.begin() + static_cast<std::ptrdiff_t>(at),
                         value(static_cast<size_t>(step)));
        } else {
            const size_t at = rng() % model.size();
            list.erase(at);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        }
        ASSERT_TRUE(std::equal(list.begin(), list.end(), model.begin(), model.end())) << step;
    }
    NodeVector<TTreeList*> moved(std::move(list));
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(std::equal(moved.begin(), moved.end(), model.begin(), model.end()));
    moved.assign(std::span<TTreeList* const>(model.data(), 1));
    EXPECT_EQ(moved.size(), 1u);
    EXPECT_EQ(moved.front(), model.front());
}

// Names of any length, the empty one included, and nodes freed and made again after every
// pooled block has gone back.
TEST(TreeList, NamesOfAnyLengthSurviveRenamesAndReuse)
{
    for (int round = 0; round < 3; ++round) {
        TMainTreeList project;
        TTreeList* tree = project.TreeByIndex(1);
        std::vector<std::string> expected;
        for (size_t length : {0u, 1u, 7u, 8u, 255u, 256u, 257u, 5000u}) {
            tree->AddChild(std::string(length, static_cast<char>('a' + length % 26)));
            expected.emplace_back(length, static_cast<char>('a' + length % 26));
        }
        tree->Child(2)->Rename(std::string(300, 'r'));
        expected[2] = std::string(300, 'r');
        tree->Child(6)->Rename("");
        expected[6].clear();
        tree->Child(7)->Rename(std::string("with\0zero", 9));
        expected[7] = std::string("with\0zero", 9);
        std::vector<TTreeList*> children;
        for (int i = 0; i < tree->Count(); ++i)
            children.push_back(tree->Child(i));
        EXPECT_EQ(names(children), expected) << round;
        // A file keeps 255 characters of a name.
        TMainTreeList again;
        ASSERT_TRUE(again.ReadProjectText(project.ProjectFileText()).Ok);
        EXPECT_EQ(again.FindByNumber("1.3")->Name(), expected[2].substr(0, 255));
        EXPECT_EQ(again.FindByNumber("1.8")->Name(), expected[7]);
    }
}

// Blocks of one size have slots of their own below the limit, however they come and go, so a
// walk can note things about nodes in an array by slot.
TEST(NodePool, LiveBlocksOfASizeHaveDistinctSlotsBelowTheLimit)
{
    std::mt19937 rng(3);
    const std::size_t sizes[] = {8, sizeof(TTreeList), 200};
    std::vector<std::pair<void*, std::size_t>> live;
    for (int step = 0; step < 60000; ++step) {
        if (!live.empty() && rng() % 3 == 0) {
            const size_t i = rng() % live.size();
            PoolFree(live[i].first, live[i].second);
            live[i] = live.back();
            live.pop_back();
        } else {
            const std::size_t size = sizes[rng() % std::size(sizes)];
            live.emplace_back(PoolAllocate(size), size);
        }
    }
    std::map<std::size_t, std::set<uint32_t>> taken;
    for (const auto& [block, size] : live) {
        const uint32_t slot = PoolSlot(block, size);
        EXPECT_LT(slot, PoolSlotLimit(size));
        EXPECT_TRUE(taken[size].insert(slot).second) << "slot " << slot << " twice";
    }
    for (const auto& [block, size] : live)
        PoolFree(block, size);
}
