#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

#include "RenderTestSupport.h"
#include "render/DotLattice.h"
#include "render/RenderDots.h"

using namespace rendertest;

namespace {

using PointSet = std::set<std::pair<double, double>>;

PointSet Grid(double x0, double x1, double y0, double y1, double step)
{
    PointSet s;
    for (double y = y0; y <= y1; y += step) {
        for (double x = x0; x <= x1; x += step) {
            s.insert({x, y});
        }
    }
    return s;
}

PointSet Positions(const RenderRecord &record, A_long w, A_long h)
{
    PointSet s;
    for (const auto &d : LayOutDots<Pixel8>(record, w, h).dots) {
        s.insert({d.x, d.y});
    }
    return s;
}

TEST(DotLattice, PitchBySpacingType)
{
    RenderRecord r = QuietRecord();
    r.DotSize = 20;
    r.SpacingType = 1;  // Two Points: gap between edges
    r.DotSpacingX = 0;
    r.DotSpacingY = 5;
    DotLattice l = DotLattice::FromRecord(r, 100, 100);
    EXPECT_EQ(l.pitchX, 20);  // touching dots
    EXPECT_EQ(l.pitchY, 25);

    r.SpacingType = 2;  // Center: centre to centre, whatever the size
    r.DotSpacingX = 20;
    r.DotSpacingY = 20;
    for (double size : {1.0, 20.0, 300.0}) {
        r.DotSize = size;
        l = DotLattice::FromRecord(r, 100, 100);
        EXPECT_EQ(l.pitchX, 20);
        EXPECT_EQ(l.pitchY, 20);
    }
}

TEST(DotLattice, PitchIsAtLeastOnePixel)
{
    RenderRecord r = QuietRecord();
    r.SpacingType = 2;
    r.DotSpacingX = 0.25;
    r.DotSpacingY = -3;
    DotLattice l = DotLattice::FromRecord(r, 10, 10);
    EXPECT_EQ(l.pitchX, 1);
    EXPECT_EQ(l.pitchY, 1);

    r.SpacingType = 1;
    r.DotSize = 0.5;
    r.DotSpacingX = 0.2;
    r.DotSpacingY = 1.5;
    l = DotLattice::FromRecord(r, 10, 10);
    EXPECT_EQ(l.pitchX, 1);
    EXPECT_EQ(l.pitchY, 2);

    r.SpacingType = 7;  // unknown: one pixel both ways
    l = DotLattice::FromRecord(r, 10, 10);
    EXPECT_EQ(l.pitchX, 1);
    EXPECT_EQ(l.pitchY, 1);
}

TEST(DotLattice, RotationCentreByPopup)
{
    RenderRecord r = QuietRecord(50, 30);
    r.Effectors[0].position = FixedPoint{10 << 16, 11 << 16};
    r.Effectors[1].position = FixedPoint{20 << 16, 21 << 16};
    r.Effectors[2].position = FixedPoint{30 << 16, (31 << 16) + 32768};
    r.Effectors[2].enable = 0;  // the position counts even when disabled

    const std::pair<double, double> expected[] = {{0, 0},   {50, 30},   {10, 11},
                                                  {20, 21}, {30, 31.5}, {0, 0}};
    for (A_long popup = 0; popup <= 5; ++popup) {
        r.GlobalRotationCenter = popup;
        DotLattice l = DotLattice::FromRecord(r, 100, 100);
        EXPECT_EQ(l.rcx, expected[popup].first) << popup;
        EXPECT_EQ(l.rcy, expected[popup].second) << popup;
    }
}

TEST(DotLattice, MarginsGrowWithRandomSpacing)
{
    RenderRecord r = QuietRecord();
    r.RandomSpacingX = 0.5;
    r.RandomSpacingY = 1;
    DotLattice l = DotLattice::FromRecord(r, 100, 60);
    EXPECT_EQ(l.marginX, 30);
    EXPECT_EQ(l.marginY, 40);
    EXPECT_TRUE(l.Uses(-30, -40));
    EXPECT_FALSE(l.Uses(130, 0));  // the far edges are open
    EXPECT_TRUE(l.Uses(129.9, 99.9));
    EXPECT_FALSE(l.Uses(0, 100));
}

TEST(DotLattice, WalkStopsAtTheFirstEmptyRingAfterDots)
{
    RenderRecord r = QuietRecord(50, 30);
    DotLattice l = DotLattice::FromRecord(r, 100, 60);
    int used = 0, culled = 0;
    std::vector<std::pair<double, double>> order;
    l.Walk(
        [&](double x, double y) {
            ++used;
            order.push_back({x, y});
        },
        [&] { ++culled; });
    // Used: x in -10..110, y in -10..70, rings 0 to 3; ring 4 is empty and ends the walk.
    EXPECT_EQ(used, 7 * 5);
    EXPECT_EQ(used + culled, 9 * 9);
    // Ring order: the centre, then ring 1 row by row from its top-left cell.
    ASSERT_GE(order.size(), 6u);
    EXPECT_EQ(order[0], std::make_pair(50.0, 30.0));
    EXPECT_EQ(order[1], std::make_pair(30.0, 10.0));
    EXPECT_EQ(order[2], std::make_pair(50.0, 10.0));
    EXPECT_EQ(order[3], std::make_pair(70.0, 10.0));
    EXPECT_EQ(order[4], std::make_pair(30.0, 30.0));  // middle row: its two ends
    EXPECT_EQ(order[5], std::make_pair(70.0, 30.0));
}

TEST(DotLattice, ZeroRandomnessPutsDotsOnTheLattice)
{
    RenderRecord r = QuietRecord(50, 30);
    EXPECT_EQ(Positions(r, 100, 60), Grid(-10, 110, -10, 70, 20));
}

TEST(DotLattice, CentreFarOutsideStillGivesTheFullGrid)
{
    RenderRecord r = QuietRecord(-1000, -1000);
    // Rings grow until they meet the canvas: x, y = 0 mod 20 inside the margins.
    EXPECT_EQ(Positions(r, 100, 60), Grid(-20, 100, -20, 60, 20));

    r = QuietRecord(5000, 300);
    EXPECT_EQ(Positions(r, 100, 60), Grid(-20, 100, -20, 60, 20));
}

TEST(DotLattice, WalkGivesUpWhenNoCellCanBeUsed)
{
    RenderRecord r = QuietRecord(50, 30);
    r.RandomSpacingX = -4;  // margin -60 on a 100-wide canvas: the used area is empty
    DotLattice l = DotLattice::FromRecord(r, 100, 60);
    int used = 0, culled = 0;
    l.Walk([&](double, double) { ++used; }, [&] { ++culled; });
    EXPECT_EQ(used, 0);
    EXPECT_GT(culled, 0);
}

TEST(DotLattice, GlobalRotationTurnsTheLatticeAboutItsCentre)
{
    RenderRecord r = QuietRecord(50, 50);
    r.DotSpacingX = 20;
    r.DotSpacingY = 10;
    r.GlobalRotation = 90 << 16;
    // A quarter turn swaps the pitches: columns 10 apart, rows 20 apart.
    for (const auto &d : LayOutDots<Pixel8>(r, 100, 100).dots) {
        const double fx = (d.x - 50) / 10, fy = (d.y - 50) / 20;
        ASSERT_NEAR(fx, std::round(fx), 1e-9) << d.x << "," << d.y;
        ASSERT_NEAR(fy, std::round(fy), 1e-9) << d.x << "," << d.y;
    }
}

TEST(DotLattice, GlobalRotationAboutAnEffector)
{
    RenderRecord r = QuietRecord(50, 30);
    r.GlobalRotation = 90 << 16;
    r.GlobalRotationCenter = 2;
    r.Effectors[0].position = FixedPoint{60 << 16, 30 << 16};
    // The grid centre, 10 left of the rotation centre, turns to 10 above it.
    bool found = false;
    for (const auto &d : LayOutDots<Pixel8>(r, 100, 100).dots) {
        if (std::fabs(d.x - 60) < 1e-9 && std::fabs(d.y - 20) < 1e-9) found = true;
    }
    EXPECT_TRUE(found);
}

}  // namespace
