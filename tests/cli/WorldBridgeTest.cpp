#include "cli/WorldBridge.h"

#include <gtest/gtest.h>

namespace {

using namespace cli;

TEST(WorldBridge, ImageToWorldAndBackKeepsEveryPixelDespiteRowPadding)
{
    Image image(5, 3, Depth::k16);
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        const auto v = static_cast<std::uint16_t>(i * 1000);
        image.Pixels16()[i] = Argb16{32768, v, static_cast<std::uint16_t>(v + 1), 7};
    }
    const host::World world = ToWorld(image);
    ASSERT_EQ(world.width(), 5);
    ASSERT_EQ(world.height(), 3);
    ASSERT_EQ(world.depth(), Depth::k16);
    ASSERT_GT(world.rowbytes(), 5 * 8);  // the host pads its rows
    // Pixel (4, 2) is image pixel 14 in the host's own accessor.
    EXPECT_EQ(world.px16(4, 2).red, 14000);
    EXPECT_EQ(world.px16(4, 2).green, 14001);
    EXPECT_EQ(world.px16(0, 1).alpha, 32768);
    EXPECT_TRUE(world.paddingIntact());

    const Image back = FromWorld(world);
    ASSERT_EQ(back.GetDepth(), Depth::k16);
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        EXPECT_EQ(back.Pixels16()[i].r, image.Pixels16()[i].r) << i;
        EXPECT_EQ(back.Pixels16()[i].b, 7) << i;
    }
}

TEST(WorldBridge, FrameIsPlacedAtItsOriginAndClippedToTheCanvas)
{
    // A 3 x 2 output whose top-left pixel sits at (2, 1) on a 4 x 3 canvas:
    // its third column falls off the right edge.
    host::World output(3, 2, Depth::k8);
    for (A_long y = 0; y < 2; ++y) {
        for (A_long x = 0; x < 3; ++x) {
            output.px8(x, y) = PF_Pixel8{255, static_cast<A_u_char>(10 * x + y), 0, 0};
        }
    }
    output.setOrigin(2, 1);
    const Image frame = FrameImage(output, 4, 3);
    ASSERT_EQ(frame.Width(), 4);
    ASSERT_EQ(frame.Height(), 3);
    auto at = [&](int x, int y) { return frame.Pixels8()[y * 4 + x]; };
    EXPECT_EQ(at(2, 1).a, 255);
    EXPECT_EQ(at(2, 1).r, 0);   // output (0, 0)
    EXPECT_EQ(at(3, 1).r, 10);  // output (1, 0)
    EXPECT_EQ(at(3, 2).r, 11);  // output (1, 1)
    EXPECT_EQ(at(1, 1).a, 0);   // left of the output: transparent
    EXPECT_EQ(at(2, 0).a, 0);   // above it
}

TEST(WorldBridge, FrameWithNegativeOriginLosesItsLeadingColumns)
{
    host::World output(3, 1, Depth::k32);
    for (A_long x = 0; x < 3; ++x) {
        output.pxF(x, 0) = PF_PixelFloat{1.0f, static_cast<float>(x), 0, 0};
    }
    output.setOrigin(-1, 0);
    const Image frame = FrameImage(output, 3, 1);
    EXPECT_EQ(frame.PixelsF()[0].r, 1.0f);  // output column 1
    EXPECT_EQ(frame.PixelsF()[1].r, 2.0f);  // output column 2
    EXPECT_EQ(frame.PixelsF()[2].a, 0.0f);  // nothing there
}

TEST(WorldBridge, EmptyOutputGivesATransparentCanvas)
{
    const Image frame = FrameImage(host::World(), 2, 2);
    EXPECT_EQ(frame.Width(), 2);
    EXPECT_EQ(frame.Pixels8()[3].a, 0);
}

}  // namespace
