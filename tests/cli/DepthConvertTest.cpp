#include "cli/DepthConvert.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

using namespace cli;

TEST(DepthConvert, EightBitPngToSixteenBitWorldScalesTo32768)
{
    EXPECT_EQ(World16FromPng8(0), 0);
    EXPECT_EQ(World16FromPng8(255), 32768);
    EXPECT_EQ(World16FromPng8(128), 16448);  // (128 * 32768 + 127) / 255 = 16448.7
    EXPECT_EQ(World16FromPng8(1), 129);      // (32768 + 127) / 255 = 129 exactly
    EXPECT_EQ(World16FromPng8(254), 32639);  // 8323199 / 255 = 32639.99
}

TEST(DepthConvert, SixteenBitWorldToPngRoundsAndClamps)
{
    EXPECT_EQ(Png16FromWorld16(32768), 65535);
    EXPECT_EQ(Png16FromWorld16(16384), 32768);  // (16384 * 65535 + 16384) / 32768
    EXPECT_EQ(Png16FromWorld16(1), 2);          // (65535 + 16384) / 32768 = 2.49
    EXPECT_EQ(Png16FromWorld16(40000), 65535);
    EXPECT_EQ(Png8FromWorld16(16384), 128);  // (16384 * 255 + 16384) / 32768
    EXPECT_EQ(Png8FromWorld16(64), 0);       // 32704 / 32768
    EXPECT_EQ(Png8FromWorld16(65), 1);       // 32959 / 32768
    EXPECT_EQ(Png8FromWorld16(65535), 255);
}

TEST(DepthConvert, EveryWorldValueSurvivesTheSixteenBitPngRoundTrip)
{
    for (unsigned v = 0; v <= 32768; ++v) {
        const auto world = static_cast<std::uint16_t>(v);
        ASSERT_EQ(World16FromPng16(Png16FromWorld16(world)), world) << v;
    }
    for (unsigned c = 0; c <= 255; ++c) {
        // c * 257 is exact, and (257c * 255 + 32767) / 65535 = c + 32767/65535.
        const auto sample = static_cast<std::uint8_t>(c);
        EXPECT_EQ(Png16FromWorld8(sample), c * 257u);
        ASSERT_EQ(World8FromPng16(Png16FromWorld8(sample)), sample) << c;
        ASSERT_EQ(World8FromFloat(FloatFromWorld8(sample)), sample) << c;
    }
}

TEST(DepthConvert, FloatScalesRoundAndClamp)
{
    EXPECT_FLOAT_EQ(WorldFFromPng8(51), 0.2f);
    EXPECT_EQ(World8FromFloat(0.5f), 128);    // 127.5 rounds up
    EXPECT_EQ(World8FromFloat(0.498f), 127);  // 126.99
    EXPECT_EQ(World8FromFloat(-0.25f), 0);
    EXPECT_EQ(World8FromFloat(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(World8FromFloat(std::numeric_limits<float>::infinity()), 255);
    EXPECT_FLOAT_EQ(FloatFromWorld16(8192), 0.25f);
    EXPECT_EQ(World16FromFloat(0.1f), 3277);  // 3276.8
    EXPECT_EQ(World16FromFloat(2.0f), 32768);
    EXPECT_EQ(World16FromFloat(-1.0f), 0);
    EXPECT_EQ(Png16FromFloat(1.0f), 65535);
    EXPECT_EQ(Png16FromFloat(0.5f), 32768);  // 32767.5 rounds up
    EXPECT_EQ(Png16FromFloat(-3.0f), 0);
    EXPECT_EQ(Png8FromFloat(0.2f), 51);
    EXPECT_EQ(Png8FromFloat(9.0f), 255);
    EXPECT_FLOAT_EQ(WorldFFromPng16(13107), 0.2f);  // 65535 / 5
    for (unsigned p = 0; p <= 65535; p += 97) {
        ASSERT_EQ(Png16FromFloat(WorldFFromPng16(static_cast<std::uint16_t>(p))), p);
    }
}

}  // namespace
