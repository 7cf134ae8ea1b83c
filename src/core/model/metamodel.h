#pragma once

// The fixed metamodel: which classifiers, projections and reports exist, what they are called,
// which classifiers a projection binds, how the metamodel's part of the main menu is laid out
// and which parameters each report asks for. Texts are Windows-1251.

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace orm {

class TTreeList;

enum class ResKind { Classifier = 0, Projection = 1, Report = 2, MenuEntry = 3, MenuGroup = 4 };

// One entry of the menu layout: level 1 is a top-level item of the menu bar, level 2 an item
// inside the last top-level item; entry kind 0 is a group, 1 a classifier, 2 a projection,
// 3 a report.
struct TMenuEntry {
    int Level = 0;
    int EntryKind = 0;
    int Index = 0;
    bool operator==(const TMenuEntry&) const = default;
};

// One parameter row of a report. Mode 0 ends the rows; 1 the whole classifier; 2 one item;
// 3 one item or all. Levels and StartItem are the user's choice in the parameter dialog.
struct ReportParam {
    int Mode = 0;
    int Classifier = 0;
    std::string Caption;
    int Levels = 0;
    TTreeList* StartItem = nullptr;
};
inline constexpr int kReportParamRows = 5;
using ReportParamRows = std::array<ReportParam, kReportParamRows>;

// The caption and command tag of a built menu item (tag 0 for a group).
struct MenuItemData {
    std::string Caption;
    int Tag = 0;
};

// What a click on a metamodel menu item asks for, decoded from its tag.
struct MenuCommand {
    enum Kind { OpenClassifier, OpenProjection, MakeReport, Unknown };
    Kind What = Unknown;
    int Index = 0;             // classifier, projection or report index
    std::string Message;       // for Unknown: "Tag = <tag>", shown in an information box
};

// A top-level menu group with its items, in menu order.
struct MenuGroupData {
    MenuItemData Group;
    std::vector<MenuItemData> Items;
};

class TStructRes {
public:
    virtual ~TStructRes() = default;

    virtual int KindCount(ResKind kind) const;
    virtual std::string KindName(int index, ResKind kind) const;
    virtual TMenuEntry MenuEntry(int i) const;

    static std::pair<int, int> ProjectionPair(int p);
    std::string DisplayName(int index, ResKind kind) const;
    // Caption and tag of menu entry i into item; returns the entry's level.
    int SetupMenuItem(int i, MenuItemData& item) const;
    // The menu bar groups that BuildMenu inserts between the File and Window menus.
    std::vector<MenuGroupData> MenuLayout() const;
    static MenuCommand MenuItemClick(int tag);
    bool ReportParams(int r, ReportParamRows& rows) const;
};

class TStructRes14 : public TStructRes {
public:
    int KindCount(ResKind kind) const override;
    std::string KindName(int index, ResKind kind) const override;
    TMenuEntry MenuEntry(int i) const override;
};

// The one metamodel object of the program.
const TStructRes& Metamodel();

}  // namespace orm
