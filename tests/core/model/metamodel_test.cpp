#include <gtest/gtest.h>

#include "core/model/metamodel.h"
#include "core/text/cp1251.h"

using namespace orm;

namespace {

std::string utf8(const std::string& cp1251)
{
    return ToUtf8(cp1251);
}

}  // namespace

TEST(Metamodel, CountsAndNames)
{
    const TStructRes plain;
    const TStructRes14 meta;
    for (int kind = 0; kind <= 4; ++kind)
        EXPECT_EQ(plain.KindCount(static_cast<ResKind>(kind)), 0);
    EXPECT_EQ(meta.KindCount(ResKind::Classifier), 4);
    EXPECT_EQ(meta.KindCount(ResKind::Projection), 3);
    EXPECT_EQ(meta.KindCount(ResKind::Report), 4);
    EXPECT_EQ(meta.KindCount(ResKind::MenuEntry), 14);
    EXPECT_EQ(meta.KindCount(ResKind::MenuGroup), 0);

    EXPECT_EQ(utf8(meta.DisplayName(4, ResKind::Classifier)), "Структурные звенья");
    EXPECT_EQ(utf8(meta.DisplayName(10, ResKind::Classifier)), "Стратегические цели");
    EXPECT_EQ(meta.DisplayName(11, ResKind::Classifier), "");
    EXPECT_EQ(utf8(meta.DisplayName(11, ResKind::Report)),
              "Отчет о соответствии Стратегических Целей  и Операционной деятельности");
    EXPECT_EQ(meta.DisplayName(13, ResKind::Report), "-");
    EXPECT_EQ(utf8(meta.DisplayName(17, ResKind::Projection)), "Стратегия // Структурные звенья");
    EXPECT_EQ(utf8(meta.KindName(2, ResKind::MenuGroup)), "Матрицы");
    EXPECT_EQ(plain.KindName(2, ResKind::MenuGroup), "");
}

TEST(Metamodel, ProjectionPairs)
{
    EXPECT_EQ(TStructRes::ProjectionPair(0), std::make_pair(0, 0));
    EXPECT_EQ(TStructRes::ProjectionPair(18), std::make_pair(0, 0));
    EXPECT_EQ(TStructRes::ProjectionPair(17), std::make_pair(9, 4));
    EXPECT_EQ(TStructRes::ProjectionPair(1), std::make_pair(1, 4));
    EXPECT_EQ(TStructRes::ProjectionPair(12), std::make_pair(9, 10));
    // No two projections bind the same two classifiers.
    for (int p = 1; p <= 17; ++p) {
        for (int q = p + 1; q <= 17; ++q) {
            auto [a, b] = TStructRes::ProjectionPair(p);
            auto [c, d] = TStructRes::ProjectionPair(q);
            EXPECT_FALSE((a == c && b == d) || (a == d && b == c)) << p << " " << q;
        }
    }
}

TEST(Metamodel, MenuEntriesAndLayout)
{
    const TStructRes14 meta;
    EXPECT_EQ(utf8(meta.DisplayName(6, ResKind::MenuEntry)), "Матрицы");
    EXPECT_EQ(utf8(meta.DisplayName(7, ResKind::MenuEntry)),
              "Бизнес-направления // Структурные звенья");
    EXPECT_EQ(meta.DisplayName(15, ResKind::MenuEntry), "");

    MenuItemData item;
    EXPECT_EQ(meta.SetupMenuItem(1, item), 1);
    EXPECT_EQ(item.Tag, 0);
    EXPECT_EQ(meta.SetupMenuItem(14, item), 2);
    EXPECT_EQ(item.Tag, 304);
    EXPECT_EQ(utf8(item.Caption), "Положение о структурном подразделении (простое)");

    const auto groups = meta.MenuLayout();
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(utf8(groups[0].Group.Caption), "Классификаторы");
    EXPECT_EQ(utf8(groups[2].Group.Caption), "Отчеты");
    std::vector<int> tags;
    for (const auto& g : groups)
        for (const auto& i : g.Items)
            tags.push_back(i.Tag);
    EXPECT_EQ(tags, (std::vector<int>{101, 102, 103, 104, 201, 202, 203, 301, 302, 303, 304}));
    EXPECT_TRUE(TStructRes().MenuLayout().empty());
}

TEST(Metamodel, MenuClicksDecodeTags)
{
    EXPECT_EQ(TStructRes::MenuItemClick(101).What, MenuCommand::OpenClassifier);
    EXPECT_EQ(TStructRes::MenuItemClick(110).Index, 10);
    EXPECT_EQ(TStructRes::MenuItemClick(217).What, MenuCommand::OpenProjection);
    EXPECT_EQ(TStructRes::MenuItemClick(217).Index, 17);
    EXPECT_EQ(TStructRes::MenuItemClick(312).What, MenuCommand::MakeReport);
    const MenuCommand odd = TStructRes::MenuItemClick(111);
    EXPECT_EQ(odd.What, MenuCommand::Unknown);
    EXPECT_EQ(odd.Message, "Tag = 111");
    EXPECT_EQ(TStructRes::MenuItemClick(313).Message, "Tag = 313");
}

TEST(Metamodel, ReportParameterRows)
{
    const TStructRes14 meta;
    ReportParamRows rows;
    rows[0].Mode = 9;
    rows[4].Levels = 3;
    EXPECT_FALSE(meta.ReportParams(5, rows));
    for (const auto& row : rows) {
        EXPECT_EQ(row.Mode, 0);
        EXPECT_EQ(row.Levels, 0);
        EXPECT_EQ(row.StartItem, nullptr);
    }
    EXPECT_FALSE(meta.ReportParams(0, rows));

    ASSERT_TRUE(meta.ReportParams(3, rows));
    EXPECT_EQ(rows[0].Mode, 2);
    EXPECT_EQ(rows[0].Classifier, 4);
    EXPECT_EQ(utf8(rows[0].Caption), "Структурные звенья");
    EXPECT_EQ(rows[1].Mode, 0);

    ASSERT_TRUE(meta.ReportParams(1, rows));
    EXPECT_EQ(rows[0].Mode, 1);
    EXPECT_EQ(rows[0].Classifier, 4);
}
