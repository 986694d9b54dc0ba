// The built `stipplex` program against the built plug-in, as a user runs it.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include <cstdlib>

#include "TestDir.h"
#include "cli/ImageIO.h"

namespace {

using namespace cli;
using clitest::TestDir;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string Quote(const std::string &s)
{
    std::string q = "'";
    for (char c : s) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

// Runs the program with `args`, from `dir`, capturing both streams. Its
// configuration folder (stored defaults) is inside `dir`, never the user's.
Outcome RunTool(const TestDir &dir, const std::vector<std::string> &args)
{
    std::string command = "cd " + Quote(dir.Path("")) +
                          " && XDG_CONFIG_HOME=" + Quote(dir.Path("config")) + " " +
                          Quote(STIPPLEX_CLI_PATH);
    for (const std::string &a : args) {
        command += " " + Quote(a);
    }
    const std::string outFile = dir.Path(".stdout");
    const std::string errFile = dir.Path(".stderr");
    command += " >" + Quote(outFile) + " 2>" + Quote(errFile) + " </dev/null";
    const int raw = std::system(command.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = clitest::ReadFile(outFile);
    o.err = clitest::ReadFile(errFile);
    ::unlink(outFile.c_str());
    ::unlink(errFile.c_str());
    return o;
}

bool Ready()
{
    return ::access(STIPPLEX_CLI_PATH, X_OK) == 0 && ::access(STIPPLEX_PLUGIN_PATH, R_OK) == 0;
}

#define REQUIRE_BUILT()                                                         \
    if (!Ready()) {                                                             \
        GTEST_SKIP() << "the stipplex program or the plug-in is not built yet"; \
    }

// An opaque input of one grey, 32 x 24: the grid centre is (16, 12).
void WriteGrey(const std::string &path, int width = 32, int height = 24)
{
    Image image(width, height, Depth::k8);
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        image.Pixels8()[i] = Argb8{255, 100, 100, 100};
    }
    WriteImage(path, image);
}

template <typename P>
const P &At(const P *pixels, const Image &image, int x, int y)
{
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.Width()) +
                  static_cast<std::size_t>(x)];
}

TEST(EndToEnd, AboutShowsNameVersionAndRelease)
{
    REQUIRE_BUILT();
    TestDir dir;
    // No --plugin: the program finds the one the build made.
    const Outcome o = RunTool(dir, {"about", "-L", "EN"});
    ASSERT_EQ(o.status, 0) << o.err;
    // The English text has no notice line: only the name line is left.
    EXPECT_EQ(o.out, "Stipplex 1.5.5 Release\n");
}

TEST(EndToEnd, AboutInJapaneseShowsTheNoticeAfterABlankLine)
{
    REQUIRE_BUILT();
    TestDir dir;
    const Outcome o = RunTool(dir, {"about", "-L", "jp"});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string head = "Stipplex 1.5.5 Release\n\n";
    ASSERT_EQ(o.out.rfind(head, 0), 0u) << o.out;
    EXPECT_GT(o.out.size(), head.size() + 1) << "no notice line";
    EXPECT_EQ(o.out.find('\r'), std::string::npos);
    EXPECT_EQ(o.out.back(), '\n');
}

