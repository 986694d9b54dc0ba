#include "cli/Preset.h"

#include <gtest/gtest.h>

#include "TestDir.h"
#include "cli/Errors.h"

namespace {

using namespace cli;

TEST(Preset, SplitsNameAndValueAndTrimsBlanks)
{
    const Assignment a = ParseAssignment(" DotSize = 12.5 ", "--set");
    EXPECT_EQ(a.name, "DotSize");
    EXPECT_EQ(a.value, "12.5");
    EXPECT_EQ(a.origin, "--set");
    EXPECT_EQ(a.baseDir, "");
}

TEST(Preset, ValueMayContainEqualsSigns)
{
    const Assignment a = ParseAssignment("MaskLayer=dir/a=b.png", "--set");
    EXPECT_EQ(a.name, "MaskLayer");
    EXPECT_EQ(a.value, "dir/a=b.png");
}

TEST(Preset, RefusesAssignmentsWithoutNameOrValue)
{
    EXPECT_THROW(ParseAssignment("DotSize", "--set"), UsageError);
    EXPECT_THROW(ParseAssignment("=3", "--set"), UsageError);
    EXPECT_THROW(ParseAssignment("DotSize=", "--set"), UsageError);
}

TEST(Preset, SkipsCommentsAndBlankLinesAndKeepsHashInValues)
{
    const std::string text =
        "# a look\n"
        "\n"
        "DotShape=2\r\n"
        "   # indented comment\n"
        "DotColor=#FF8014\n"
        "DotSize = 30";
    const auto list = ParsePreset(text, "looks/warm.preset");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "DotShape");
    EXPECT_EQ(list[0].value, "2");
    EXPECT_EQ(list[0].origin, "looks/warm.preset:3");
    EXPECT_EQ(list[1].value, "#FF8014");
    EXPECT_EQ(list[2].name, "DotSize");
    EXPECT_EQ(list[2].origin, "looks/warm.preset:6");
    EXPECT_EQ(list[2].baseDir, "looks/");
}

TEST(Preset, BadLineNamesFileAndLine)
{
    try {
        ParsePreset("DotSize=3\nnonsense\n", "p.txt");
        FAIL() << "expected a usage error";
    } catch (const UsageError &e) {
        EXPECT_NE(std::string(e.what()).find("p.txt:2"), std::string::npos) << e.what();
    }
}

TEST(Preset, RelativePathsAreTakenFromThePresetFolder)
{
    EXPECT_EQ(ResolvePath("mask.png", "looks/"), "looks/mask.png");
    EXPECT_EQ(ResolvePath("/abs/mask.png", "looks/"), "/abs/mask.png");
    EXPECT_EQ(ResolvePath("mask.png", ""), "mask.png");
}

TEST(Preset, ReadsAFileAndReportsAMissingOne)
{
    clitest::TestDir dir;
    clitest::WriteFile(dir.Path("p.preset"), "DotShape=3\n");
    const auto list = ReadPreset(dir.Path("p.preset"));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].baseDir, dir.Path(""));
    EXPECT_THROW(ReadPreset(dir.Path("none.preset")), Failure);
}

}  // namespace
