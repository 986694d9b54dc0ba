#include "cli/DepthConvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace cli;

TEST(DepthConvert, EightBitToSixteenBitWorldScalesToFullScale32768)
{
    EXPECT_EQ(World16FromPng8(0), 0);
    EXPECT_EQ(World16FromPng8(255), 32768);
    // (128 * 32768 + 127) / 255 = 4194431 / 255 = 16448.7 -> 16448
    EXPECT_EQ(World16FromPng8(128), 16448);
    // (1 * 32768 + 127) / 255 = 32895 / 255 = 129 exactly
    EXPECT_EQ(World16FromPng8(1), 129);
    // (254 * 32768 + 127) / 255 = 8323199 / 255 = 32639.99 -> 32639
    EXPECT_EQ(World16FromPng8(254), 32639);
}

TEST(DepthConvert, SixteenBitWorldToPngUsesFullRange65535)
{
    EXPECT_EQ(Png16FromWorld16(0), 0);
    EXPECT_EQ(Png16FromWorld16(32768), 65535);
    // (16384 * 65535 + 16384) / 32768 = 16384 * 65536 / 32768 = 32768
    EXPECT_EQ(Png16FromWorld16(16384), 32768);
    // (1 * 65535 + 16384) / 32768 = 2.49 -> 2
    EXPECT_EQ(Png16FromWorld16(1), 2);
}

TEST(DepthConvert, SixteenBitWorldValuesAboveFullScaleClampInPng)
{
    EXPECT_EQ(Png16FromWorld16(40000), 65535);
    EXPECT_EQ(Png8FromWorld16(65535), 255);
}

TEST(DepthConvert, Png16ToWorld16)
{
    EXPECT_EQ(World16FromPng16(0), 0);
    EXPECT_EQ(World16FromPng16(65535), 32768);
    // (32768 * 32768 + 32767) / 65535 = 1073774591 / 65535 = 16384.7 -> 16384
    EXPECT_EQ(World16FromPng16(32768), 16384);
    // (2 * 32768 + 32767) / 65535 = 1.49 -> 1
    EXPECT_EQ(World16FromPng16(2), 1);
}

TEST(DepthConvert, EverySixteenBitWorldValueSurvivesPngRoundTrip)
{
    for (unsigned v = 0; v <= 32768; ++v) {
        const auto world = static_cast<std::uint16_t>(v);
        ASSERT_EQ(World16FromPng16(Png16FromWorld16(world)), world) << "v = " << v;
    }
}

TEST(DepthConvert, EightBitSamplesSurviveSixteenBitPngRoundTrip)
{
    for (unsigned c = 0; c <= 255; ++c) {
        const auto sample = static_cast<std::uint8_t>(c);
        // c * 257 is exact, and (257c * 255 + 32767) / 65535 = c + 32767/65535.
        EXPECT_EQ(Png16FromWorld8(sample), c * 257u);
        ASSERT_EQ(World8FromPng16(Png16FromWorld8(sample)), sample) << "c = " << c;
    }
}

TEST(DepthConvert, SixteenBitWorldToEightBitPngRounds)
{
    EXPECT_EQ(Png8FromWorld16(32768), 255);
    // (16384 * 255 + 16384) / 32768 = 128
    EXPECT_EQ(Png8FromWorld16(16384), 128);
    // (64 * 255 + 16384) / 32768 = 32704 / 32768 -> 0;  (65 * 255 + 16384) = 32959 -> 1
    EXPECT_EQ(Png8FromWorld16(64), 0);
    EXPECT_EQ(Png8FromWorld16(65), 1);
}

TEST(DepthConvert, EightBitToFloatDividesBy255)
{
    EXPECT_FLOAT_EQ(WorldFFromPng8(255), 1.0f);
    EXPECT_FLOAT_EQ(WorldFFromPng8(51), 0.2f);
    EXPECT_FLOAT_EQ(FloatFromWorld8(0), 0.0f);
}

TEST(DepthConvert, FloatToEightBitRoundsAndClamps)
{
    EXPECT_EQ(World8FromFloat(0.5f), 128);    // 127.5 rounds up
    EXPECT_EQ(World8FromFloat(0.498f), 127);  // 126.99
    EXPECT_EQ(World8FromFloat(-0.25f), 0);
    EXPECT_EQ(World8FromFloat(1.75f), 255);
    EXPECT_EQ(World8FromFloat(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(World8FromFloat(std::numeric_limits<float>::infinity()), 255);
}

TEST(DepthConvert, EveryEightBitValueSurvivesFloatRoundTrip)
{
    for (unsigned c = 0; c <= 255; ++c) {
        const auto sample = static_cast<std::uint8_t>(c);
        ASSERT_EQ(World8FromFloat(FloatFromWorld8(sample)), sample);
    }
}

TEST(DepthConvert, SixteenBitAndFloatUseFullScale32768)
{
    EXPECT_FLOAT_EQ(FloatFromWorld16(32768), 1.0f);
    EXPECT_FLOAT_EQ(FloatFromWorld16(8192), 0.25f);
    EXPECT_EQ(World16FromFloat(0.25f), 8192);
    EXPECT_EQ(World16FromFloat(1.0f), 32768);
    EXPECT_EQ(World16FromFloat(2.0f), 32768);
    EXPECT_EQ(World16FromFloat(-1.0f), 0);
    // 0.1 * 32768 = 3276.8 -> 3277
    EXPECT_EQ(World16FromFloat(0.1f), 3277);
}

TEST(DepthConvert, FloatToPngRoundsToTheFileScale)
{
    EXPECT_EQ(Png16FromFloat(1.0f), 65535);
    EXPECT_EQ(Png16FromFloat(0.5f), 32768);  // 32767.5 rounds up
    EXPECT_EQ(Png8FromFloat(0.2f), 51);
    EXPECT_EQ(Png16FromFloat(-3.0f), 0);
    EXPECT_EQ(Png8FromFloat(9.0f), 255);
}

TEST(DepthConvert, Png16ToFloatDividesBy65535)
{
    EXPECT_FLOAT_EQ(WorldFFromPng16(65535), 1.0f);
    EXPECT_FLOAT_EQ(WorldFFromPng16(13107), 0.2f);  // 65535 / 5
    for (unsigned p = 0; p <= 65535; p += 97) {
        ASSERT_EQ(Png16FromFloat(WorldFFromPng16(static_cast<std::uint16_t>(p))), p);
    }
}

}  // namespace