TEST(EndToEnd, ParamsJsonListsAll122WithTheirDefinitions)
{
    REQUIRE_BUILT();
    TestDir dir;
    const Outcome o = RunTool(dir, {"params", "--json", "--plugin", STIPPLEX_PLUGIN_PATH});
    ASSERT_EQ(o.status, 0) << o.err;
    const nlohmann::json j = nlohmann::json::parse(o.out);
    ASSERT_EQ(j.size(), 122u);

    EXPECT_EQ(j[0]["identifier"], "DotShape");
    EXPECT_EQ(j[0]["name"], "点的形状");
    EXPECT_EQ(j[0]["type"], "popup");
    EXPECT_EQ(j[0]["default"], 1);
    ASSERT_EQ(j[0]["items"].size(), 6u);
    EXPECT_EQ(j[0]["items"][0]["label"], "圆形");
    EXPECT_EQ(j[0]["items"][5]["label"], "菱形");

    EXPECT_EQ(j[1]["identifier"], "DotColor");
    EXPECT_EQ(j[1]["default"], nlohmann::json({255, 125, 20}));

    EXPECT_EQ(j[2]["identifier"], "DotSize");
    EXPECT_EQ(j[2]["valid"], nlohmann::json({0.0, 1000.0}));
    EXPECT_EQ(j[2]["slider"], nlohmann::json({0.0, 100.0}));
    EXPECT_EQ(j[2]["default"], 10.0);

    EXPECT_EQ(j[6]["identifier"], "DotOpacity");
    EXPECT_EQ(j[6]["percent"], true);

    EXPECT_EQ(j[38]["index"], 39);
    EXPECT_EQ(j[38]["id"], 136);
    EXPECT_EQ(j[38]["identifier"], "EffectMap1");
    EXPECT_EQ(j[38]["default"], 3);
    EXPECT_EQ(j[38]["items"][1]["separator"], true);

    EXPECT_EQ(j[121]["identifier"], "EffectorEnd3");
    EXPECT_EQ(j[121]["type"], "group end");
}

TEST(EndToEnd, ParamsTableShowsNamesInUtf8)
{
    REQUIRE_BUILT();
    TestDir dir;
    const Outcome o = RunTool(dir, {"params", "--plugin", STIPPLEX_PLUGIN_PATH});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("DotShape"), std::string::npos);
    EXPECT_NE(o.out.find("点的形状"), std::string::npos);
    EXPECT_NE(o.out.find("HueOffset3"), std::string::npos);
}

TEST(EndToEnd, RenderDrawsTheCentreDotInTheDefaultColour)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"));
    const Outcome o = RunTool(dir, {"render", "in.png", "out.png", "--plugin", STIPPLEX_PLUGIN_PATH,
                                    "--set", "ClearBackground=1"});
    ASSERT_EQ(o.status, 0) << o.err;
    const Image out = ReadImage(dir.Path("out.png"));
    ASSERT_EQ(out.GetDepth(), Depth::k8);
    ASSERT_EQ(out.Width(), 32);
    ASSERT_EQ(out.Height(), 24);
    // Size 10 and gap 20: the only dot on the layer is the centre one, a
    // circle of radius 5 about (16, 12), which covers pixel (16, 12) fully.
    const Argb8 &centre = At(out.Pixels8(), out, 16, 12);
    EXPECT_EQ(centre.a, 255);
    EXPECT_EQ(centre.r, 255);
    EXPECT_EQ(centre.g, 125);
    EXPECT_EQ(centre.b, 20);
    // Pixel (26, 12) is 10 pixels from the centre: cleared.
    EXPECT_EQ(At(out.Pixels8(), out, 26, 12).a, 0);
    EXPECT_EQ(At(out.Pixels8(), out, 0, 0).a, 0);
}

TEST(EndToEnd, RenderKeepsTheInputAroundTheDots)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"));
    const Outcome o = RunTool(dir, {"render", "in.png", "out.png", "--plugin", STIPPLEX_PLUGIN_PATH,
                                    "--set", "DotColor=#0000FF"});
    ASSERT_EQ(o.status, 0) << o.err;
    const Image out = ReadImage(dir.Path("out.png"));
    const Argb8 &centre = At(out.Pixels8(), out, 16, 12);
    EXPECT_EQ(centre.r, 0);
    EXPECT_EQ(centre.b, 255);
    const Argb8 &away = At(out.Pixels8(), out, 26, 12);
    EXPECT_EQ(away.a, 255);
    EXPECT_EQ(away.r, 100);
    EXPECT_EQ(away.g, 100);
}

