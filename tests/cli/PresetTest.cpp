#include "cli/Preset.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TestDir.h"

namespace {

using ::testing::HasSubstr;

using namespace cli;
using Strings = std::vector<std::string>;
const auto usageError = [](auto f) { return clitest::FailureOf<UsageError>(f); };

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
    EXPECT_THAT(usageError([] { ParsePreset("DotSize=3\nnonsense\n", "p.txt"); }),
                HasSubstr("p.txt:2"));
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

TEST(Preset, ByteOrderMarkIsSkippedAndSizeLineLengthAndFileKindAreLimited)
{
    const auto marked = ParsePreset(
        "\xEF\xBB\xBF"
        "DotSize=3\n",
        "bom.preset");
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_EQ(marked[0].name, "DotSize");

    clitest::TestDir dir;
    auto read = [](const std::string &path) { return usageError([&] { ReadPreset(path); }); };
    // A line at the limit is read; one more character is refused, quickly
    // even when the line is 400,000 characters long.
    clitest::WriteFile(dir.Path("edge.preset"),
                       "DotSize=3\nDotColor=" + std::string(kPresetLineLimit - 9, '1') + "\n");
    EXPECT_EQ(ReadPreset(dir.Path("edge.preset")).size(), 2u);
    clitest::WriteFile(dir.Path("long.preset"), "DotSize=3\nDotColor=" + std::string(400000, '1'));
    EXPECT_EQ(read(dir.Path("long.preset")),
              dir.Path("long.preset") + ":2: the line is longer than 8192 characters");
    clitest::WriteFile(dir.Path("big.preset"), std::string(kPresetSizeLimit + 1, '\n'));
    EXPECT_EQ(read(dir.Path("big.preset")),
              "preset '" + dir.Path("big.preset") +
                  "' is larger than 1 MiB: a preset holds NAME=VALUE lines");
    clitest::WriteFile(dir.Path("full.preset"), std::string(kPresetSizeLimit, '\n'));
    EXPECT_TRUE(ReadPreset(dir.Path("full.preset")).empty());
    EXPECT_EQ(read(dir.Path("")),
              "cannot read preset '" + dir.Path("") + "': a folder, not a file");
    EXPECT_EQ(read("/dev/zero"), "cannot read preset '/dev/zero': a device, not a file");
}

}  // namespace
