// The built `stipplex` program against the built plug-in, as a user runs it.
#include <gtest/gtest.h>
#include <half.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "TestDir.h"
#include "cli/DepthConvert.h"
#include "cli/ImageIO.h"

namespace {

using namespace cli;
using clitest::Argb4;
using clitest::ArgbAt;
using clitest::Outcome;
using clitest::RunTool;
using clitest::TestDir;

// A render with the built plug-in named.
Outcome Render(const TestDir &dir, std::vector<std::string> args)
{
    args.insert(args.begin(), "render");
    args.insert(args.end(), {"--plugin", STIPPLEX_PLUGIN_PATH});
    return RunTool(dir, args);
}

// An opaque input of one grey, 32 x 24: the grid centre is (16, 12).
void WriteGrey(const std::string &path, int width = 32, int height = 24, std::uint8_t grey = 100)
{
    Image image(width, height, Depth::k8);
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        image.Pixels8()[i] = Argb8{255, grey, grey, grey};
    }
    WriteImage(path, image);
}

TEST(EndToEnd, AboutShowsNameVersionReleaseAndTheJapaneseNotice)
{
    REQUIRE_BUILT();
    TestDir dir;
    // No --plugin: the program finds the one the build made. The English
    // text has no notice line: only the name line is left.
    const Outcome en = RunTool(dir, {"about", "-L", "EN"});
    ASSERT_EQ(en.status, 0) << en.err;
    EXPECT_EQ(en.out, "Stipplex 1.5.5 Release\n");
    const Outcome jp = RunTool(dir, {"about", "-L", "jp"});
    ASSERT_EQ(jp.status, 0) << jp.err;
    const std::string head = "Stipplex 1.5.5 Release\n\n";
    ASSERT_EQ(jp.out.rfind(head, 0), 0u) << jp.out;
    EXPECT_GT(jp.out.size(), head.size() + 1) << "no notice line";
    EXPECT_EQ(jp.out.find('\r'), std::string::npos);
    EXPECT_EQ(jp.out.back(), '\n');
}

TEST(EndToEnd, RenderDrawsTheCentreDotInTheDefaultColourAtEachDepth)
{
    REQUIRE_BUILT();
    // Size 10 and gap 20: the only dot on the layer is the centre one, a
    // circle of radius 5 about (16, 12); pixel (26, 12), 10 away, is cleared.
    // At 16 bits the colour is trunc(c / 255 * 32768): 125 -> 16062, 20 -> 2570.
    struct Case {
        const char *depth, *output;
        Argb4 centre;
    };
    for (const Case &c : {Case{"8", "out.png", {255, 255, 125, 20}},
                          Case{"16", "out.png", {32768, 32768, 16062, 2570}},
                          Case{"32", "out.exr", {1, 1, 125.0f / 255.0f, 20.0f / 255.0f}}}) {
        SCOPED_TRACE(c.depth);
        TestDir dir;
        WriteGrey(dir.Path("in.png"));
        const Outcome o =
            Render(dir, {"in.png", c.output, "--depth", c.depth, "--set", "ClearBackground=1"});
        ASSERT_EQ(o.status, 0) << o.err;
        const Image out = ReadImage(dir.Path(c.output));
        EXPECT_EQ(DepthName(out.GetDepth()), c.depth);
        ASSERT_EQ(std::make_pair(out.Width(), out.Height()), std::make_pair(32, 24));
        EXPECT_EQ(ArgbAt(out, 16, 12), c.centre);
        EXPECT_EQ(std::get<0>(ArgbAt(out, 26, 12)), 0);
    }
}

TEST(EndToEnd, DownsampledRenderIsSizedAsTheEffectSizesIt)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"), 33, 24);
    const Outcome o = Render(dir, {"in.png", "out.png", "--downsample", "2"});
    ASSERT_EQ(o.status, 0) << o.err;
    const Image out = ReadImage(dir.Path("out.png"));
    // 33 / 2 + 0.5 = 17, 24 / 2 + 0.5 = 12.5 -> 12
    EXPECT_EQ(std::make_pair(out.Width(), out.Height()), std::make_pair(17, 12));
}