TEST(EndToEnd, SixteenBitRenderUsesTheColourAtSixteenBits)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"));
    const Outcome o = RunTool(dir, {"render", "in.png", "out.png", "--depth", "16", "--plugin",
                                    STIPPLEX_PLUGIN_PATH, "--set", "ClearBackground=1"});
    ASSERT_EQ(o.status, 0) << o.err;
    const Image out = ReadImage(dir.Path("out.png"));
    ASSERT_EQ(out.GetDepth(), Depth::k16);
    const Argb16 &centre = At(out.Pixels16(), out, 16, 12);
    // The 8-bit colour at 16 bits is trunc(c / 255 * 32768): 125 -> 16062,
    // 20 -> 2570; the PNG round trip keeps every 16-bit value.
    EXPECT_EQ(centre.a, 32768);
    EXPECT_EQ(centre.r, 32768);
    EXPECT_EQ(centre.g, 16062);
    EXPECT_EQ(centre.b, 2570);
}

TEST(EndToEnd, FloatRenderToExr)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"));
    const Outcome o = RunTool(dir, {"render", "in.png", "out.exr", "--depth", "32", "--plugin",
                                    STIPPLEX_PLUGIN_PATH, "--set", "ClearBackground=1"});
    ASSERT_EQ(o.status, 0) << o.err;
    const Image out = ReadImage(dir.Path("out.exr"));
    ASSERT_EQ(out.GetDepth(), Depth::k32);
    const ArgbF &centre = At(out.PixelsF(), out, 16, 12);
    EXPECT_FLOAT_EQ(centre.a, 1.0f);
    EXPECT_FLOAT_EQ(centre.g, 125.0f / 255.0f);
    EXPECT_FLOAT_EQ(At(out.PixelsF(), out, 26, 12).a, 0.0f);
}

TEST(EndToEnd, DownsampledRenderIsSizedAsTheEffectSizesIt)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"), 33, 24);
    const Outcome o = RunTool(dir, {"render", "in.png", "out.png", "--downsample", "2", "--plugin",
                                    STIPPLEX_PLUGIN_PATH});
    ASSERT_EQ(o.status, 0) << o.err;
    const Image out = ReadImage(dir.Path("out.png"));
    // 33 / 2 + 0.5 = 17, 24 / 2 + 0.5 = 12.5 -> 12
    EXPECT_EQ(out.Width(), 17);
    EXPECT_EQ(out.Height(), 12);
}

TEST(EndToEnd, FrameRangeWritesOneFilePerFrame)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"));
    const Outcome o = RunTool(dir, {"render", "in.png", "out.###.png", "--frames", "8-10", "-v",
                                    "--plugin", STIPPLEX_PLUGIN_PATH});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(dir.Entries(),
              (std::vector<std::string>{"in.png", "out.008.png", "out.009.png", "out.010.png"}));
    EXPECT_NE(o.out.find("frame 9 -> out.009.png"), std::string::npos) << o.out;
}

TEST(EndToEnd, InputPatternReadsOneImagePerFrame)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.1.png"));
    Image black(32, 24, Depth::k8);
    for (std::size_t i = 0; i < black.PixelCount(); ++i) {
        black.Pixels8()[i] = Argb8{255, 0, 0, 0};
    }
    WriteImage(dir.Path("in.2.png"), black);
    const Outcome o = RunTool(dir, {"render", "in.#.png", "out.#.png", "--frames", "1-2",
                                    "--plugin", STIPPLEX_PLUGIN_PATH});
    ASSERT_EQ(o.status, 0) << o.err;
    const Image one = ReadImage(dir.Path("out.1.png"));
    const Image two = ReadImage(dir.Path("out.2.png"));
    EXPECT_EQ(At(one.Pixels8(), one, 26, 12).r, 100);
    EXPECT_EQ(At(two.Pixels8(), two, 26, 12).r, 0);
}

