// The built `stipplex` program against the built plug-in, as a user runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <half.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "TestDir.h"
#include "cli/DepthConvert.h"
#include "cli/ImageIO.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

using namespace cli;
using clitest::Argb4;
using clitest::ArgbAt;
using clitest::Outcome;
using clitest::RunTool;
using clitest::TestDir;

// `stipplex` with the built plug-in named after `args`.
Outcome Tool(const TestDir &dir, std::vector<std::string> args)
{
    args.insert(args.end(), {"--plugin", STIPPLEX_PLUGIN_PATH});
    return RunTool(dir, args);
}

Outcome Render(const TestDir &dir, std::vector<std::string> args)
{
    args.insert(args.begin(), "render");
    return Tool(dir, args);
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
    EXPECT_EQ(RunTool(dir, {"about", "-L", "EN"}).out, "Stipplex 1.5.5 Release\n");
    const Outcome jp = RunTool(dir, {"about", "-L", "jp"});
    const std::string head = "Stipplex 1.5.5 Release\n\n";
    ASSERT_THAT(jp.out, StartsWith(head)) << jp.err;
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
    EXPECT_THAT(o.out, HasSubstr("frame 9 -> out.009.png"));

    WriteGrey(dir.Path("in.1.png"));
    WriteGrey(dir.Path("in.2.png"), 32, 24, 0);
    const Outcome timed =
        Render(dir, {"in.#.png", "out.#.png", "--frames", "1-2", "--threads", "1", "--timings"});
    ASSERT_EQ(timed.status, 0) << timed.err;
    // A row per frame, their sum, and the frames per second; a column per
    // stage and their total.
    for (const char *row : {"read    decode    render    encode     write     total", "\n1 ",
                            "\n2 ", "\nsum ", "2 frames, 1 at once"}) {
        EXPECT_THAT(timed.err, HasSubstr(row));
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
    EXPECT_THAT(missing.err, HasSubstr("looks/clear.png"));
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
    EXPECT_THAT(o.err, StartsWith("stipplex: error: 'window.exr' is 8000 x 8000 pixels: rendering "
                                  "it at 32 bits needs about "));
    EXPECT_THAT(o.err, HasSubstr(", more than the memory limit of 512 MiB"));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"window.exr"});
}

TEST(EndToEnd, ExrOutputIsTheStraightRenderTimesAlphaAndCompositesWithoutFringes)
{
    REQUIRE_BUILT();
    TestDir dir;
    WriteGrey(dir.Path("in.png"), 48, 40);
    for (const std::string depth : {"32", "8"}) {
        SCOPED_TRACE(depth);
        // Anti-aliased dot edges on a cleared background: alpha between 0
        // and 1; premultiplied unless asked otherwise.
        std::vector<std::string> args = {"in.png", "p.exr",     "--depth",
                                         depth,    "--set",     "ClearBackground=1",
                                         "--set",  "DotSize=13"};
        ASSERT_EQ(Render(dir, args).status, 0);
        args[1] = "s.exr";
        args.insert(args.end(), {"--exr-alpha", "straight"});
        ASSERT_EQ(Render(dir, args).status, 0);
        // The straight world, in floats; half files (at 8 bits) are
        // multiplied in float, then rounded once.
        const bool eight = depth == "8";
        const Image world =
            ReadImage(dir.Path("s.exr"), eight ? Depth::k8 : Depth::k32, ExrAlpha::kStraight);
        const auto f = [&](double v) {
            return eight ? FloatFromWorld8(static_cast<std::uint8_t>(v)) : static_cast<float>(v);
        };
        const auto stored = [&](float v) { return eight ? static_cast<float>(half(v)) : v; };
        const std::vector<float> p = clitest::ReadExrPixels(dir.Path("p.exr"));
        ASSERT_EQ(p.size(), world.PixelCount() * 4);
        int edges = 0;
        for (std::size_t i = 0; i < world.PixelCount(); ++i) {
            const auto [wa, wr, wg, wb] = ArgbAt(world, i);
            const float a = f(wa), straight[3] = {f(wr), f(wg), f(wb)};
            edges += a > 0 && a < 1;
            // Over black, the straight colour composites to colour times
            // alpha: what the premultiplied file holds.
            ASSERT_EQ(p[i * 4 + 3], stored(a)) << "pixel " << i;
            for (std::size_t c = 0; c < 3; ++c) {
                ASSERT_EQ(p[i * 4 + c], stored(straight[c] * a))
                    << "pixel " << i << " channel " << c;
            }
        }
        EXPECT_GT(edges, 20);
    }
}

// The defaults `stipplex params --json` offers; `o` gets its run.
nlohmann::json ParamsJson(const TestDir &dir, Outcome &o)
{
    o = Tool(dir, {"params", "--json"});
    EXPECT_EQ(o.status, 0) << o.err;
    return nlohmann::json::parse(o.out.empty() ? "[]" : o.out);
}

