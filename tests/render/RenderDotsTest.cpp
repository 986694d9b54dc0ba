#include <gtest/gtest.h>

#include <thread>
#include <tuple>
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
    for (int y : {8, 11, 28, 51}) {
        for (int x : {8, 11, 30, 89}) EXPECT_EQ(t.At(x, y).alpha, Full<P>()) << x << "," << y;
    }
    EXPECT_EQ(t.At(12, 10).alpha, 0);
    EXPECT_TRUE(t.GuardsIntact());
    EXPECT_TRUE(t.canvas.MatrixIsIdentity());
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
    TestCanvas<Pixel8> aAlone(90, 70), bAlone(90, 70);
    RenderDots(a, aAlone.canvas);
    RenderDots(b, bAlone.canvas);
    for (int round = 0; round < 3; ++round) {
        TestCanvas<Pixel8> aShared(90, 70), bShared(90, 70);
        std::thread first([&] { RenderDots(a, aShared.canvas); });
        std::thread second([&] { RenderDots(b, bShared.canvas); });
        first.join();
        second.join();
        ASSERT_TRUE(aAlone.Bytes() == aShared.Bytes()) << round;
        ASSERT_TRUE(bAlone.Bytes() == bShared.Bytes()) << round;
    }
}

TEST(RenderDots, MakesARasteriserWhenTheCanvasHasNone)
{
    std::vector<Pixel8> pixels(100 * 60);
    DotCanvas<Pixel8> canvas;
    canvas.pixels = pixels.data();
    canvas.width = 100;
    canvas.height = 60;
    canvas.rowbytes = 100 * sizeof(Pixel8);
    RenderRecord r = SmallSquares();
    EXPECT_EQ(RenderDots(r, canvas), 0);
    EXPECT_EQ(canvas.rasterizer, nullptr);
    EXPECT_EQ(pixels[10 * 100 + 10].alpha, 255);
}

TEST(RenderDots, LastDotDrawnCoversTheOthersInPositionOrFrontOrder)
{
    // Overlapping opaque squares of many values (brightnesses): pixel (30, 30)
    // lies under the dots centred at 20, 30 and 40 both ways. In y-then-x
    // order (40, 40) comes last; with the centre dot to the front, (30, 30).
    for (bool centreToFront : {false, true}) {
        SCOPED_TRACE(centreToFront);
        RenderRecord r = QuietRecord(30, 30);
        r.DotShape = kShapeRectangle;
        r.DotSize = 22;
        r.DotSpacingX = r.DotSpacingY = 10;
        r.RandomValue = 100;
        r.RandomSeed = 5;
        r.CenterDotToFront = centreToFront;
        const auto layout = LayOutDots<Pixel8>(r, 60, 60);
        EXPECT_EQ(layout.frontOrdering, centreToFront);
        auto colourAt = [&](double x, double y) {
            for (const auto &d : layout.dots) {
                if (d.x == x && d.y == y)
                    return std::make_tuple(d.colour.red, d.colour.green, d.colour.blue);
            }
            ADD_FAILURE() << "no dot at " << x << "," << y;
            return std::make_tuple<A_u_char, A_u_char, A_u_char>(0, 0, 0);
        };
        const auto last = centreToFront ? colourAt(30, 30) : colourAt(40, 40);
        ASSERT_NE(last, centreToFront ? colourAt(40, 40) : colourAt(30, 30));
        TestCanvas<Pixel8> t(60, 60);
        ASSERT_EQ(RenderDots(r, t.canvas), 0);
        EXPECT_EQ(std::make_tuple(t.At(30, 30).red, t.At(30, 30).green, t.At(30, 30).blue), last);
    }
}

// ---------------------------------------------------------------- progress

// Host data whose progress callback logs every report and answers 7 to the
// `stopAt`-th (none when 0).
struct FakeHost {
    PF_InData in{};
    std::vector<std::tuple<PF_ProgPtr, A_long, A_long>> reports;
    size_t stopAt = 0;
    static inline FakeHost *current = nullptr;

    FakeHost()
    {
        in.inter.progress = Log;
        in.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
        in.time_step = 1;
        current = this;
    }
    ~FakeHost() { current = nullptr; }
    static PF_Err Log(PF_ProgPtr ref, A_long done, A_long total)
    {
        current->reports.emplace_back(ref, done, total);
        return current->reports.size() == current->stopAt ? 7 : 0;
    }
    RenderRecord Record(RenderRecord r)
    {
        r.in_data = &in;
        return r;
    }
};

TEST(RenderDotsProgress, ReportsAfterEachDotUpTo100)
{
    FakeHost host;
    RenderRecord r = host.Record(SmallSquares());
    TestCanvas<Pixel8> t(100, 60);
    EXPECT_EQ(RenderDots(r, t.canvas), 0);
    const A_long count = 7 * 5;  // the walk's used cells
    ASSERT_EQ(host.reports.size(), 35u);
    for (A_long k = 1; k <= count; ++k) {
        EXPECT_EQ(host.reports[k - 1], std::make_tuple(host.in.effect_ref, 100 * k / count, 100));
    }
}

TEST(RenderDotsProgress, NonZeroAnswerStopsAfterTheFirstDot)
{
    FakeHost host;
    host.stopAt = 1;
    RenderRecord r = host.Record(SmallSquares());
    r.DotSize = 30;  // the first dot, at (-10, -10), reaches into the canvas
    TestCanvas<Pixel8> t(100, 60);
    EXPECT_EQ(RenderDots(r, t.canvas), 7);
    EXPECT_EQ(host.reports.size(), 1u);
    // The canvas holds exactly the first dot in drawing order.
    auto layout = LayOutDots<Pixel8>(r, 100, 60);
    SortForDrawing(layout.dots, layout.frontOrdering);
    TestCanvas<Pixel8> one(100, 60);
    DrawDot(one.canvas, layout.dots[0]);
    EXPECT_GT(one.CountCovered(), 0);
    EXPECT_TRUE(t.Bytes() == one.Bytes());
}

TEST(RenderDots, WithoutAProgressCallbackTheArrangementFollowsIntervalAndCycle)
{
    FakeHost host;
    host.in.inter.progress = nullptr;
    RenderRecord r = host.Record(QuietRecord(50, 30));
    r.RandomSpacingX = 0.4;
    r.RandomInterval = 5;
    r.RandomCycle = 3;
    auto renderAt = [&](A_long frame) {
        host.in.current_time = frame;
        TestCanvas<Pixel8> t(100, 60);
        EXPECT_EQ(RenderDots(r, t.canvas), 0);
        return t.Bytes();
    };
    EXPECT_TRUE(renderAt(0) == renderAt(4));
    EXPECT_FALSE(renderAt(0) == renderAt(5));
    EXPECT_TRUE(renderAt(0) == renderAt(15));
}

}  // namespace