TEST(EndToEnd, SetOverridesThePresetAndPresetPathsAreFromItsFolder)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"));
    ASSERT_EQ(::mkdir(dir.Path("looks").c_str(), 0755), 0);
    WriteImage(dir.Path("looks/clear.png"), Image(32, 24, Depth::k8));
    clitest::WriteFile(dir.Path("looks/blue.preset"),
                       "# blue dots through a transparent mask\n"
                       "DotColor=#0000FF\n"
                       "MaskMode=3\n"
                       "MaskLayer=clear.png\n");
    // The preset's mask would hide every dot; --set switches masking off
    // again and makes the dots green.
    const Outcome o =
        RunTool(dir, {"render", "in.png", "out.png", "--plugin", STIPPLEX_PLUGIN_PATH, "--preset",
                      "looks/blue.preset", "--set", "MaskMode=2", "--set", "DotColor=0,255,0"});
    ASSERT_EQ(o.status, 0) << o.err;
    const Image out = ReadImage(dir.Path("out.png"));
    const Argb8 &centre = At(out.Pixels8(), out, 16, 12);
    EXPECT_EQ(centre.r, 0);
    EXPECT_EQ(centre.g, 255);
    EXPECT_EQ(centre.b, 0);

    // The mask image is found beside the preset, not in the working folder.
    ::unlink(dir.Path("looks/clear.png").c_str());
    const Outcome missing = RunTool(dir, {"render", "in.png", "out2.png", "--plugin",
                                          STIPPLEX_PLUGIN_PATH, "--preset", "looks/blue.preset"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("looks/clear.png"), std::string::npos) << missing.err;
}

TEST(EndToEnd, LayerParameterTakesAnImageFile)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"));
    // A mask layer that is transparent everywhere: in layer mask mode no dot
    // survives it, so the output is the cleared background.
    WriteImage(dir.Path("mask.png"), Image(32, 24, Depth::k8));
    const Outcome o =
        RunTool(dir, {"render", "in.png", "out.png", "--plugin", STIPPLEX_PLUGIN_PATH, "--set",
                      "ClearBackground=1", "--set", "MaskMode=3", "--set", "MaskLayer=mask.png"});
    ASSERT_EQ(o.status, 0) << o.err;
    const Image out = ReadImage(dir.Path("out.png"));
    EXPECT_EQ(At(out.Pixels8(), out, 16, 12).a, 0);
}

TEST(EndToEnd, UsageErrorsExitTwoAndFailuresOne)
{
    REQUIRE_BUILT();
    TestDir dir;
    const Outcome usage = RunTool(dir, {"render", "a.png"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err.rfind("stipplex: error: ", 0), 0u) << usage.err;
    const Outcome failure =
        RunTool(dir, {"render", "missing.png", "out.png", "--plugin", STIPPLEX_PLUGIN_PATH});
    EXPECT_EQ(failure.status, 1);
    EXPECT_NE(failure.err.find("missing.png"), std::string::npos) << failure.err;
    EXPECT_TRUE(dir.Entries().empty());
}

}  // namespace

namespace {

double DotSizeDefault(const std::string &paramsJson)
{
    // The "DotSize" entry's default, read without a JSON library.
    const std::size_t at = paramsJson.find("\"identifier\": \"DotSize\"");
    const std::size_t def = paramsJson.find("\"default\":", at);
    return std::stod(paramsJson.substr(def + 10));
}

TEST(EndToEnd, StoredDefaultsAreOfferedByTheNextSetUpUntilReset)
{
    REQUIRE_BUILT();
    TestDir dir;
    const std::string plugin = STIPPLEX_PLUGIN_PATH;
    Outcome o = RunTool(dir, {"defaults", "save", "--set", "DotSize=33", "--plugin", plugin});
    ASSERT_EQ(o.status, 0) << o.err;
    const std::string ini = clitest::ReadFile(dir.Path("config/Tavro/Panelry/Stipplex.ini"));
    EXPECT_EQ(ini.rfind("[Version=1.5]", 0), 0u) << ini;
    // "点的大小" (dot size) in GBK is the key.
    EXPECT_NE(ini.find("\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1=33.000000"), std::string::npos) << ini;

    o = RunTool(dir, {"params", "--json", "--plugin", plugin});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(DotSizeDefault(o.out), 33.0);

    o = RunTool(dir, {"defaults", "reset", "--plugin", plugin});
    ASSERT_EQ(o.status, 0) << o.err;
    // The file and the folders it leaves empty are gone.
    EXPECT_FALSE(std::filesystem::exists(dir.Path("config/Tavro")));
    EXPECT_TRUE(std::filesystem::exists(dir.Path("config")));
    o = RunTool(dir, {"params", "--json", "--plugin", plugin});
    EXPECT_EQ(DotSizeDefault(o.out), 10.0);
}

}  // namespace
