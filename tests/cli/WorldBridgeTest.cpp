#include "cli/WorldBridge.h"

#include <gtest/gtest.h>

#include "TestDir.h"

namespace {

using namespace cli;
using clitest::Argb4;
using clitest::ArgbAt;

TEST(WorldBridge, ImageToWorldAndBackKeepsEveryPixelDespiteRowPadding)
{
    Image image(5, 3, Depth::k16);
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        const auto v = static_cast<std::uint16_t>(i * 1000);
        image.Pixels16()[i] = Argb16{32768, v, static_cast<std::uint16_t>(v + 1), 7};
    }
    const host::World world = ToWorld(image);
    ASSERT_EQ(std::make_tuple(world.width(), world.height(), world.depth()),
              std::make_tuple(5, 3, Depth::k16));
    ASSERT_GT(world.rowbytes(), 5 * 8);  // the host pads its rows
    // Pixel (4, 2) is image pixel 14 in the host's own accessor.
    EXPECT_EQ(world.px16(4, 2).red, 14000);
    EXPECT_EQ(world.px16(4, 2).green, 14001);
    EXPECT_TRUE(world.paddingIntact());
    const Image back = FromWorld(world);
    ASSERT_EQ(back.GetDepth(), Depth::k16);
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        EXPECT_EQ(ArgbAt(back, i), ArgbAt(image, i)) << i;
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
    ASSERT_EQ(std::make_pair(frame.Width(), frame.Height()), std::make_pair(4, 3));
    EXPECT_EQ(ArgbAt(frame, 2, 1), Argb4(255, 0, 0, 0));   // output (0, 0)
    EXPECT_EQ(ArgbAt(frame, 3, 1), Argb4(255, 10, 0, 0));  // output (1, 0)
    EXPECT_EQ(ArgbAt(frame, 3, 2), Argb4(255, 11, 0, 0));  // output (1, 1)
    EXPECT_EQ(std::get<0>(ArgbAt(frame, 1, 1)), 0);        // left of the output: transparent
    EXPECT_EQ(std::get<0>(ArgbAt(frame, 2, 0)), 0);        // above it

    // With a negative origin the leading columns are lost.
    host::World floats(3, 1, Depth::k32);
    for (A_long x = 0; x < 3; ++x)
        floats.pxF(x, 0) = PF_PixelFloat{1.0f, static_cast<float>(x), 0, 0};
    floats.setOrigin(-1, 0);
    const Image shifted = FrameImage(floats, 3, 1);
    EXPECT_EQ(std::get<1>(ArgbAt(shifted, 0)), 1.0);  // output column 1
    EXPECT_EQ(std::get<1>(ArgbAt(shifted, 1)), 2.0);  // output column 2
    EXPECT_EQ(std::get<0>(ArgbAt(shifted, 2)), 0.0);  // nothing there
}

TEST(WorldBridge, EmptyOutputGivesATransparentCanvas)
{
    const Image frame = FrameImage(host::World(), 2, 2);
    EXPECT_EQ(frame.Width(), 2);
    EXPECT_EQ(std::get<0>(ArgbAt(frame, 3)), 0);
}

}  // namespace
