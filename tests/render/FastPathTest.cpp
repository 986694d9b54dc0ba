#include <gtest/gtest.h>

#include <random>

#include "RenderTestSupport.h"
#include "render/DotShapes.h"
#include "render/RepeatedSum.h"

using namespace rendertest;

namespace {

template <typename Pixel>
class FastPaths : public ::testing::Test {
};
using Depths = ::testing::Types<Pixel8, Pixel16, Pixel32>;
// The trailing empty argument keeps -Wpedantic quiet where GoogleTest is built from source.
TYPED_TEST_SUITE(FastPaths, Depths, );

// A colour of random channels; the alpha is often full scale or zero, and at
// 16 bits a channel may lie above full scale, as the depth allows.
template <typename Pixel>
Pixel RandomColour(std::mt19937 &rng)
{
    using C = decltype(Pixel{}.alpha);
    const double top = std::is_same_v<Pixel, Pixel16> ? 65535 : Full<Pixel>();
    std::uniform_real_distribution<double> channel(0, top);
    auto pick = [&]() {
        return std::is_same_v<Pixel, Pixel32> ? channel(rng) / top : channel(rng);
    };
    Pixel p{C(pick()), C(pick()), C(pick()), C(pick())};
    switch (rng() % 4) {
        case 0:
            p.alpha = C(Full<Pixel>());
            break;
        case 1:
            p.alpha = 0;
            break;
        default:
            break;
    }
    return p;
}

// Any shape, from a fraction of a pixel to twice the canvas, stretched,
// turned by any angle or by a multiple of 45 degrees, centred anywhere within
// a margin around the canvas, on or off the pixel and sub-sample grids.
template <typename Pixel>
DotRecord<Pixel> RandomDot(std::mt19937 &rng, int width, int height)
{
    std::uniform_real_distribution<double> unit(0, 1);
    // Now and then one reaching far above the canvas, whose edges the fast
    // path moves down to it at once.
    const double sizes[] = {0.2 + 3 * unit(rng), 3 + 10 * unit(rng), 13 + 60 * unit(rng),
                            500 + 5000 * unit(rng)};
    const double w = sizes[rng() % 16 == 0 ? 3 : rng() % 3];
    const double h = rng() % 2 ? w : w * (0.3 + unit(rng));
    double x = -8 + (width + 16) * unit(rng);
    double y = -8 + (height + 16) * unit(rng);
    if (rng() % 3 == 0) {
        x = std::round(x * 8) / 8;
        y = std::round(y * 8) / 8;
    }
    const double rotation = rng() % 3 == 0 ? (rng() % 8) * kPi / 4 : 2 * kPi * unit(rng);
    const A_u_long shape = 1 + rng() % 6;
    return Dot<Pixel>(shape, x, y, w, h, RandomColour<Pixel>(rng), rotation);
}

TYPED_TEST(FastPaths, DrawTheSameBytesAsThePlainPaths)
{
    using P = TypeParam;
    std::mt19937 rng(20261206);
    // A small canvas of odd size: dots pile up, cross its borders and span it.
    constexpr int kWidth = 37, kHeight = 29;
    TestCanvas<P> fast(kWidth, kHeight, 12), plain(kWidth, kHeight, 12);
    plain.Raster().UsePlainPaths(true);
    int convex = 0, general = 0;
    for (int batch = 0; batch < 60; ++batch) {
        if (batch % 4 == 0) {  // on empty pixels too, not only over others
            fast.Clear();
            plain.Clear();
        }
        DotRecord<P> previous{};
        for (int i = 0; i < 40; ++i) {
            DotRecord<P> dot = RandomDot<P>(rng, kWidth, kHeight);
            if (i % 2 == 1) {  // the outline of the dot before, elsewhere
                dot.shape = previous.shape;
                dot.width = previous.width;
                dot.height = previous.height;
            }
            previous = dot;
            DrawDot(fast.canvas, dot);
            DrawDot(plain.canvas, dot);
            const auto path = fast.Raster().LastPath();
            ASSERT_EQ(path, plain.Raster().LastPath());
            convex += path == PolygonRasterizer<P>::Path::Convex;
            general += path == PolygonRasterizer<P>::Path::General;
        }
        ASSERT_TRUE(fast.Bytes() == plain.Bytes()) << "batch " << batch;
    }
    EXPECT_GT(convex, 1000);
    EXPECT_GT(general, 300);
    EXPECT_TRUE(fast.GuardsIntact());  // and so the plain paths' too
}

// Sums of one step repeated, jumping whole binades, as the additions one by
// one give them: steps of every size against x, halfway steps (whose rounding
// depends on x), sums that cross zero and binades.
TEST(RepeatedSum, SameAsAddingOneByOne)
{
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> unit(-1, 1);
    for (int i = 0; i < 3000; ++i) {
        const double x = std::ldexp(unit(rng), static_cast<int>(rng() % 40) - 8);
        double step = std::ldexp(unit(rng), static_cast<int>(rng() % 60) - 50);
        if (i % 5 == 0) {  // halfway between two multiples of x's ulp
            int e = 0;
            std::frexp(x, &e);
            step = std::ldexp(static_cast<double>(rng() % 64) + 0.5, e - 53);
        }
        const std::int64_t n = static_cast<std::int64_t>(rng() % 20000);
        double one = x;
        for (std::int64_t k = 0; k < n; ++k) {
            one += step;
        }
        ASSERT_EQ(render::AddRepeatedly(x, step, n), one)
            << std::hexfloat << "x " << x << " step " << step << " n " << n;
    }
}

}  // namespace