TEST(EndToEnd, FrameRangeWritesOneFilePerFrameFromOneImagePerFrame)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"));
    const Outcome o = Render(dir, {"in.png", "out.###.png", "--frames", "8-10", "-v"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(dir.Entries(),
              (std::vector<std::string>{"in.png", "out.008.png", "out.009.png", "out.010.png"}));
    EXPECT_NE(o.out.find("frame 9 -> out.009.png"), std::string::npos) << o.out;

    WriteGrey(dir.Path("in.1.png"));
    WriteGrey(dir.Path("in.2.png"), 32, 24, 0);
    const Outcome timed =
        Render(dir, {"in.#.png", "out.#.png", "--frames", "1-2", "--threads", "1", "--timings"});
    ASSERT_EQ(timed.status, 0) << timed.err;
    // A row per frame, their sum, and the frames per second; a column per
    // stage and their total.
    for (const char *row : {"read    decode    render    encode     write     total", "\n1 ",
                            "\n2 ", "\nsum ", "2 frames, 1 at once"}) {
        EXPECT_NE(timed.err.find(row), std::string::npos) << row << "\n" << timed.err;
    }
    // Away from the dot each output keeps its own input.
    EXPECT_EQ(std::get<1>(ArgbAt(ReadImage(dir.Path("out.1.png")), 26, 12)), 100);
    EXPECT_EQ(std::get<1>(ArgbAt(ReadImage(dir.Path("out.2.png")), 26, 12)), 0);
}

TEST(EndToEnd, FramesRenderedAtOnceMatchFramesRenderedOneByOne)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"), 64, 48);
    // A new arrangement every frame, so that a frame given to the wrong time
    // or a shared generator would show.
    for (const auto &[out, threads] : {std::pair{"a.#.png", "1"}, {"b.#.png", "3"}}) {
        const Outcome o = Render(
            dir, {"in.png", out, "--frames", "0-5", "--threads", threads, "--set",
                  "RandomInterval=1", "--set", "RandomSpacingX=0.4", "--set", "RandomHue=90"});
        ASSERT_EQ(o.status, 0) << o.err;
    }
    for (int f = 0; f <= 5; ++f) {
        const std::string n = std::to_string(f);
        EXPECT_EQ(clitest::ReadFile(dir.Path("a." + n + ".png")),
                  clitest::ReadFile(dir.Path("b." + n + ".png")))
            << "frame " << f;
    }
    EXPECT_NE(clitest::ReadFile(dir.Path("a.0.png")), clitest::ReadFile(dir.Path("a.1.png")));
}

TEST(EndToEnd, PresetLayerFilesAreFoundBesideItAndSetOverridesIt)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"));
    ASSERT_EQ(::mkdir(dir.Path("looks").c_str(), 0755), 0);
    WriteImage(dir.Path("looks/clear.png"), Image(32, 24, Depth::k8));
    clitest::WriteFile(dir.Path("looks/blue.preset"),
                       "# blue dots through a transparent mask\n"
                       "DotColor=#0000FF\nMaskMode=3\nMaskLayer=clear.png\n");
    // The mask hides every dot: the centre keeps the input's grey.
    ASSERT_EQ(Render(dir, {"in.png", "masked.png", "--preset", "looks/blue.preset"}).status, 0);
    EXPECT_EQ(ArgbAt(ReadImage(dir.Path("masked.png")), 16, 12), Argb4(255, 100, 100, 100));
    // --set switches masking off again and makes the dots green.
    const Outcome o = Render(dir, {"in.png", "out.png", "--preset", "looks/blue.preset", "--set",
                                   "MaskMode=2", "--set", "DotColor=0,255,0"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(ArgbAt(ReadImage(dir.Path("out.png")), 16, 12), Argb4(255, 0, 255, 0));
    // Without the mask image beside the preset the render fails naming it.
    ::unlink(dir.Path("looks/clear.png").c_str());
    const Outcome missing = Render(dir, {"in.png", "out2.png", "--preset", "looks/blue.preset"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("looks/clear.png"), std::string::npos) << missing.err;
}

TEST(EndToEnd, UsageErrorsExitTwoAndFailuresOneWritingNothing)
{
    REQUIRE_BUILT();
    TestDir dir;
    const Outcome usage = RunTool(dir, {"render", "a.png"});
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err.rfind("stipplex: error: ", 0), 0u) << usage.err;
    const Outcome failure = Render(dir, {"missing.png", "out.png"});
    EXPECT_EQ(failure.status, 1);
    EXPECT_NE(failure.err.find("missing.png"), std::string::npos) << failure.err;
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(EndToEnd, AnInputTooLargeForTheMemoryLimitIsRefusedBeforeItsPixelsAreAllocated)
{
    REQUIRE_BUILT();
    TestDir dir;
    // 40 x 30 pixels of data in an 8000 x 8000 display window: the layer is
    // the display window, 1 GiB at float.
    clitest::WriteExr(dir.Path("window.exr"), Imath::Box2i({0, 0}, {7999, 7999}),
                      Imath::Box2i({100, 100}, {139, 129}), {"R"},
                      std::vector<float>(40 * 30, 0.5f));
    const Outcome o = Render(dir, {"window.exr", "out.exr", "--memory-limit", "512M"});
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_EQ(o.err.rfind("stipplex: error: 'window.exr' is 8000 x 8000 pixels: rendering it at "
                          "32 bits needs about ",
                          0),
              0u)
        << o.err;
    EXPECT_NE(o.err.find(", more than the memory limit of 512 MiB"), std::string::npos) << o.err;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"window.exr"});
}

