#include <gtest/gtest.h>

#include <cmath>

#include "RenderTestSupport.h"
#include "render/DotShapes.h"

using namespace rendertest;

namespace {

template <typename Pixel>
class DotShapes : public ::testing::Test {
};
using Depths = ::testing::Types<Pixel8, Pixel16, Pixel32>;
// The trailing empty argument keeps -Wpedantic quiet where GoogleTest is built from source.
TYPED_TEST_SUITE(DotShapes, Depths, );

// Alpha of n of 64 sub-samples covered at full opacity.
template <typename Pixel>
double CoverageAlpha(int n)
{
    return std::is_same_v<Pixel, Pixel32> ? n / 64.0 : std::trunc(n * Full<Pixel>() / 64);
}

TEST(CirclePointCount, GrowsWithTheDiagonalFromEight)
{
    EXPECT_EQ(CirclePointCount(4, 4), 8);  // sqrt(32) * 2pi / 8 = 4.44
    EXPECT_EQ(CirclePointCount(100, 100), 111);
    EXPECT_EQ(CirclePointCount(0, 0), 8);
    EXPECT_EQ(CirclePointCount(10, 0), 8);  // 7.85
    EXPECT_EQ(CirclePointCount(20, 0), 15);
}

TEST(Outlines, PointCountsOfEachShape)
{
    TestCanvas<Pixel8> t(8, 8);
    FillCircle(t.canvas, -50, -50, 100, 100);
    EXPECT_EQ(t.Raster().PointCount(), 111u);
    FillRoundedRectangle(t.canvas, -5, -5, 10, 10);
    EXPECT_EQ(t.Raster().PointCount(), 8u + 4 * 10);  // ten per corner
    FillCross(t.canvas, -5, -5, 10, 10);
    EXPECT_EQ(t.Raster().PointCount(), 12u);
    FillStar(t.canvas, -5, -5, 10, 10);
    EXPECT_EQ(t.Raster().PointCount(), 5u);
    FillDiamond(t.canvas, -5, -5, 10, 10);
    EXPECT_EQ(t.Raster().PointCount(), 4u);
    // Arcs step by a twentieth of pi while below the end.
    t.Raster().Clear();
    AddArc(t.canvas, 0, 0, 1, 1, 0, kPi / 2);
    EXPECT_EQ(t.Raster().PointCount(), 10u);
    AddArc(t.canvas, 0, 0, 1, 1, 0, kPi / 40);
    EXPECT_EQ(t.Raster().PointCount(), 11u);
}

// The rounded rectangle takes its corners' cosines and sines from tables: the
// points must be those AddArc computes.
TEST(Outlines, RoundedRectangleCornersAreAddArcs)
{
    TestCanvas<Pixel8> t(8, 8);
    const double x = -3.7, y = -1.3, w = 7.4, h = 2.6, rx = 0.2 * w, ry = 0.2 * h;
    FillRoundedRectangle(t.canvas, x, y, w, h);
    const auto tabled = t.Raster().Points();
    PolygonRasterizer<Pixel8> &r = t.Raster();
    r.Clear();
    r.AddPoint(x + 0.2 * w, y);
    r.AddPoint(x + 0.8 * w, y);
    AddArc(t.canvas, x + 0.8 * w, y + 0.2 * h, rx, ry, 1.5 * kPi, 2 * kPi);
    r.AddPoint(x + w, y + 0.2 * h);
    r.AddPoint(x + w, y + 0.8 * h);
    AddArc(t.canvas, x + 0.8 * w, y + 0.8 * h, rx, ry, 0.0, 0.5 * kPi);
    r.AddPoint(x + 0.8 * w, y + h);
    r.AddPoint(x + 0.2 * w, y + h);
    AddArc(t.canvas, x + 0.2 * w, y + 0.8 * h, rx, ry, 0.5 * kPi, kPi);
    r.AddPoint(x, y + 0.8 * h);
    r.AddPoint(x, y + 0.2 * h);
    AddArc(t.canvas, x + 0.2 * w, y + 0.2 * h, rx, ry, kPi, 1.5 * kPi);
    ASSERT_EQ(tabled.size(), r.PointCount());
    for (size_t i = 0; i < tabled.size(); ++i) {
        EXPECT_EQ(tabled[i].x, r.Points()[i].x) << i;
        EXPECT_EQ(tabled[i].y, r.Points()[i].y) << i;
    }
}

TYPED_TEST(DotShapes, AlignedRectangleCoversItsPixelsWholeAndAHalfPixelShiftHalvesTheBorders)
{
    using P = TypeParam;
    TestCanvas<P> t(10, 10), shifted(10, 10);
    DrawDot(t.canvas, Dot<P>(kShapeRectangle, 5, 5, 4, 4, Opaque<P>(1, 0, 0)));
    DrawDot(shifted.canvas, Dot<P>(kShapeRectangle, 5.5, 5, 4, 4, Opaque<P>(1, 0, 0)));
    EXPECT_EQ(t.Raster().LastPath(), PolygonRasterizer<P>::Path::Convex);
    EXPECT_TRUE(t.canvas.MatrixIsIdentity());
    EXPECT_EQ(ArgbOf(t.At(4, 4)), ArgbOf(Opaque<P>(1, 0, 0)));
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x < 10; ++x) {
            const bool rows = y >= 3 && y < 7;
            ASSERT_EQ(t.At(x, y).alpha, rows && x >= 3 && x < 7 ? Full<P>() : 0) << x << "," << y;
            // Shifted: columns 3 and 7 half covered (127 at 8 bits), 4 to 6 whole.
            const double want = !rows || x < 3 || x > 7 ? 0
                                : x == 3 || x == 7      ? CoverageAlpha<P>(32)
                                                        : Full<P>();
            ASSERT_EQ(shifted.At(x, y).alpha, want) << "shifted " << x << "," << y;
        }
    }
}