TEST(EndToEnd, StoredDefaultsAreOfferedByTheNextSetUpUntilReset)
{
    REQUIRE_BUILT();
    TestDir dir;
    // A bad value is refused before anything is stored.
    Outcome o = Tool(dir, {"defaults", "save", "--set", "DotSize=-1"});
    EXPECT_EQ(o.status, 2);
    EXPECT_THAT(o.err, HasSubstr("DotSize"));
    EXPECT_FALSE(std::filesystem::exists(dir.Path("config")));
    o = Tool(dir, {"defaults", "save", "--set", "DotSize=33"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(std::filesystem::exists(dir.Path("config/Tavro/Panelry/Stipplex.ini")));
    EXPECT_EQ(ParamsJson(dir, o)[2]["default"], 33.0);
    o = Tool(dir, {"defaults", "reset"});
    ASSERT_EQ(o.status, 0) << o.err;
    // The file and the folders it leaves empty are gone.
    EXPECT_FALSE(std::filesystem::exists(dir.Path("config/Tavro")));
    EXPECT_TRUE(std::filesystem::exists(dir.Path("config")));
    EXPECT_EQ(ParamsJson(dir, o)[2]["default"], 10.0);
}

TEST(EndToEnd, DamagedStoredDefaultsAreIgnoredWithAWarningAndResetAlwaysWorks)
{
    REQUIRE_BUILT();
    TestDir dir;
    const std::string folder = dir.Path("config/Tavro/Panelry");
    const std::string ini = folder + "/Stipplex.ini";
    std::filesystem::create_directories(folder);
    auto write = [&](const std::string &text) { std::ofstream(ini, std::ios::binary) << text; };
    // 点的形状 (DotShape) 99, 点的宽高比 (DotAspect) nan, 点的透明度
    // (DotOpacity) 1e308: ignored; 点的大小 (DotSize) 33 is sound and kept.
    write(
        "[Version=1.5]\r\n\xB5\xE3\xB5\xC4\xD0\xCE\xD7\xB4=99\r\n"
        "\xB5\xE3\xB5\xC4\xBF\xED\xB8\xDF\xB1\xC8=nan\r\n"
        "\xB5\xE3\xB5\xC4\xCD\xB8\xC3\xF7\xB6\xC8=1e308\r\n"
        "\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1=33\r\n");
    Outcome o;
    const nlohmann::json j = ParamsJson(dir, o);
    ASSERT_GT(j.size(), 7u);
    // DotShape, DotSize, DotAspect, DotOpacity
    EXPECT_EQ(std::make_tuple(j[0]["default"], j[2]["default"], j[3]["default"], j[6]["default"]),
              std::make_tuple(1, 33.0, 0.0, 100.0));
    for (const char *part :
         {"Stipplex.ini: ignoring 点的形状=99: default choice 99 is outside 1..6; using the "
          "factory default 1 (",
          "ignoring 点的宽高比=nan: default nan is outside the valid range -100..100; using the "
          "factory default 0",
          "ignoring 点的透明度=1e308: default inf is outside the valid range 0..100"}) {
        EXPECT_THAT(o.err, HasSubstr(part));
    }
    EXPECT_EQ(o.err.find("warning: host:"), std::string::npos) << o.err;
    WriteGrey(dir.Path("in.png"));
    o = Render(dir, {"in.png", "out.png"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_THAT(o.err, HasSubstr("点的形状=99"));

    // A file that cannot be read within the bounds (a pipe, too large, a
    // line too long) is ignored as a whole, by the effect too (the stored 33
    // is no longer offered); storing over it is refused, and reset removes it.
    std::filesystem::remove(ini);
    ASSERT_EQ(::mkfifo(ini.c_str(), 0600), 0);
    for (int kind = 0; kind < 3; ++kind) {
        SCOPED_TRACE(kind);
        if (kind == 1) write(std::string(1100000, ';'));
        if (kind == 2)
            write("[Version=1.5]\n\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1=33\n;" + std::string(9000, 'x') +
                  "\n");
        EXPECT_EQ(ParamsJson(dir, o)[2]["default"], 10.0);
        EXPECT_THAT(o.err, HasSubstr("ignoring the stored defaults in " + ini + ": "));
        o = Tool(dir, {"defaults", "save", "--set", "DotSize=5"});
        EXPECT_EQ(o.status, 1);
        EXPECT_THAT(o.err, HasSubstr("cannot store the defaults: " + ini));
        EXPECT_EQ(Tool(dir, {"defaults", "reset"}).status, 0);
        EXPECT_FALSE(std::filesystem::exists(ini));
        std::filesystem::create_directories(folder);
    }
    // A folder under the name is not removed, and the answer says why.
    std::filesystem::create_directories(ini + "/keep");
    o = Tool(dir, {"defaults", "reset"});
    EXPECT_EQ(o.status, 1);
    EXPECT_THAT(o.err, HasSubstr(ini + " is a folder"));
    EXPECT_TRUE(std::filesystem::exists(ini + "/keep"));
}

}  // namespace
