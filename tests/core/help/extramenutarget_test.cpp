#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/help/extramenutarget.h"
#include "core/settings/profile.h"
#include "core/text/cp1251.h"
#include "support/tempdir.h"

namespace orm {
namespace {

// A menu tree of captions; an item with sub-items is a submenu.
struct Node {
    Node(std::string name, std::vector<Node> items = {}, ExtraMenuEntry entry = {})
        : Name(std::move(name)), Items(std::move(items)), Entry(std::move(entry))
    {
    }
    std::string Name;
    std::vector<Node> Items;
    ExtraMenuEntry Entry;
};

class FakeMenu : public ExtraMenuTarget {
public:
    Node& at(const std::vector<int>& path) const
    {
        Node* n = const_cast<Node*>(&Bar);
        for (int i : path)
            n = &n->Items.at(static_cast<std::size_t>(i));
        return *n;
    }
    int ItemCount(const std::vector<int>& path) const override
    {
        return static_cast<int>(at(path).Items.size());
    }
    void Insert(const std::vector<int>& path, int index, const ExtraMenuEntry& e) override
    {
        auto& items = at(path).Items;
        items.insert(items.begin() + index, Node{e.Name, {}, e});
    }
    // "F(f1 f2) C": captions, sub-items in brackets.
    static std::string dump(const Node& n)
    {
        std::string out;
        for (const Node& item : n.Items) {
            out += (out.empty() ? "" : " ") + item.Name;
            if (!item.Items.empty())
                out += '(' + dump(item) + ')';
        }
        return out;
    }

    // Like the main window: a first menu of seven items (separators count), a menu with a
    // command and a submenu, a third menu.
    Node Bar{"", {{"F", {{"f1"}, {"f2"}, {"f3"}, {"-"}, {"f5"}, {"-"}, {"f7"}}},
                  {"C", {{"c1"}, {"c2", {{"c2a"}}}}},
                  {"W", {{"w1"}}}}};
};

struct Case {
    const char* positions;  // one EXTRAMENU<n> per blank-separated POSITION; "-" for none
    const char* menu;       // the items are named a, b, c ... by section
};

const Case kCases[] = {
    {"1.3", "F(f1 f2 a f3 - f5 - f7) C(c1 c2(c2a)) W(w1)"},
    {"2", "F(f1 f2 f3 - f5 - f7) a C(c1 c2(c2a)) W(w1)"},
    {"4", "F(f1 f2 f3 - f5 - f7) C(c1 c2(c2a)) W(w1) a"},
    // With seven items, 1.8 appends and 1.9 is skipped ...
    {"1.9 1.8", "F(f1 f2 f3 - f5 - f7 b) C(c1 c2(c2a)) W(w1)"},
    // ... unless an earlier section made it eight.
    {"1.1 1.9", "F(a f1 f2 f3 - f5 - f7 b) C(c1 c2(c2a)) W(w1)"},
    // A submenu gets the item at its top; a command becomes a submenu with it.
    {"2.2.1", "F(f1 f2 f3 - f5 - f7) C(c1 c2(a c2a)) W(w1)"},
    {"2.1.1 2.1.2", "F(f1 f2 f3 - f5 - f7) C(c1(a b) c2(c2a)) W(w1)"},
    // Looking into a command for a place that does not fit leaves it a command.
    {"2.1.2 1.1.1.1", "F(f1 f2 f3 - f5 - f7) C(c1 c2(c2a)) W(w1)"},
    // No POSITION: skipped, and the next section is still read.
    {"- 3.1", "F(f1 f2 f3 - f5 - f7) C(c1 c2(c2a)) W(b w1)"},
};

class ExtraMenu : public ::testing::Test {
protected:
    std::string load(const std::string& ini)
    {
        m_dir.write("ormelit.INI", ToCp1251(ini));
        inserted = LoadExtraMenuEntries(menu, m_dir.path("ormelit.INI"), profile);
        return FakeMenu::dump(menu.Bar);
    }

    test::TempDir m_dir;
    TProfile profile;
    FakeMenu menu;
    int inserted = 0;
};

TEST_F(ExtraMenu, Positions)
{
    for (const Case& c : kCases) {
        menu = FakeMenu();
        std::string ini = "[GRIDS]\r\nUSE_HINT=1\r\n";
        std::istringstream positions(c.positions);
        char name = 'a';
        for (std::string p; positions >> p; ++name) {
            ini += "[EXTRAMENU" + std::to_string(name - 'a' + 1) + "]\r\nNAME=" + name + "\r\n";
            if (p != "-")
                ini += "POSITION=" + p + "\r\n";
        }
        EXPECT_EQ(load(ini), c.menu) << c.positions;
    }
}

TEST_F(ExtraMenu, MalformedPositionsAreSkipped)
{
    for (const char* p : {"1.0", "1.x", "1.", ".1", "0", "0.1", "5", "4.1", "1.-1", "1..1",
                          "1.1 a", "2.3.1", "2.2.3"}) {
        menu = FakeMenu();
        EXPECT_EQ(load(std::string("[EXTRAMENU1]\r\nNAME=x\r\nPOSITION=") + p +
                       "\r\n[EXTRAMENU2]\r\nNAME=ok\r\nPOSITION=3.2\r\n"),
                  "F(f1 f2 f3 - f5 - f7) C(c1 c2(c2a)) W(w1 ok)")
            << p;
    }
}

TEST_F(ExtraMenu, ListEndsAtTheFirstSectionWithoutAName)
{
    // EXTRAMENU2 missing: EXTRAMENU3 is never read.
    EXPECT_EQ(load("[EXTRAMENU1]\r\nNAME=a\r\nPOSITION=3.1\r\nFILE=/bin/x\r\n"
                   "[EXTRAMENU3]\r\nNAME=c\r\nPOSITION=3.1\r\n"),
              "F(f1 f2 f3 - f5 - f7) C(c1 c2(c2a)) W(a w1)");
    EXPECT_EQ(inserted, 1);
    EXPECT_EQ(menu.at({2, 0}).Entry.File, "/bin/x");
}

}  // namespace
}  // namespace orm
