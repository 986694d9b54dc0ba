// The command line in-process: parsing, usage errors and their exit status,
// and the checks that need the effect's definitions (names, ranges).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "TestDir.h"
#include "cli/Commands.h"
#include "cli/Errors.h"
#include "cli/ImageIO.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

using namespace cli;

using clitest::Outcome;

Outcome RunStipplex(std::vector<std::string> args)
{
    args.insert(args.begin(), "stipplex");
    std::vector<const char *> argv;
    for (const std::string &a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int status = RunCommandLine(static_cast<int>(argv.size()), argv.data(), out, err, false);
    return Outcome{status, 0, out.str(), err.str()};
}

#define REQUIRE_PLUGIN()                             \
    if (::access(STIPPLEX_PLUGIN_PATH, R_OK) != 0) { \
        GTEST_SKIP() << "the plug-in is not built";  \
    }

TEST(CommandLine, UsageErrorsNameTheirCause)
{
    const std::pair<std::vector<std::string>, const char *> cases[] = {
        {{}, "stipplex: error: "},
        {{"rendr", "a.png", "b.png"}, "unknown command 'rendr' (did you mean 'render'"},
        {{"--plugin", "x.so", "frobnicate"}, "unknown command 'frobnicate'"},
        {{"render", "--bogus", "a.png", "b.png"}, "--bogus"},
    };
    for (const auto &[args, message] : cases) {
        const Outcome o = RunStipplex(args);
        EXPECT_EQ(o.status, kExitUsage) << message;
        EXPECT_THAT(o.err, StartsWith("stipplex: error: "));
        EXPECT_THAT(o.err, HasSubstr(message));
    }
}

TEST(CommandLine, HelpListsCommandsAndOptionsAndExitsZero)
{
    for (const auto &[args, parts] :
         {std::pair<std::vector<std::string>, std::vector<const char *>>{
              {"--help"}, {"about", "params", "defaults", "render", "--plugin"}},
          {{"render", "--help"},
           {"--set", "--preset", "--depth", "--downsample", "--frames", "--fps"}}}) {
        const Outcome o = RunStipplex(args);
        EXPECT_EQ(o.status, kExitOk);
        for (const char *part : parts) EXPECT_THAT(o.out, HasSubstr(part));
    }
}

TEST(CommandLine, RequestErrorsAreFoundBeforeThePluginIsLoaded)
{
    // A plug-in that does not exist would fail with status 1; these fail with
    // 2 because they are refused first.
    const std::pair<std::vector<std::string>, const char *> requests[] = {
        {{"in.png", "out.tif"}, "out.tif"},
        {{"--frames", "1-3", "in.png", "out.png"}, "needs a # pattern"},
        {{"--depth", "12", "in.png", "out.png"}, "--depth"},
        {{"--downsample", "0", "in.png", "out.png"}, "--downsample"},
        {{"--exr-type", "double", "in.png", "o.exr"}, "--exr-type"},
        {{"--png-compression", "9", "in.png", "o.png"}, "--png-compression must be none, fast"},
        {{"--exr-compression", "lzw", "in.png", "o.exr"}, "--exr-compression must be none"},
        {{"--timings", "in.png", "o.mp4"}, "--timings times image files and sequences"},
        {{"--frames", "5-2", "i.png", "o.#.png"}, "comes before the first"},
        // Frames beyond the host's 32-bit times are refused, not wrapped.
        {{"--frame", "4294967296", "i.png", "o.png"},
         "--frame 4294967296 is out of range: frames go from 0 to 2147483646"},
        {{"--frames", "0-2147483647", "i.png", "o.#.png"}, "frames go from 0 to 2147483646"},
        {{"--frames", "99999999999999999999-1", "i.png", "o.#.png"}, "frames go from 0 to"},
        {{"--memory-limit", "lots", "i.png", "o.png"},
         "bad --memory-limit 'lots': expected a size such as 512M"},
        {{"-L", "XX", "i.png", "o.png"}, "unknown language 'XX' for -L: use JP or EN"}};
    for (auto [args, message] : requests) {
        args.insert(args.begin(), {"render", "--plugin", "/nonexistent/libstipplex.so"});
        const Outcome o = RunStipplex(args);
        EXPECT_EQ(o.status, kExitUsage) << message << "\n" << o.err;
        EXPECT_THAT(o.err, HasSubstr(message));
    }
}

TEST(CommandLine, FailuresNameTheirCauseAndLeaveTheOldOutput)
{
    REQUIRE_PLUGIN();
    clitest::TestDir dir;
    clitest::WriteFile(dir.Path("in.png"), std::string("\x89PNG\r\n\x1a\n", 8) + "garbage");
    clitest::WriteFile(dir.Path("out.png"), "previous");
    for (const auto &[plugin, cause] :
         {std::pair{dir.Path("missing.so"), "cannot load the plug-in " + dir.Path("missing.so")},
          {STIPPLEX_PLUGIN_PATH, dir.Path("in.png")}}) {
        const Outcome o =
            RunStipplex({"render", "--plugin", plugin, dir.Path("in.png"), dir.Path("out.png")});
        EXPECT_EQ(o.status, kExitFailure);
        EXPECT_THAT(o.err, StartsWith("stipplex: error: "));
        EXPECT_THAT(o.err, HasSubstr(cause));
    }
    EXPECT_EQ(clitest::ReadFile(dir.Path("out.png")), "previous");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.png", "out.png"}));
}

TEST(CommandLine, BadValuesAreRefusedInTheEffectsOwnUnitsAndWriteNothing)
{
    REQUIRE_PLUGIN();
    clitest::TestDir dir;
    WriteImage(dir.Path("in.png"), Image(8, 6, Depth::k8));
    clitest::WriteFile(dir.Path("look.preset"), "# warm\nDotSize=12\nDotColour=#FF0000\n");
    struct Case {
        std::vector<std::string> options;
        std::string message;
    };
    const Case cases[] = {
        {{"--set", "DotSiz=3"}, "unknown parameter 'DotSiz' (nearest: DotSize"},
        {{"--set", "DotSize=2000"}, "DotSize: 2000 is out of range (valid 0 to 1000)"},
        {{"--preset", dir.Path("look.preset")},
         "look.preset:3: unknown parameter 'DotColour' (nearest: DotColor"},
        {{"--preset", dir.Path("")}, "': a folder, not a file"},
        // 6 / 13 + 0.5 truncates to no line at all.
        {{"--downsample", "13"},
         "--downsample 13 is too large for '" + dir.Path("in.png") +
             "' (8 x 6 pixels): at most 12"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {"render", "--plugin", STIPPLEX_PLUGIN_PATH,
                                         dir.Path("in.png"), dir.Path("out.png")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const Outcome o = RunStipplex(args);
        EXPECT_EQ(o.status, kExitUsage) << c.message;
        EXPECT_THAT(o.err, HasSubstr(c.message));
    }
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"in.png", "look.preset"}));
}

}  // namespace