TEST(EndToEnd, ExrOutputIsTheStraightRenderTimesAlphaAndCompositesWithoutFringes)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"), 48, 40);
    // Anti-aliased dot edges on a cleared background: alpha between 0 and 1.
    const std::vector<std::string> look = {"--set", "ClearBackground=1", "--set", "DotSize=13",
                                           "--set", "DotColor=#FF8020"};
    for (const char *depth : {"32", "8"}) {
        SCOPED_TRACE(depth);
        auto render = [&](std::vector<std::string> args) {
            args.insert(args.end(), look.begin(), look.end());
            return Render(dir, args).status;
        };
        ASSERT_EQ(render({"in.png", "s.exr", "--depth", depth, "--exr-alpha", "straight"}), 0);
        ASSERT_EQ(render({"in.png", "p.exr", "--depth", depth}), 0);
        // The straight float world: the float file as it is, or the 8-bit
        // world the half file holds, in floats.
        std::vector<float> s = clitest::ReadExrPixels(dir.Path("s.exr"));
        if (depth[0] == '8') {
            const Image world = ReadImage(dir.Path("s.exr"), Depth::k8, ExrAlpha::kStraight);
            for (std::size_t i = 0; i < world.PixelCount(); ++i) {
                const Argb8 &w = world.Pixels8()[i];
                const std::uint8_t argb[4] = {w.r, w.g, w.b, w.a};
                for (std::size_t c = 0; c < 4; ++c) s[i * 4 + c] = FloatFromWorld8(argb[c]);
            }
        }
        const std::vector<float> p = clitest::ReadExrPixels(dir.Path("p.exr"));
        ASSERT_EQ(s.size(), p.size());
        int edges = 0;
        for (std::size_t i = 0; i < s.size(); i += 4) {
            const float a = s[i + 3];
            edges += a > 0 && a < 1;
            // Over black, the straight colour composites to colour times
            // alpha: what the premultiplied file holds. Half files are
            // multiplied in float, then rounded once.
            const auto stored = [&](float f) {
                return depth[0] == '8' ? static_cast<float>(half(f)) : f;
            };
            ASSERT_EQ(p[i + 3], stored(a));
            for (std::size_t c = 0; c < 3; ++c) {
                ASSERT_EQ(p[i + c], stored(s[i + c] * a)) << "pixel " << i / 4 << " channel " << c;
            }
        }
        EXPECT_GT(edges, 20);
        // Read back, the premultiplied file is the straight world again.
        EXPECT_EQ(ArgbAt(ReadImage(dir.Path("p.exr"), Depth::k8), 24, 20),
                  ArgbAt(ReadImage(dir.Path("s.exr"), Depth::k8, ExrAlpha::kStraight), 24, 20));
    }
}

TEST(EndToEnd, StoredDefaultsAreOfferedByTheNextSetUpUntilReset)
{
    REQUIRE_BUILT();
    TestDir dir;
    const std::string plugin = STIPPLEX_PLUGIN_PATH;
    auto dotSizeDefault = [&] {
        const Outcome o = RunTool(dir, {"params", "--json", "--plugin", plugin});
        EXPECT_EQ(o.status, 0) << o.err;
        return nlohmann::json::parse(o.out)[2]["default"].get<double>();
    };
    Outcome o = RunTool(dir, {"defaults", "save", "--set", "DotSize=33", "--plugin", plugin});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(std::filesystem::exists(dir.Path("config/Tavro/Panelry/Stipplex.ini")));
    EXPECT_EQ(dotSizeDefault(), 33.0);

    o = RunTool(dir, {"defaults", "reset", "--plugin", plugin});
    ASSERT_EQ(o.status, 0) << o.err;
    // The file and the folders it leaves empty are gone.
    EXPECT_FALSE(std::filesystem::exists(dir.Path("config/Tavro")));
    EXPECT_TRUE(std::filesystem::exists(dir.Path("config")));
    EXPECT_EQ(dotSizeDefault(), 10.0);
}

