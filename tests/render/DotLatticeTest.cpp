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
        for (double x = x0; x <= x1; x += step) s.insert({x, y});
    }
    return s;
}

PointSet Positions(const RenderRecord &record, A_long w, A_long h)
{
    PointSet s;
    for (const auto &d : LayOutDots<Pixel8>(record, w, h).dots) s.insert({d.x, d.y});
    return s;
}

TEST(DotLattice, PitchBySpacingTypeAtLeastOnePixel)
{
    struct Case {
        A_long spacingType;
        double size, spacingX, spacingY, pitchX, pitchY;
    };
    // Two Points (1) adds the gap to the size: touching dots at gap 0. Center
    // (2) is the spacing whatever the size. An unknown type is one pixel.
    for (const Case &c :
         {Case{1, 20, 0, 5, 20, 25}, Case{2, 300, 20, 20, 20, 20}, Case{2, 1, 0.25, -3, 1, 1},
          Case{1, 0.5, 0.2, 1.5, 1, 2}, Case{7, 20, 20, 20, 1, 1}}) {
        RenderRecord r = QuietRecord();
        r.SpacingType = c.spacingType;
        r.DotSize = c.size;
        r.DotSpacingX = c.spacingX;
        r.DotSpacingY = c.spacingY;
        const DotLattice l = DotLattice::FromRecord(r, 100, 100);
        EXPECT_EQ(std::make_pair(l.pitchX, l.pitchY), std::make_pair(c.pitchX, c.pitchY))
            << "type " << c.spacingType << ", size " << c.size;
    }
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
        const DotLattice l = DotLattice::FromRecord(r, 100, 100);
        EXPECT_EQ(std::make_pair(l.rcx, l.rcy), expected[popup]) << popup;
    }
}

TEST(DotLattice, MarginsGrowWithRandomSpacing)
{
    RenderRecord r = QuietRecord();
    r.RandomSpacingX = 0.5;
    r.RandomSpacingY = 1;
    const DotLattice l = DotLattice::FromRecord(r, 100, 60);
    EXPECT_EQ(l.marginX, 30);
    EXPECT_EQ(l.marginY, 40);
    EXPECT_TRUE(l.Uses(-30, -40));
    EXPECT_FALSE(l.Uses(130, 0));  // the far edges are open
    EXPECT_TRUE(l.Uses(129.9, 99.9));
    EXPECT_FALSE(l.Uses(0, 100));
}

TEST(DotLattice, DotsLieOnTheLatticeWhereverItsCentre)
{
    EXPECT_EQ(Positions(QuietRecord(50, 30), 100, 60), Grid(-10, 110, -10, 70, 20));
    // From far outside, rings grow until they meet the canvas: x, y = 0 mod 20
    // inside the margins.
    EXPECT_EQ(Positions(QuietRecord(-1000, -1000), 100, 60), Grid(-20, 100, -20, 60, 20));
    EXPECT_EQ(Positions(QuietRecord(5000, 300), 100, 60), Grid(-20, 100, -20, 60, 20));
}

TEST(DotLattice, GlobalRotationTurnsTheLatticeAboutTheRotationCentre)
{
    RenderRecord r = QuietRecord(50, 30);
    r.DotSpacingY = 10;
    r.GlobalRotation = 90 << 16;
    r.GlobalRotationCenter = 2;
    r.Effectors[0].position = FixedPoint{60 << 16, 30 << 16};
    // The grid centre, 10 left of the rotation centre, turns to 10 above it;
    // a quarter turn swaps the pitches: columns 10 apart, rows 20 apart.
    const auto dots = LayOutDots<Pixel8>(r, 100, 100).dots;
    ASSERT_FALSE(dots.empty());
    EXPECT_NEAR(dots[0].x, 60, 1e-9);
    EXPECT_NEAR(dots[0].y, 20, 1e-9);
    for (const auto &d : dots) {
        const double fx = (d.x - 60) / 10, fy = (d.y - 20) / 20;
        ASSERT_NEAR(fx, std::round(fx), 1e-9) << d.x << "," << d.y;
        ASSERT_NEAR(fy, std::round(fy), 1e-9) << d.x << "," << d.y;
    }
}

}  // namespace
