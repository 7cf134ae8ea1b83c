// The project writer: a generated project's file is byte for byte the stored one (its hash is
// kept here, so any byte the writer changes shows), and after edits that move, delete and relink items every
// write equals a plain rendering of the rule (each node in pre-order with its number, each link
// once under the later of its two items, its partners in pre-order).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>

#include "core/io/safefile.h"
#include "core/model/project.h"
#include "core/model/projectedits.h"
#include "core/text/cp1251.h"
#include "support/hash.h"

using namespace orm;

namespace {

// Random items in the four trees, up to seven levels deep, and random links between trees,
// some pairs linked twice; the same seed gives the same project everywhere.
std::vector<TTreeList*> grow(TMainTreeList& project, int items, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::vector<TTreeList*>> of(4);
    std::vector<TTreeList*> all;
    for (int k = 0; k < 4; ++k) {
        TTreeList* tree = project.Child(k);
        std::vector<TTreeList*> open{tree};
        for (int i = 0; i < items / 4; ++i) {
            TTreeList* parent = rng() % 10 == 0 ? tree : open[rng() % open.size()];
            TTreeList* item = parent->AddChild(
                i % 13 == 0 ? std::string() : "Item " + std::to_string(k + 1) + "/" +
                                                  std::to_string(i) + ToCp1251(" пункт"));
            if (item->Level() < 7)
                open.push_back(item);
            of[static_cast<size_t>(k)].push_back(item);
            all.push_back(item);
        }
    }
    for (int i = 0; i < items; ++i) {
        const size_t a = rng() % 4;
        const size_t b = rng() % 4;
        if (a != b && !of[a].empty() && !of[b].empty())
            of[a][rng() % of[a].size()]->Link(of[b][rng() % of[b].size()]);
    }
    return all;
}

// The file as the rule describes it, with nothing shared with the writer but the tree.
std::string rendered(TMainTreeList& project)
{
    std::vector<std::pair<TTreeList*, std::string>> nodes;
    for (int k = 0; k < std::min(project.Count(), 4); ++k) {
        project.Child(k)->ForEachPreOrder([&](TTreeList* node, const std::string& number, int) {
            nodes.emplace_back(node, number);
        });
    }
    std::map<const TTreeList*, size_t> order;
    for (size_t i = 0; i < nodes.size(); ++i)
        order[nodes[i].first] = i;
    std::string out = "0 " + std::string(project.Name()) + "\r\n";
    for (size_t i = 0; i < nodes.size(); ++i) {
        out += nodes[i].second + " " + std::string(nodes[i].first->Name()) + "\r\n";
        std::vector<size_t> earlier;
        for (const TTreeList* other : nodes[i].first->Links()) {
            const auto it = order.find(other);
            if (it != order.end() && it->second < i)
                earlier.push_back(it->second);
        }
        std::sort(earlier.begin(), earlier.end());
        earlier.erase(std::unique(earlier.begin(), earlier.end()), earlier.end());
        for (const size_t e : earlier)
            out += nodes[e].second + "\r\n";
    }
    return out;
}

}  // namespace

TEST(ProjectWrite, AGeneratedProjectWritesTheSameBytes)
{
    TMainTreeList project;
    project.SetName(ToCp1251("Проект на 10 000"));
    grow(project, 10000, 23);
    const std::string text = project.ProjectFileText();
    EXPECT_EQ(text.size(), 364476u);
    EXPECT_EQ(test::Fnv1a(text), 6238430799062345890ull);
    EXPECT_EQ(text, rendered(project));
}

// Each write orders the nodes afresh: positions left on the nodes by an earlier write, for
// nodes since moved, deleted or added, must not pair links with the wrong lines.
TEST(ProjectWrite, WritesAfterEditsFollowTheRule)
{
    TMainTreeList project;
    std::vector<TTreeList*> items = grow(project, 2000, 5);
    std::mt19937 rng(9);
    for (int round = 0; round < 20; ++round) {
        ASSERT_EQ(project.ProjectFileText(), rendered(project)) << round;
        for (int edit = 0; edit < 25; ++edit) {
            TTreeList* item = items[rng() % items.size()];
            TTreeList* parent = item->Parent();
            switch (rng() % 4) {
            case 0:
                ProjectEdits::MoveItemTo(item, parent, static_cast<int>(rng() % parent->Count()));
                break;
            case 1:
                items.push_back(item->AddChild("new"));
                items.back()->Link(items[rng() % items.size()]);
                break;
            case 2:
                if (!item->Links().empty())
                    item->Unlink(item->Links().front());
                break;
            default: {
                // Away with the item and its subtree, out of the list of candidates too.
                std::erase_if(items, [item](const TTreeList* x) {
                    return x == item || x->IsDescendantOf(item);
                });
                parent->DeleteAt(parent->IndexOf(item));
            }
            }
        }
    }
    // A tree beyond the four written ones and links into it are left out.
    TTreeList* extra = project.Append(std::make_unique<TTreeList>(&project));
    TTreeList* outside = extra->AddChild("outside");
    items.front()->Link(outside);
    const std::string text = project.ProjectFileText();
    EXPECT_EQ(text, rendered(project));
    EXPECT_EQ(text.find("outside"), std::string::npos);
}

TEST(ProjectWrite, DeepChainsCopyTheirNumbersWhole)
{
    TMainTreeList project;
    TTreeList* node = project.TreeByIndex(2);
    for (int depth = 0; depth < 300; ++depth)
        node = node->AddChild(depth % 2 ? "" : "x");
    node->Link(project.TreeByIndex(1)->AddChild("a"));
    const std::string text = project.ProjectFileText();
    EXPECT_EQ(text, rendered(project));
    EXPECT_NE(text.find("\r\n1.1\r\n"), std::string::npos);
}

// A save hands the file on a block at a time: the saved bytes are the whole text, and a disk
// that fills up in the middle of a later block fails the save and keeps the file as it was.
TEST(ProjectWrite, ASaveInBlocksIsTheTextAndFailsWhole)
{
    TMainTreeList project;
    grow(project, 60000, 31);
    const std::string text = project.ProjectFileText();
    ASSERT_GT(text.size(), size_t{2} << 20);
    const std::string path = ::testing::TempDir() + "ormelit-write-blocks.ovx";
    project.SetFileName(path);
    ASSERT_TRUE(project.WriteProjectFile());
    auto saved = ReadFileBytes(path);
    ASSERT_TRUE(saved);
    EXPECT_TRUE(*saved == text);

    project.Child(0)->Child(0)->Rename("changed");
    SetWriteFailureAfterForTesting(text.size() - 1000);
    std::string error;
    EXPECT_FALSE(project.WriteProjectFile(&error));
    SetWriteFailureAfterForTesting(std::nullopt);
    EXPECT_FALSE(error.empty());
    saved = ReadFileBytes(path);
    ASSERT_TRUE(saved);
    EXPECT_TRUE(*saved == text);
}