TEST(EndToEnd, DamagedStoredDefaultsAreIgnoredWithAWarningAndResetAlwaysWorks)
{
    REQUIRE_BUILT();
    TestDir dir;
    const std::string plugin = STIPPLEX_PLUGIN_PATH;
    const std::string folder = dir.Path("config/Tavro/Panelry");
    const std::string ini = folder + "/Stipplex.ini";
    std::filesystem::create_directories(folder);
    auto write = [&](const std::string &text) { std::ofstream(ini, std::ios::binary) << text; };
    auto params = [&](Outcome &o) {
        o = RunTool(dir, {"params", "--json", "--plugin", plugin});
        EXPECT_EQ(o.status, 0) << o.err;
        return nlohmann::json::parse(o.out.empty() ? "[]" : o.out);
    };
    // 点的形状 (DotShape) 99, 点的宽高比 (DotAspect) nan, 点的透明度
    // (DotOpacity) 1e308: ignored; 点的大小 (DotSize) 33 is sound and kept.
    write(
        "[Version=1.5]\r\n\xB5\xE3\xB5\xC4\xD0\xCE\xD7\xB4=99\r\n"
        "\xB5\xE3\xB5\xC4\xBF\xED\xB8\xDF\xB1\xC8=nan\r\n"
        "\xB5\xE3\xB5\xC4\xCD\xB8\xC3\xF7\xB6\xC8=1e308\r\n"
        "\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1=33\r\n");
    Outcome o;
    nlohmann::json j = params(o);
    ASSERT_GT(j.size(), 7u);
    EXPECT_EQ(j[0]["default"], 1);      // DotShape
    EXPECT_EQ(j[2]["default"], 33.0);   // DotSize
    EXPECT_EQ(j[3]["default"], 0.0);    // DotAspect
    EXPECT_EQ(j[6]["default"], 100.0);  // DotOpacity
    for (const char *part :
         {"Stipplex.ini: ignoring 点的形状=99: default choice 99 is outside 1..6; using the "
          "factory default 1 (",
          "ignoring 点的宽高比=nan: default nan is outside the valid range -100..100; using the "
          "factory default 0",
          "ignoring 点的透明度=1e308: default inf is outside the valid range 0..100"}) {
        EXPECT_NE(o.err.find(part), std::string::npos) << part << "\n" << o.err;
    }
    EXPECT_EQ(o.err.find("warning: host:"), std::string::npos) << o.err;
    WriteGrey(dir.Path("in.png"));
    o = Render(dir, {"in.png", "out.png"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.err.find("点的形状=99"), std::string::npos) << o.err;

    // A file that cannot be read within the bounds is ignored as a whole,
    // by the effect too (the stored 33 is no longer offered); storing over
    // it is refused, and reset removes it.
    const std::string longLine =
        "[Version=1.5]\n\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1=33\n;" + std::string(9000, 'x') + "\n";
    std::filesystem::remove(ini);
    ASSERT_EQ(::mkfifo(ini.c_str(), 0600), 0);
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind);
        if (kind == 1) write(std::string(1100000, ';'));
        if (kind == 2) write(longLine);
        j = params(o);
        EXPECT_EQ(j[2]["default"], 10.0);
        EXPECT_NE(o.err.find("ignoring the stored defaults in " + ini + ": "), std::string::npos)
            << o.err;
        o = RunTool(dir, {"defaults", "save", "--set", "DotSize=5", "--plugin", plugin});
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(o.err.find("cannot store the defaults: " + ini), std::string::npos) << o.err;
        o = RunTool(dir, {"defaults", "reset", "--plugin", plugin});
        EXPECT_EQ(o.status, 0) << o.err;
        EXPECT_FALSE(std::filesystem::exists(ini));
        std::filesystem::create_directories(folder);
    }
    // A folder under the name is not removed, and the answer says why.
    std::filesystem::create_directories(ini + "/keep");
    o = RunTool(dir, {"defaults", "reset", "--plugin", plugin});
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.err.find(ini + " is a folder"), std::string::npos) << o.err;
    EXPECT_TRUE(std::filesystem::exists(ini + "/keep"));
}

}  // namespace
