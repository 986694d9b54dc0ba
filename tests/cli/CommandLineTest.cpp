// The command line in-process: parsing, usage errors and their exit status,
// and the checks that need the effect's definitions (names, ranges).
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "TestDir.h"
#include "cli/Commands.h"
#include "cli/Errors.h"
#include "cli/Image.h"
#include "cli/ImageIO.h"

namespace {

using namespace cli;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome RunStipplex(std::vector<std::string> args)
{
    args.insert(args.begin(), "stipplex");
    std::vector<const char *> argv;
    for (const std::string &a : args) {
        argv.push_back(a.c_str());
    }
    std::ostringstream out;
    std::ostringstream err;
    Outcome o;
    o.status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err, false);
    o.out = out.str();
    o.err = err.str();
    return o;
}

bool Contains(const std::string &text, const std::string &part)
{
    return text.find(part) != std::string::npos;
}

std::string PluginPath()
{
    return STIPPLEX_PLUGIN_PATH;
}

bool PluginBuilt()
{
    return ::access(PluginPath().c_str(), R_OK) == 0;
}

// A small opaque grey input image.
std::string GreyInput(const clitest::TestDir &dir)
{
    Image image(8, 6, Depth::k8);
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        image.Pixels8()[i] = Argb8{255, 100, 100, 100};
    }
    const std::string path = dir.Path("in.png");
    WriteImage(path, image);
    return path;
}

TEST(CommandLine, NoCommandIsAUsageError)
{
    const Outcome o = RunStipplex({});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_EQ(o.err.rfind("stipplex: error: ", 0), 0u) << o.err;
}

TEST(CommandLine, UnknownCommandIsNamedWithTheNearestOne)
{
    const Outcome o = RunStipplex({"rendr", "a.png", "b.png"});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_TRUE(Contains(o.err, "stipplex: error: unknown command 'rendr'")) << o.err;
    EXPECT_TRUE(Contains(o.err, "did you mean 'render'")) << o.err;

    const Outcome far = RunStipplex({"--plugin", "x.so", "frobnicate"});
    EXPECT_EQ(far.status, kExitUsage);
    EXPECT_TRUE(Contains(far.err, "unknown command 'frobnicate'")) << far.err;
}

TEST(CommandLine, UnknownOptionIsAUsageError)
{
    const Outcome o = RunStipplex({"render", "--bogus", "a.png", "b.png"});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_TRUE(Contains(o.err, "--bogus")) << o.err;
}

TEST(CommandLine, HelpListsCommandsAndExitsZero)
{
    const Outcome o = RunStipplex({"--help"});
    EXPECT_EQ(o.status, kExitOk);
    for (const char *command : {"about", "params", "defaults", "render", "--plugin"}) {
        EXPECT_TRUE(Contains(o.out, command)) << command << "\n" << o.out;
    }
    const Outcome render = RunStipplex({"render", "--help"});
    EXPECT_EQ(render.status, kExitOk);
    for (const char *option :
         {"--set", "--preset", "--depth", "--downsample", "--frames", "--fps"}) {
        EXPECT_TRUE(Contains(render.out, option)) << option << "\n" << render.out;
    }
}

TEST(CommandLine, RequestErrorsAreFoundBeforeThePluginIsLoaded)
{
    // A plug-in that does not exist would fail with status 1; these fail with
    // 2 because they are refused first.
    const std::string none = "/nonexistent/libstipplex.so";
    EXPECT_EQ(RunStipplex({"render", "--plugin", none, "in.png", "out.tif"}).status, kExitUsage);
    EXPECT_EQ(
        RunStipplex({"render", "--plugin", none, "--frames", "1-3", "in.png", "out.png"}).status,
        kExitUsage);
    EXPECT_EQ(
        RunStipplex({"render", "--plugin", none, "--depth", "12", "in.png", "out.png"}).status,
        kExitUsage);
    EXPECT_EQ(
        RunStipplex({"render", "--plugin", none, "--downsample", "0", "in.png", "out.png"}).status,
        kExitUsage);
    EXPECT_EQ(
        RunStipplex({"render", "--plugin", none, "--exr-type", "double", "in.png", "o.exr"}).status,
        kExitUsage);
    EXPECT_EQ(
        RunStipplex({"render", "--plugin", none, "--frames", "5-2", "i.png", "o.#.png"}).status,
        kExitUsage);
    const Outcome o = RunStipplex({"render", "--plugin", none, "in.png", "out.tif"});
    EXPECT_TRUE(Contains(o.err, "out.tif")) << o.err;
}

