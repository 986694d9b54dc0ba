#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "RenderTestSupport.h"
#include "render/DotShapes.h"
#include "render/RenderDots.h"

using namespace rendertest;

namespace {

template <typename Pixel>
class RenderDotsAtEachDepth : public ::testing::Test {
};
using Depths = ::testing::Types<Pixel8, Pixel16, Pixel32>;
// The trailing empty argument keeps -Wpedantic quiet where GoogleTest is built from source.
TYPED_TEST_SUITE(RenderDotsAtEachDepth, Depths, );

// Square dots of size 4 on a 20-pixel lattice centred in a 100 x 60 canvas.
RenderRecord SmallSquares()
{
    RenderRecord r = QuietRecord(50, 30);
    r.DotShape = kShapeRectangle;
    r.DotSize = 4;
    return r;
}

TYPED_TEST(RenderDotsAtEachDepth, DrawsEveryDotOnPaddedRows)
{
    using P = TypeParam;
    RenderRecord r = SmallSquares();
    TestCanvas<P> t(100, 60, 20);
    EXPECT_EQ(RenderDots(r, t.canvas), 0);
    // Centres x = 10, 30, .., 90 and y = 10, 30, 50; each covers 4 x 4 pixels.
    EXPECT_EQ(t.CountCovered(), 15 * 16);
    for (int y : {8, 9, 10, 11, 28, 51}) {
        for (int x : {8, 11, 30, 89}) {
            EXPECT_EQ(t.At(x, y).alpha, Full<P>()) << x << "," << y;
        }
    }
    EXPECT_EQ(t.At(12, 10).alpha, 0);
    EXPECT_TRUE(t.GuardsIntact());
    EXPECT_TRUE(t.canvas.MatrixIsIdentity());
}

TYPED_TEST(RenderDotsAtEachDepth, DepthsAgreeOnCoverage)
{
    using P = TypeParam;
    RenderRecord r = QuietRecord(37.25, 21.5);
    r.DotSize = 26;
    r.DotOpacity = 60;
    r.RandomSize = 0.3;
    r.RandomSpacingX = 0.2;
    r.RandomSeed = 9;
    TestCanvas<Pixel8> ref(80, 50);
    ASSERT_EQ(RenderDots(r, ref.canvas), 0);
    TestCanvas<P> t(80, 50);
    ASSERT_EQ(RenderDots(r, t.canvas), 0);
    for (int y = 0; y < 50; ++y) {
        for (int x = 0; x < 80; ++x) {
            ASSERT_EQ(t.At(x, y).alpha == 0, ref.At(x, y).alpha == 0) << x << "," << y;
            ASSERT_NEAR(t.At(x, y).alpha / Full<P>(), ref.At(x, y).alpha / 255.0, 0.02)
                << x << "," << y;
        }
    }
}

TYPED_TEST(RenderDotsAtEachDepth, FullAspectDrawsNothing)
{
    using P = TypeParam;
    for (double aspect : {-100.0, 100.0}) {
        RenderRecord r = SmallSquares();
        r.DotAspect = aspect;
        TestCanvas<P> t(100, 60);
        EXPECT_EQ(RenderDots(r, t.canvas), 0);
        EXPECT_EQ(t.CountCovered(), 0) << aspect;
    }
}

TEST(RenderDots, ConcurrentRendersMatchSequentialOnes)
{
    // Renders share nothing they write: two at once give what each gives alone.
    RenderRecord a = QuietRecord(40, 30);
    a.DotShape = kShapeStar;
    a.DotSize = 18;
    a.RandomSize = 0.5;
    a.RandomHue = 90 << 16;
    a.RandomSeed = 1;
    RenderRecord b = a;
    b.DotShape = kShapeRoundedRectangle;
    b.RandomSeed = 2;
    b.GlobalRotation = 20 << 16;

    TestCanvas<Pixel8> aAlone(90, 70), bAlone(90, 70), aShared(90, 70), bShared(90, 70);
    RenderDots(a, aAlone.canvas);
    RenderDots(b, bAlone.canvas);
    for (int round = 0; round < 4; ++round) {
        std::thread first([&] { RenderDots(a, aShared.canvas); });
        std::thread second([&] { RenderDots(b, bShared.canvas); });
        first.join();
        second.join();
        for (int y = 0; y < 70; ++y) {
            for (int x = 0; x < 90; ++x) {
                ASSERT_EQ(std::memcmp(&aAlone.At(x, y), &aShared.At(x, y), sizeof(Pixel8)), 0);
                ASSERT_EQ(std::memcmp(&bAlone.At(x, y), &bShared.At(x, y), sizeof(Pixel8)), 0);
            }
        }
        std::memset(&aShared.At(0, 0), 0, 90 * 70 * sizeof(Pixel8));
        std::memset(&bShared.At(0, 0), 0, 90 * 70 * sizeof(Pixel8));
    }
}

TEST(RenderDots, MakesARasteriserWhenTheCanvasHasNone)
{
    RenderRecord r = SmallSquares();
    std::vector<Pixel8> pixels(100 * 60);
    DotCanvas<Pixel8> canvas;
    canvas.pixels = pixels.data();
    canvas.width = 100;
    canvas.height = 60;
    canvas.rowbytes = 100 * sizeof(Pixel8);
    EXPECT_EQ(RenderDots(r, canvas), 0);
    EXPECT_EQ(canvas.rasterizer, nullptr);
    EXPECT_EQ(pixels[10 * 100 + 10].alpha, 255);
}

// Overlapping opaque squares of many values (brightnesses): a pixel shows
// the colour of the last dot drawn over it.
struct Overlap {
    RenderRecord record = QuietRecord(30, 30);
    Overlap(bool centreToFront)
    {
        record.DotShape = kShapeRectangle;
        record.DotSize = 22;
        record.DotSpacingX = 10;
        record.DotSpacingY = 10;
        record.RandomValue = 100;
        record.RandomSeed = 5;
        record.CenterDotToFront = centreToFront ? 1 : 0;
    }
    Pixel8 DotColourAt(double x, double y)
    {
        for (const auto &d : LayOutDots<Pixel8>(record, 60, 60).dots) {
            if (d.x == x && d.y == y) return d.colour;
        }
        ADD_FAILURE() << "no dot at " << x << "," << y;
        return Pixel8{};
    }
};

bool SameColour(const Pixel8 &a, const Pixel8 &b)
{
    return a.red == b.red && a.green == b.green && a.blue == b.blue;
}

TEST(RenderDots, LowerDotsCoverUpperOnes)
{
    Overlap o(false);
    // Pixel (30, 30) lies under the dots centred at 20, 30 and 40 both ways;
    // the one at (40, 40) comes last in y-then-x order.
    const Pixel8 last = o.DotColourAt(40, 40);
    ASSERT_FALSE(SameColour(last, o.DotColourAt(30, 30)));
    TestCanvas<Pixel8> t(60, 60);
    ASSERT_EQ(RenderDots(o.record, t.canvas), 0);
    EXPECT_TRUE(SameColour(t.At(30, 30), last));
    EXPECT_FALSE(LayOutDots<Pixel8>(o.record, 60, 60).frontOrdering);
}

TEST(RenderDots, CentreDotToFrontDrawsTheCentreLast)
{
    Overlap o(true);
    const Pixel8 centre = o.DotColourAt(30, 30);
    ASSERT_FALSE(SameColour(centre, o.DotColourAt(40, 40)));
    TestCanvas<Pixel8> t(60, 60);
    ASSERT_EQ(RenderDots(o.record, t.canvas), 0);
    EXPECT_TRUE(SameColour(t.At(30, 30), centre));
    EXPECT_TRUE(LayOutDots<Pixel8>(o.record, 60, 60).frontOrdering);
}

TEST(SortForDrawing, ByYThenXOrFarthestFirst)
{
    std::vector<DotRecord<Pixel8>> dots;
    const Pixel8 c{255, 0, 0, 0};
    dots.push_back(Dot<Pixel8>(1, 5, 2, 1, 1, c));
    dots.push_back(Dot<Pixel8>(1, 1, 3, 1, 1, c));
    dots.push_back(Dot<Pixel8>(1, 2, 2, 1, 1, c));
    dots.push_back(Dot<Pixel8>(1, 9, 1, 1, 1, c));
    dots[0].front = 4;
    dots[1].front = 0;
    dots[2].front = 9;
    dots[3].front = 1;

    auto byPosition = dots;
    SortForDrawing(byPosition, false);
    EXPECT_EQ(byPosition[0].x, 9);
    EXPECT_EQ(byPosition[1].x, 2);
    EXPECT_EQ(byPosition[2].x, 5);
    EXPECT_EQ(byPosition[3].x, 1);

    auto byFront = dots;
    SortForDrawing(byFront, true);
    EXPECT_EQ(byFront[0].front, 9);
    EXPECT_EQ(byFront[1].front, 4);
    EXPECT_EQ(byFront[2].front, 1);
    EXPECT_EQ(byFront[3].front, 0);  // nearest, drawn last
}

// ---------------------------------------------------------------- progress

struct ProgressLog {
    std::vector<A_long> current;
    std::vector<A_long> total;
    std::vector<PF_ProgPtr> refs;
    size_t stopAt = 0;  // the report that answers non-zero; 0: never
    PF_Err answer = 0;
};
ProgressLog *gProgress = nullptr;

PF_Err FakeProgress(PF_ProgPtr ref, A_long current, A_long total)
{
    gProgress->current.push_back(current);
    gProgress->total.push_back(total);
    gProgress->refs.push_back(ref);
    return gProgress->current.size() == gProgress->stopAt ? gProgress->answer : 0;
}

struct FakeHost {
    PF_InData in;
    ProgressLog log;
    char refTarget = 0;
    FakeHost()
    {
        std::memset(&in, 0, sizeof in);
        in.inter.progress = FakeProgress;
        in.effect_ref = reinterpret_cast<PF_ProgPtr>(&refTarget);
        in.time_step = 1;
        gProgress = &log;
    }
    ~FakeHost() { gProgress = nullptr; }
};

TEST(RenderDotsProgress, ReportsAfterEachDotUpTo100)
{
    FakeHost host;
    RenderRecord r = SmallSquares();
    r.in_data = &host.in;
    const size_t count = LayOutDots<Pixel8>(r, 100, 60).dots.size();
    ASSERT_EQ(count, 7u * 5u);
    TestCanvas<Pixel8> t(100, 60);
    EXPECT_EQ(RenderDots(r, t.canvas), 0);
    ASSERT_EQ(host.log.current.size(), count);
    for (size_t k = 1; k <= count; ++k) {
        EXPECT_EQ(host.log.current[k - 1], static_cast<A_long>(100 * k / count)) << k;
        EXPECT_EQ(host.log.total[k - 1], 100);
        EXPECT_EQ(host.log.refs[k - 1], host.in.effect_ref);
    }
    EXPECT_EQ(host.log.current.back(), 100);
}

TEST(RenderDotsProgress, NonZeroAnswerStopsAfterTheFirstDot)
{
    FakeHost host;
    host.log.stopAt = 1;
    host.log.answer = 7;
    RenderRecord r = SmallSquares();
    r.DotSize = 30;  // the first dot, at (-10, -10), reaches into the canvas
    r.in_data = &host.in;
    TestCanvas<Pixel8> t(100, 60);
    EXPECT_EQ(RenderDots(r, t.canvas), 7);
    EXPECT_EQ(host.log.current.size(), 1u);

    // The canvas holds exactly the first dot in drawing order.
    auto layout = LayOutDots<Pixel8>(r, 100, 60);
    SortForDrawing(layout.dots, layout.frontOrdering);
    TestCanvas<Pixel8> one(100, 60);
    DrawDot(one.canvas, layout.dots[0]);
    EXPECT_GT(one.CountCovered(), 0);
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 100; ++x) {
            ASSERT_EQ(t.At(x, y).alpha, one.At(x, y).alpha) << x << "," << y;
        }
    }
}