TYPED_TEST(DotShapes, StarIsSolidInTheMiddle)
{
    using P = TypeParam;
    TestCanvas<P> t(60, 60);
    DrawDot(t.canvas, Dot<P>(kShapeStar, 30, 30, 40, 40, Opaque<P>(0, 1, 0)));
    EXPECT_EQ(t.Raster().LastPath(), PolygonRasterizer<P>::Path::General);
    for (int y = 27; y <= 32; ++y) {
        for (int x = 27; x <= 32; ++x) {
            ASSERT_EQ(t.At(x, y).alpha, Full<P>()) << x << "," << y;  // inner pentagon
        }
    }
    EXPECT_EQ(t.At(29, 18).alpha, Full<P>());  // the top arm
    EXPECT_EQ(t.At(30, 18).alpha, Full<P>());
    EXPECT_EQ(t.At(30, 44).alpha, 0);  // between the two lower arms
    EXPECT_EQ(t.At(16, 16).alpha, 0);  // beside the top arm
    EXPECT_EQ(t.At(30, 8).alpha, 0);   // above the top point
}

TYPED_TEST(DotShapes, CrossTakesTheGeneralPath)
{
    using P = TypeParam;
    TestCanvas<P> t(20, 20);
    DrawDot(t.canvas, Dot<P>(kShapeCross, 10, 10, 20, 20, Opaque<P>(1, 1, 1)));
    EXPECT_EQ(t.Raster().LastPath(), PolygonRasterizer<P>::Path::General);
    // The vertical arm runs from x = 7 to 13. A general-path span covers
    // trunc(x + 0.5) at both ends, so the column right of the arm gets the
    // one sub-column 104 on each sub-row: 8 of 64.
    EXPECT_EQ(t.At(6, 2).alpha, 0);
    for (int x = 7; x < 13; ++x) EXPECT_EQ(t.At(x, 2).alpha, Full<P>()) << x;
    EXPECT_EQ(t.At(13, 2).alpha, CoverageAlpha<P>(8));
    EXPECT_EQ(t.At(2, 2).alpha, 0);           // corner
    EXPECT_EQ(t.At(17, 17).alpha, 0);         // corner
    EXPECT_EQ(t.At(2, 10).alpha, Full<P>());  // horizontal arm
}

TYPED_TEST(DotShapes, ConvexShapesTakeTheFastPath)
{
    using P = TypeParam;
    TestCanvas<P> t(40, 40);
    for (A_u_long shape : {kShapeCircle, kShapeRectangle, kShapeRoundedRectangle, kShapeDiamond}) {
        DrawDot(t.canvas, Dot<P>(shape, 20, 20, 21, 13, Opaque<P>(1, 1, 1), 0.3));
        EXPECT_EQ(t.Raster().LastPath(), PolygonRasterizer<P>::Path::Convex) << shape;
    }
}

TYPED_TEST(DotShapes, CircleCoversItsInsideAndNotItsBox)
{
    using P = TypeParam;
    TestCanvas<P> t(40, 40);
    DrawDot(t.canvas, Dot<P>(kShapeCircle, 20, 20, 30, 30, Opaque<P>(1, 1, 1)));
    EXPECT_EQ(t.At(20, 20).alpha, Full<P>());
    EXPECT_EQ(t.At(6, 20).alpha, Full<P>());  // near the left of the rim
    EXPECT_EQ(t.At(6, 6).alpha, 0);           // box corner, outside the circle
    EXPECT_EQ(t.At(33, 33).alpha, 0);
    // The 33-point polygon's area, (33 / 2) 15^2 sin(2pi / 33) = 702.6, in
    // whole and partial pixels.
    double area = 0;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 40; ++x) area += t.At(x, y).alpha / Full<P>();
    }
    EXPECT_NEAR(area, 702.6, 3);
}

