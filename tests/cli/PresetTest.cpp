#include "cli/Preset.h"

#include <gtest/gtest.h>

#include "TestDir.h"
#include "cli/Errors.h"

namespace {

using namespace cli;
using Strings = std::vector<std::string>;

TEST(Preset, AssignmentsSplitAtTheFirstEqualsSignAndTrimBlanks)
{
    const Assignment a = ParseAssignment(" DotSize = 12.5 ", "--set");
    EXPECT_EQ(Strings({a.name, a.value, a.origin, a.baseDir}),
              Strings({"DotSize", "12.5", "--set", ""}));
    const Assignment b = ParseAssignment("MaskLayer=dir/a=b.png", "--set");
    EXPECT_EQ(Strings({b.name, b.value}), Strings({"MaskLayer", "dir/a=b.png"}));
    for (const char *bad : {"DotSize", "=3", "DotSize="}) {
        EXPECT_THROW(ParseAssignment(bad, "--set"), UsageError) << bad;
    }
}

TEST(Preset, SkipsCommentsAndBlankLinesAndKeepsHashInValues)
{
    const auto list = ParsePreset(
        "# a look\n\nDotShape=2\r\n   # indented comment\nDotColor=#FF8014\nDotSize = 30",
        "looks/warm.preset");
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(Strings({list[0].name, list[0].value, list[0].origin}),
              Strings({"DotShape", "2", "looks/warm.preset:3"}));
    EXPECT_EQ(list[1].value, "#FF8014");
    EXPECT_EQ(Strings({list[2].name, list[2].origin, list[2].baseDir}),
              Strings({"DotSize", "looks/warm.preset:6", "looks/"}));
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

TEST(Preset, FilesAreReadAndRelativePathsTakenFromTheirFolder)
{
    EXPECT_EQ(ResolvePath("mask.png", "looks/"), "looks/mask.png");
    EXPECT_EQ(ResolvePath("/abs/mask.png", "looks/"), "/abs/mask.png");
    EXPECT_EQ(ResolvePath("mask.png", ""), "mask.png");
    clitest::TestDir dir;
    clitest::WriteFile(dir.Path("p.preset"), "DotShape=3\n");
    const auto list = ReadPreset(dir.Path("p.preset"));
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].baseDir, dir.Path(""));
    EXPECT_THROW(ReadPreset(dir.Path("none.preset")), Failure);
}

}  // namespace