TEST(RenderDotsProgress, NoReportWithoutACallback)
{
    FakeHost host;
    host.in.inter.progress = nullptr;
    RenderRecord r = SmallSquares();
    r.in_data = &host.in;
    TestCanvas<Pixel8> t(100, 60);
    EXPECT_EQ(RenderDots(r, t.canvas), 0);
    EXPECT_EQ(t.CountCovered(), 15 * 16);
}

TEST(RenderDots, ArrangementFollowsIntervalAndCycle)
{
    FakeHost host;
    host.in.inter.progress = nullptr;
    RenderRecord r = QuietRecord(50, 30);
    r.RandomSpacingX = 0.4;
    r.RandomInterval = 5;
    r.RandomCycle = 3;
    r.in_data = &host.in;
    auto xsAt = [&](A_long frame) {
        host.in.current_time = frame;
        std::vector<double> xs;
        for (const auto &d : LayOutDots<Pixel8>(r, 100, 60).dots) xs.push_back(d.x);
        return xs;
    };
    EXPECT_EQ(xsAt(0), xsAt(4));
    EXPECT_NE(xsAt(0), xsAt(5));
    EXPECT_NE(xsAt(5), xsAt(10));
    EXPECT_EQ(xsAt(0), xsAt(15));
}

}  // namespace