TYPED_TEST(DotShapes, RotationTurnsClockwiseOnScreen)
{
    using P = TypeParam;
    // A 20 x 2 bar turned by a quarter turn stands upright.
    TestCanvas<P> t(30, 30);
    DrawDot(t.canvas, Dot<P>(kShapeRectangle, 15, 15, 20, 2, Opaque<P>(1, 1, 1), kPi / 2));
    EXPECT_EQ(t.At(15, 7).alpha, Full<P>());
    EXPECT_EQ(t.At(14, 22).alpha, Full<P>());
    EXPECT_EQ(t.At(7, 15).alpha, 0);
    EXPECT_EQ(t.At(22, 14).alpha, 0);
    // A star's top point turned a quarter turn clockwise points right.
    TestCanvas<P> d(30, 30);
    DrawDot(d.canvas, Dot<P>(kShapeStar, 15, 15, 20, 20, Opaque<P>(1, 1, 1), kPi / 2));
    EXPECT_GT(d.At(22, 14).alpha, 0);  // the top arm, now on the right
    EXPECT_EQ(d.At(4, 14).alpha, 0);   // between the two arms, now on the left
}

TYPED_TEST(DotShapes, EmptyOrUnknownOrCollinearShapesDrawNothing)
{
    using P = TypeParam;
    TestCanvas<P> t(12, 12);
    DrawDot(t.canvas, Dot<P>(kShapeRectangle, 5, 5, 0, 6, Opaque<P>(1, 1, 1)));
    DrawDot(t.canvas, Dot<P>(kShapeCircle, 5, 5, 6, 0, Opaque<P>(1, 1, 1)));
    DrawDot(t.canvas, Dot<P>(7, 5, 5, 6, 6, Opaque<P>(1, 1, 1)));
    EXPECT_TRUE(t.canvas.MatrixIsIdentity());
    t.canvas.colour = Opaque<P>(1, 1, 1);
    PolygonRasterizer<P> &r = t.Raster();
    const double lines[2][6] = {{2, 2, 6, 6, 10, 10}, {2, 5, 9, 5, 4, 5}};
    for (const auto &line : lines) {
        r.Clear();
        for (int i = 0; i < 6; i += 2) r.AddPoint(line[i], line[i + 1]);
        r.Fill();
    }
    EXPECT_EQ(t.CountCovered(), 0);
}

TYPED_TEST(DotShapes, ClippedAtTheCanvasBorderOnPaddedRows)
{
    using P = TypeParam;
    // Rows 12 bytes longer than the 7 pixels; the padding must stay as it was.
    for (A_u_long shape = 1; shape <= 6; ++shape) {
        TestCanvas<P> t(7, 5, 12), outside(7, 5, 12);
        DrawDot(t.canvas, Dot<P>(shape, 0, 0, 5, 5, Opaque<P>(1, 0, 1)));
        DrawDot(t.canvas, Dot<P>(shape, 7, 5, 5, 5, Opaque<P>(1, 0, 1)));
        EXPECT_TRUE(t.GuardsIntact()) << shape;
        EXPECT_GT(t.At(0, 0).alpha, 0) << shape;
        EXPECT_GT(t.At(6, 4).alpha, 0) << shape;
        EXPECT_EQ(t.At(3, 2).alpha, 0) << shape;
        for (double at : {-20.0, 30.0}) {  // wholly outside: nothing changes
            DrawDot(outside.canvas, Dot<P>(shape, at, 2, 10, 10, Opaque<P>(1, 1, 1)));
            DrawDot(outside.canvas, Dot<P>(shape, 3, at, 10, 10, Opaque<P>(1, 1, 1)));
        }
        EXPECT_EQ(outside.CountCovered(), 0) << shape;
        EXPECT_TRUE(outside.GuardsIntact()) << shape;
    }
    TestCanvas<P> big(7, 5, 12);
    DrawDot(big.canvas, Dot<P>(kShapeRectangle, 3.5, 2.5, 100, 100, Opaque<P>(1, 1, 1)));
    EXPECT_EQ(big.CountCovered(), 35);
    DrawDot(big.canvas, Dot<P>(kShapeCross, 3.5, 2.5, 100, 100, Opaque<P>(1, 1, 1)));
    EXPECT_TRUE(big.GuardsIntact());
}

}  // namespace