TEST(CommandLine, MissingPluginIsAFailureNamingIt)
{
    clitest::TestDir dir;
    const Outcome o = RunStipplex({"about", "--plugin", dir.Path("missing.so")});
    EXPECT_EQ(o.status, kExitFailure);
    EXPECT_TRUE(Contains(o.err, "stipplex: error: cannot load the plug-in")) << o.err;
    EXPECT_TRUE(Contains(o.err, "missing.so")) << o.err;
}

TEST(CommandLine, UnknownParameterIsRefusedWithTheNearestNames)
{
    if (!PluginBuilt()) {
        GTEST_SKIP() << "the plug-in is not built";
    }
    clitest::TestDir dir;
    const std::string input = GreyInput(dir);
    const Outcome o = RunStipplex(
        {"render", "--plugin", PluginPath(), "--set", "DotSiz=3", input, dir.Path("out.png")});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_TRUE(Contains(o.err, "unknown parameter 'DotSiz' (nearest: DotSize")) << o.err;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"in.png"});
}

TEST(CommandLine, OutOfRangeValueIsRefusedWithTheRange)
{
    if (!PluginBuilt()) {
        GTEST_SKIP() << "the plug-in is not built";
    }
    clitest::TestDir dir;
    const std::string input = GreyInput(dir);
    const Outcome size = RunStipplex(
        {"render", "--plugin", PluginPath(), "--set", "DotSize=2000", input, dir.Path("out.png")});
    EXPECT_EQ(size.status, kExitUsage);
    EXPECT_TRUE(Contains(size.err, "DotSize: 2000 is out of range (valid 0 to 1000)")) << size.err;

    const Outcome opacity = RunStipplex({"render", "--plugin", PluginPath(), "--set",
                                         "DotOpacity=101%", input, dir.Path("out.png")});
    EXPECT_EQ(opacity.status, kExitUsage);
    EXPECT_TRUE(Contains(opacity.err, "DotOpacity: 101% is out of range (valid 0% to 100%)"))
        << opacity.err;

    const Outcome shape = RunStipplex(
        {"render", "--plugin", PluginPath(), "--set", "DotShape=7", input, dir.Path("out.png")});
    EXPECT_EQ(shape.status, kExitUsage);
    EXPECT_TRUE(Contains(shape.err, "valid 1 to 6")) << shape.err;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"in.png"});
}

TEST(CommandLine, BadPresetLineNamesFileAndLine)
{
    if (!PluginBuilt()) {
        GTEST_SKIP() << "the plug-in is not built";
    }
    clitest::TestDir dir;
    const std::string input = GreyInput(dir);
    clitest::WriteFile(dir.Path("look.preset"), "# warm\nDotSize=12\nDotColour=#FF0000\n");
    const Outcome o = RunStipplex({"render", "--plugin", PluginPath(), "--preset",
                                   dir.Path("look.preset"), input, dir.Path("out.png")});
    EXPECT_EQ(o.status, kExitUsage);
    EXPECT_TRUE(Contains(o.err, "look.preset:3: unknown parameter 'DotColour' (nearest: DotColor"))
        << o.err;
}

TEST(CommandLine, MissingInputIsAFailureAndWritesNothing)
{
    if (!PluginBuilt()) {
        GTEST_SKIP() << "the plug-in is not built";
    }
    clitest::TestDir dir;
    const Outcome o = RunStipplex(
        {"render", "--plugin", PluginPath(), dir.Path("none.png"), dir.Path("out.png")});
    EXPECT_EQ(o.status, kExitFailure);
    EXPECT_TRUE(Contains(o.err, "none.png")) << o.err;
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(CommandLine, BrokenInputIsAFailureAndLeavesTheOldOutput)
{
    if (!PluginBuilt()) {
        GTEST_SKIP() << "the plug-in is not built";
    }
    clitest::TestDir dir;
    clitest::WriteFile(dir.Path("in.png"), std::string("\x89PNG\r\n\x1a\n", 8) + "garbage");
    clitest::WriteFile(dir.Path("out.png"), "previous");
    const Outcome o =
        RunStipplex({"render", "--plugin", PluginPath(), dir.Path("in.png"), dir.Path("out.png")});
    EXPECT_EQ(o.status, kExitFailure);
    EXPECT_TRUE(Contains(o.err, "in.png")) << o.err;
    EXPECT_EQ(clitest::ReadFile(dir.Path("out.png")), "previous");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.png", "out.png"}));
}

TEST(CommandLine, DefaultsSaveRefusesABadValueBeforeStoringAnything)
{
    if (!PluginBuilt()) {
        GTEST_SKIP() << "the plug-in is not built";
    }
    const Outcome bad =
        RunStipplex({"defaults", "save", "--plugin", PluginPath(), "--set", "DotSize=-1"});
    EXPECT_EQ(bad.status, kExitUsage);
    EXPECT_TRUE(Contains(bad.err, "DotSize")) << bad.err;
}

}  // namespace
