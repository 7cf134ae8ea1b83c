#include "format/gdistate.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>

// The device-context pieces both metafile players rest on: the object table, the saved-state
// stack, and the mapping and clip-region helpers.

namespace orm::gdi {
namespace {

TEST(GdiObjectTable, NewObjectsTakeTheLowestFreeSlot)
{
    ObjectTable<int> table(4);
    for (int i = 0; i < 4; ++i) table.Add(10 + i);
    table.Add(99);  // full: refused
    EXPECT_EQ(*table.Get(3), 13);
    EXPECT_FALSE(table.Get(4));

    const auto held = table.Get(2);
    table.Remove(2);
    table.Remove(0);
    table.Remove(0);  // twice: the slot is freed once
    EXPECT_FALSE(table.Get(0));
    EXPECT_EQ(*held, 12);  // what is selected outlives its slot
    table.Add(20);
    table.Add(21);
    table.Add(22);  // full again
    EXPECT_EQ(*table.Get(0), 20);
    EXPECT_EQ(*table.Get(2), 21);
    EXPECT_EQ(*table.Get(1), 11);
}

TEST(GdiObjectTable, NamedSlotsLeaveTheGapsFree)
{
    ObjectTable<int> table(8);
    table.Put(3, 3);
    table.Put(8, 8);  // beyond the capacity
    EXPECT_FALSE(table.Get(8));
    table.Put(3, 33);  // a slot is replaced, not duplicated
    EXPECT_EQ(*table.Get(3), 33);
    table.Add(0);
    table.Add(1);
    table.Add(2);
    table.Add(4);
    EXPECT_EQ(*table.Get(0), 0);
    EXPECT_EQ(*table.Get(2), 2);
    EXPECT_EQ(*table.Get(3), 33);
    EXPECT_EQ(*table.Get(4), 4);
    EXPECT_FALSE(table.Get(1000000));
}

TEST(GdiSavedStates, RestoreByNumberOrBackFromTheLatest)
{
    SavedStates<int> saved;
    int state = 0;
    for (int i = 1; i <= 5; ++i) saved.Save(i);
    EXPECT_FALSE(saved.Restore(0, state));
    EXPECT_FALSE(saved.Restore(6, state));
    EXPECT_FALSE(saved.Restore(-6, state));
    EXPECT_FALSE(saved.Restore(std::numeric_limits<qint32>::min(), state));
    EXPECT_EQ(state, 0);
    EXPECT_TRUE(saved.Restore(-1, state));  // the latest
    EXPECT_EQ(state, 5);
    EXPECT_EQ(saved.Size(), 4u);
    EXPECT_TRUE(saved.Restore(2, state));  // the second, and all after it go
    EXPECT_EQ(state, 2);
    EXPECT_EQ(saved.Size(), 1u);
    EXPECT_TRUE(saved.Restore(-1, state));
    EXPECT_EQ(state, 1);
    EXPECT_FALSE(saved.Restore(-1, state));
}

TEST(GdiSavedStates, EndlessSavesAreCapped)
{
    SavedStates<int> saved;
    for (int i = 0; i < 5000; ++i) saved.Save(i);
    EXPECT_EQ(saved.Size(), kMaxSavedStates);
    int state = -1;
    EXPECT_TRUE(saved.Restore(-1, state));
    EXPECT_EQ(state, int(kMaxSavedStates) - 1);
}

TEST(GdiMapping, IsotropicModeKeepsTheSmallerScaleAndEachSign)
{
    const QPointF window(100, -50);
    const QPointF viewport(400, 100);
    EXPECT_EQ(ExtentScale(kMmAnisotropic, window, viewport), QPointF(4, -2));
    EXPECT_EQ(ExtentScale(kMmIsotropic, window, viewport), QPointF(2, -2));
    EXPECT_EQ(ExtentScale(kMmIsotropic, QPointF(-10, 10), QPointF(10, 40)), QPointF(-1, 1));
}

TEST(GdiClipping, RegionRectanglesAreHeldOnTheDevice)
{
    EXPECT_EQ(RegionRect(QRectF(QPointF(10, 20), QPointF(2.4, 5.6)), 1e6),
              QRect(QPoint(2, 6), QPoint(9, 19)));
    EXPECT_EQ(RegionRect(QRectF(-1e12, 0, 2e12, 10), 1000),
              QRect(QPoint(-1000, 0), QPoint(999, 9)));
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(ClampCoord(nan, 5), 0.0);
    EXPECT_EQ(ClampCoord(inf, 5), 0.0);
    EXPECT_EQ(ClampCoord(-7, 5), -5.0);
}

TEST(GdiClipping, PairwiseUnionIsTheUnion)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> at(0, 200);
    for (int round = 0; round < 20; ++round) {
        std::vector<QRegion> parts;
        QRegion naive;
        for (int i = 0; i < round * 7; ++i) {
            const QRect r(at(random), at(random), at(random) / 4 + 1, at(random) / 4 + 1);
            parts.emplace_back(r);
            naive = naive.united(r);
        }
        EXPECT_EQ(UniteRegions(parts), naive) << round;
    }
}

TEST(GdiGeometry, EllipseAnglesAreCounterclockwiseOnTheDevice)
{
    const QRectF box(0, 0, 200, 100);
    EXPECT_DOUBLE_EQ(EllipseAngle(box, QPointF(300, 50)), 0);
    EXPECT_DOUBLE_EQ(EllipseAngle(box, QPointF(100, -80)), 90);   // above: y grows downwards
    EXPECT_DOUBLE_EQ(EllipseAngle(box, QPointF(200, 100)), -45);  // the corner, not atan2(1, 2)
    EXPECT_EQ(EllipseAngle(QRectF(0, 0, 0, 100), QPointF(5, 5)), 0);
}

}  // namespace
}  // namespace orm::gdi
