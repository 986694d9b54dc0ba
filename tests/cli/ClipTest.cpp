// Clips through the built `stipplex` program, with clips made and frames
// taken out of them by the `ffmpeg` command.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestDir.h"
#include "cli/ImageIO.h"

namespace {

using ::testing::HasSubstr;

using namespace cli;
using clitest::TestDir;

using clitest::Outcome;  // out: the standard output and error together

// Runs a shell command in `dir`, capturing its output.
Outcome Shell(const TestDir &dir, const std::string &command)
{
    const std::string log = dir.Path(".log");
    const std::string line = "cd '" + dir.Path("") + "' && XDG_CONFIG_HOME='" +
                             dir.Path(".config") + "' " + command + " >'" + log + "' 2>&1";
    const int raw = std::system(line.c_str());
    Outcome o{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 0, clitest::ReadFile(log), ""};
    ::unlink(log.c_str());
    return o;
}

Outcome Render(const TestDir &dir, const std::string &args)
{
    return Shell(dir, std::string("'") + STIPPLEX_CLI_PATH + "' render " + args + " --plugin '" +
                          STIPPLEX_PLUGIN_PATH + "'");
}

// A render that must succeed.
bool Rendered(const TestDir &dir, const std::string &args)
{
    const Outcome o = Render(dir, args);
    EXPECT_EQ(o.status, 0) << args << "\n" << o.out;
    return o.status == 0;
}

// A render that must end with `status`, its output naming `cause`; the output.
std::string ExpectRender(const TestDir &dir, const std::string &args, int status, const char *cause)
{
    const Outcome o = Render(dir, args);
    EXPECT_EQ(o.status, status) << args;
    EXPECT_THAT(o.out, HasSubstr(cause));
    return o.out;
}

// ffmpeg quietly; the test fails when it does.
void Ffmpeg(const TestDir &dir, const std::string &args)
{
    const Outcome o = Shell(dir, "ffmpeg -nostdin -v error -y " + args);
    ASSERT_EQ(o.status, 0) << "ffmpeg " << args << "\n" << o.out;
}

// One field of a stream, e.g. Probe(dir, "a.mkv", "v:0", "pix_fmt").
std::string Probe(const TestDir &dir, const std::string &file, const std::string &stream,
                  const std::string &field)
{
    return Shell(dir, "ffprobe -v error -count_frames -select_streams " + stream +
                          " -show_entries stream=" + field + " -of default=nw=1:nk=1 '" + file +
                          "' | tr -d '\\r\\n'")
        .out;
}

// Frame `n` of an image sequence `name`.#.png, its file and its pixels.
std::string FrameFile(const TestDir &dir, const std::string &name, int n)
{
    return clitest::ReadFile(dir.Path(name + "." + std::to_string(n) + ".png"));
}
Image Frame(const TestDir &dir, const std::string &name, int n)
{
    return ReadImage(dir.Path(name + "." + std::to_string(n) + ".png"));
}

// The largest difference of two images on the 8-bit scale.
double MaxDifference(const Image &a, const Image &b)
{
    const auto to8 = [](const Image &i) { return i.GetDepth() == Depth::k8 ? 1 : 255.0 / 32768; };
    return clitest::MaxDifference(a, b, to8(a), to8(b));
}

bool SamePixels(const Image &a, const Image &b)
{
    return a.Width() == b.Width() && a.Height() == b.Height() && a.GetDepth() == b.GetDepth() &&
           a.PixelCount() > 0 && MaxDifference(a, b) == 0;
}

#define REQUIRE_TOOLS()                                                                        \
    if (::access(STIPPLEX_CLI_PATH, X_OK) != 0 || ::access(STIPPLEX_PLUGIN_PATH, R_OK) != 0 || \
        std::system("ffmpeg -version >/dev/null 2>&1") != 0) {                                 \
        GTEST_SKIP() << "the stipplex program, the plug-in or ffmpeg is missing";              \
    }

// A new dot arrangement every frame, so that a frame taken for another shows.
const std::string kLook =
    " --set RandomInterval=1 --set RandomSpacingX=0.4 --set RandomHue=90 --set DotSize=6";

TEST(Clip, FramesKeepTheirCountOrderAndPixelsAndARangeSeeksToIt)
{
    REQUIRE_TOOLS();
    TestDir dir;
    // Lossless RGB with key frames every 8 and B-frames: decoding reorders,
    // and frame 10 needs the key frame 8.
    Ffmpeg(dir,
           "-f lavfi -i testsrc2=size=64x48:rate=24:duration=1 -c:v libx264rgb -qp 0 -g 8 -bf 2 "
           "src.mkv");
    Ffmpeg(dir, "-i src.mkv -start_number 0 in.%d.png");
    // Uncompressed, as the frames of the clip below must be written too.
    ASSERT_TRUE(
        Rendered(dir, "in.#.png ref.#.png --frames 0-23 --fps 24 --png-compression none" + kLook));

    ASSERT_TRUE(Rendered(dir, "src.mkv out.mkv" + kLook));
    EXPECT_EQ(Probe(dir, "out.mkv", "v:0", "nb_read_frames"), "24");
    EXPECT_EQ(Probe(dir, "out.mkv", "v:0", "r_frame_rate"), "24/1");
    Ffmpeg(dir, "-i out.mkv -pix_fmt rgba -start_number 0 out.%d.png");
    for (int f = 0; f < 24; ++f) {
        EXPECT_TRUE(SamePixels(Frame(dir, "out", f), Frame(dir, "ref", f))) << "frame " << f;
    }

    ASSERT_TRUE(Rendered(dir, "src.mkv part.#.png --frames 10-14 --png-compression none" + kLook));
    for (int f = 9; f <= 15; ++f) {
        // Nothing outside the range; inside it the frames of the whole clip.
        const bool wanted = f >= 10 && f <= 14;
        EXPECT_EQ(FrameFile(dir, "part", f), wanted ? FrameFile(dir, "ref", f) : "") << f;
    }

    // Matroska states a constant rate whatever the time stamps; with gaps in
    // them the frames are numbered one by one whether sought or not.
    Ffmpeg(dir,
           "-i src.mkv -vf \"select='lt(n\\,10)+not(mod(n\\,3))'\" -vsync vfr -c:v ffv1 "
           "gaps.mkv");
    ExpectRender(dir, "gaps.mkv gaps.#.png --frames 12-13" + kLook, 0, "variable frame rate");
    ASSERT_TRUE(Rendered(dir, "gaps.mkv all.#.png -q" + kLook));
    for (const int n : {12, 13}) {
        EXPECT_FALSE(FrameFile(dir, "gaps", n).empty()) << n;
        EXPECT_EQ(FrameFile(dir, "gaps", n), FrameFile(dir, "all", n)) << n;
    }
}

TEST(Clip, AlphaSurvivesEveryClipFormatAndTenBitsRenderAtSixteen)
{
    REQUIRE_TOOLS();
    TestDir dir;
    // Straight alpha rising from left to right.
    Ffmpeg(dir,
           "-f lavfi -i testsrc2=size=64x48:rate=24:duration=0.25 "
           "-vf \"format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='X*4'\" -start_number 0 "
           "in.%d.png");
    ASSERT_TRUE(Rendered(dir, "in.#.png ref.#.png --frames 0-5 --fps 24" + kLook));
    for (const char *clip : {"a.mkv", "a.mov", "a.webm", "a.gif"}) {
        ASSERT_TRUE(
            Rendered(dir, std::string("in.#.png ") + clip + " --frames 0-5 --fps 24" + kLook));
    }
    EXPECT_EQ(Probe(dir, "a.mov", "v:0", "profile"), "4444");
    EXPECT_EQ(Probe(dir, "a.mkv", "v:0", "pix_fmt"), "bgra");
    Ffmpeg(dir, "-i a.mkv -pix_fmt rgba -start_number 0 mkv.%d.png");
    Ffmpeg(dir, "-i a.mov -pix_fmt rgba -start_number 0 mov.%d.png");
    for (int f = 0; f < 6; ++f) {
        EXPECT_TRUE(SamePixels(Frame(dir, "mkv", f), Frame(dir, "ref", f))) << f;
        // ProRes is lossy in colour; alpha and colour stay close.
        EXPECT_LE(MaxDifference(Frame(dir, "mov", f), Frame(dir, "ref", f)), 6) << f;
    }

    // Read back: FFV1 gives the frames as they were; ProRes 4444 (10 bits)
    // renders at 16 bits.
    ASSERT_TRUE(Rendered(dir, "a.mkv again.#.png --set DotSize=6"));
    ASSERT_TRUE(Rendered(dir, "ref.#.png twice.#.png --frames 0-5 --set DotSize=6"));
    EXPECT_EQ(FrameFile(dir, "again", 3), FrameFile(dir, "twice", 3));
    // VP9 keeps alpha beside the picture; GIF keeps pixels of half alpha
    // and more, opaque, with a palette of their own colours.
    ASSERT_TRUE(Rendered(dir, "a.webm vp9.#.png --set DotSize=6"));
    Ffmpeg(dir, "-i a.gif -pix_fmt rgba -start_number 0 gif.%d.png");
    EXPECT_EQ(Probe(dir, "a.gif", "v:0", "nb_read_frames"), "6");
    const Image twice = Frame(dir, "twice", 3), vp9 = Frame(dir, "vp9", 3);
    const Image gif = Frame(dir, "gif", 3), ref3 = Frame(dir, "ref", 3);
    // VP9 is lossy, in alpha too: on average close. GIF alpha is on or off,
    // at half.
    double vp9Alpha = 0;
    int gifMisses = 0;
    for (std::size_t i = 0; i < twice.PixelCount(); ++i) {
        const double a = std::get<0>(clitest::ArgbAt(twice, i));
        vp9Alpha += std::abs(a - std::get<0>(clitest::ArgbAt(vp9, i))) / twice.PixelCount();
        const double r = std::get<0>(clitest::ArgbAt(ref3, i));
        if (std::abs(r - 127.5) > 16) {
            gifMisses += std::get<0>(clitest::ArgbAt(gif, i)) != (r > 128 ? 255 : 0);
        }
    }
    EXPECT_LE(vp9Alpha, 2);
    EXPECT_EQ(gifMisses, 0);

    ASSERT_TRUE(Rendered(dir, "a.mov deep.#.png --set DotSize=6"));
    const Image deep = Frame(dir, "deep", 3);
    EXPECT_EQ(deep.GetDepth(), Depth::k16);
    EXPECT_LE(MaxDifference(deep, twice), 8);
}

TEST(Clip, RandomIntervalCountsTheClipsFramesAtItsOwnRate)
{
    REQUIRE_TOOLS();
    TestDir dir;
    Ffmpeg(dir,
           "-f lavfi -i color=c=0x406080:size=64x48:rate=30000/1001:duration=0.3 -c:v ffv1 "
           "-pix_fmt bgr0 src.mkv");
    Ffmpeg(dir, "-i src.mkv -frames:v 1 still.png");
    const std::string look = " --set RandomInterval=3 --set RandomSpacingX=0.5 --set DotSize=6";
    ASSERT_TRUE(Rendered(dir, "src.mkv f.#.png --frames 0-6" + look));
    // A new arrangement at frames 3 and 6 of the clip, as a still gets at
    // those frames.
    const auto frame = [&](int n) { return FrameFile(dir, "f", n); };
    EXPECT_EQ(frame(0), frame(2));
    EXPECT_NE(frame(2), frame(3));
    EXPECT_EQ(frame(3), frame(5));
    EXPECT_NE(frame(5), frame(6));
    ASSERT_TRUE(Rendered(dir, "still.png s.png --frame 4" + look));
    EXPECT_EQ(clitest::ReadFile(dir.Path("s.png")), frame(4));
}

TEST(Clip, AudioIsCopiedUnlessDroppedAndOddSizesAreRefusedOrPadded)
{
    REQUIRE_TOOLS();
    TestDir dir;
    Ffmpeg(dir,
           "-f lavfi -i testsrc2=size=64x48:rate=25:duration=1 -f lavfi "
           "-i sine=frequency=440:duration=1 -c:v libx264 -pix_fmt yuv420p -c:a aac src.mp4");
    ASSERT_TRUE(Rendered(dir, "src.mp4 out.mp4 --set DotSize=6"));
    EXPECT_EQ(Probe(dir, "out.mp4", "v:0", "nb_read_frames"), "25");
    EXPECT_EQ(Probe(dir, "out.mp4", "a:0", "codec_name"), "aac");
    const double in = std::stod(Probe(dir, "src.mp4", "a:0", "duration"));
    const double out = std::stod(Probe(dir, "out.mp4", "a:0", "duration"));
    EXPECT_NEAR(out, in, 0.03);
    ASSERT_TRUE(Rendered(dir, "src.mp4 silent.mkv --no-audio"));
    EXPECT_EQ(Probe(dir, "silent.mkv", "a", "codec_name"), "");

    // 33 x 24 cannot be H.264 yuv420p: refused, nothing written, unless padded.
    Ffmpeg(dir,
           "-f lavfi -i \"color=c=red:size=34x24:rate=25:duration=0.2,format=rgb24,crop=33:24\" "
           "-c:v ffv1 -pix_fmt bgr0 odd.mkv");
    EXPECT_THAT(ExpectRender(dir, "odd.mkv odd.mp4", 1, "'odd.mp4'"), HasSubstr("--pad-even"));
    EXPECT_EQ(dir.Entries(),
              (std::vector<std::string>{"odd.mkv", "out.mp4", "silent.mkv", "src.mp4"}));
    ASSERT_TRUE(Rendered(dir, "odd.mkv odd.mp4 --pad-even"));
    EXPECT_EQ(Probe(dir, "odd.mp4", "v:0", "width"), "34");
}

TEST(Clip, FullRangeYuvKeepsItsLevelsInLimitedRangeProRes)
{
    REQUIRE_TOOLS();
    TestDir dir;
    Ffmpeg(dir,
           "-f lavfi -i testsrc2=size=64x48:rate=25:duration=0.2 -c:v libx264 -qp 0 "
           "-pix_fmt yuvj444p -color_range pc src.mp4");
    ASSERT_TRUE(Rendered(dir, "src.mp4 ref.#.png --frames 0-0 --set DotSize=6"));
    ASSERT_TRUE(Rendered(dir, "src.mp4 out.mov --set DotSize=6"));
    Ffmpeg(dir, "-i out.mov -frames:v 1 -pix_fmt rgba mov.png");
    EXPECT_LE(MaxDifference(ReadImage(dir.Path("mov.png")), ReadImage(dir.Path("ref.0.png"))), 6);
}

TEST(Clip, FloatFramesRenderAtThirtyTwoBitsAsTheSameImageWould)
{
    REQUIRE_TOOLS();
    TestDir dir;
    std::vector<float> pixels;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            pixels.insert(pixels.end(), {x / 16.0f, y / 12.0f, 0.123f + x * 0.001f, 1});
        }
    }
    clitest::WriteExr(dir.Path("hdr.exr"), 64, 48, {"R", "G", "B", "A"}, pixels);
    Ffmpeg(dir, "-loop 1 -i hdr.exr -t 0.2 -r 25 -c:v exr hdr.mov");
    const std::string look = " --exr-type float --set DotSize=6";
    ASSERT_TRUE(Rendered(dir, "hdr.exr ref.exr" + look));
    ASSERT_TRUE(Rendered(dir, "hdr.mov f.#.exr --frames 0-0" + look));
    EXPECT_EQ(clitest::ReadFile(dir.Path("f.0.exr")), clitest::ReadFile(dir.Path("ref.exr")));
}

TEST(Clip, AFailedRenderLeavesNoClipAndKeepsAnExistingOne)
{
    REQUIRE_TOOLS();
    TestDir dir;
    Ffmpeg(dir, "-f lavfi -i testsrc2=size=64x48:rate=25:duration=0.4 -c:v ffv1 src.mkv");
    clitest::WriteFile(dir.Path("out.mkv"), "an earlier render");
    clitest::WriteFile(dir.Path("junk.mov"), "not a clip at all");
    // Frame 4's layer is missing: the render fails after frames were encoded.
    Ffmpeg(dir, "-i src.mkv -frames:v 4 -start_number 0 map.%d.png");
    ExpectRender(dir,
                 "src.mkv out.mkv --threads 1 --set EnableEffector1=1 --set EffectMap1=1 "
                 "--set CustomMapLayer1=map.#.png",
                 1, "map.4.png");
    ExpectRender(dir, "junk.mov new.mkv", 1, "'junk.mov'");
    ExpectRender(dir, "src.mkv new.mkv --codec nosuchcodec", 1, "nosuchcodec");
    ExpectRender(dir, "src.mkv new.png --crf 20", 2, "");
    // A cut-off clip fails, in one line, instead of rendering the frames it still has.
    const std::string whole = clitest::ReadFile(dir.Path("src.mkv"));
    clitest::WriteFile(dir.Path("cut.mkv"), whole.substr(0, whole.size() * 3 / 4));
    const std::string cut =
        ExpectRender(dir, "cut.mkv new.mkv", 1, "'cut.mkv': File ended prematurely, after frame ");
    EXPECT_EQ(std::count(cut.begin(), cut.end(), '\n'), 1) << cut;
    // Damaged H.264 frames are concealed by the decoder: rendered, with a warning.
    // (One encoder thread: the same stream, so the same damage, on any machine.)
    Ffmpeg(dir,
           "-f lavfi -i testsrc2=size=320x240:rate=25 -frames:v 50 -c:v libx264 -threads 1 "
           "-g 50 -pix_fmt yuv420p h264.mp4");
    std::string h264 = clitest::ReadFile(dir.Path("h264.mp4"));
    const std::size_t media = h264.find("mdat");
    for (std::size_t k = 0; k < 40; ++k) h264[media + (h264.size() - media) / 3 + k * 97] ^= '\xff';
    clitest::WriteFile(dir.Path("damaged.mp4"), h264);
    ExpectRender(dir, "damaged.mp4 concealed.mkv", 0,
                 "'damaged.mp4' is damaged: the decoder concealed errors in ");
    // Refused before a frame is read: a frame beyond the memory limit, an
    // input the downsampling leaves without pixels.
    EXPECT_THAT(ExpectRender(dir, "src.mkv new.mkv --memory-limit 64K", 1,
                             "'src.mkv' is 64 x 48 pixels: rendering it at 8 bits needs about "),
                HasSubstr("more than the memory limit of 64 KiB"));
    ExpectRender(dir, "src.mkv new.mkv --downsample 97", 2, "at most 96");
    EXPECT_EQ(clitest::ReadFile(dir.Path("out.mkv")), "an earlier render");
    for (const std::string &name : dir.Entries()) {
        EXPECT_TRUE(name.find("tmp") == std::string::npos && name != "new.mkv") << name;
    }
}

TEST(Clip, FourShardsRenderedByGnuParallelEqualOneRun)
{
    REQUIRE_TOOLS();
    if (std::system("parallel --version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "GNU parallel is missing";
    }
    TestDir dir;
    Ffmpeg(dir, "-f lavfi -i testsrc2=size=48x32:rate=24:duration=2 -c:v ffv1 src.mkv");
    const std::string look = " --set RandomInterval=1 --set DotSize=5 -q";
    const Outcome shards = Shell(dir, std::string("parallel -j 2 '") + STIPPLEX_CLI_PATH +
                                          "' render src.mkv shard.##.png --shard {}/4 --plugin '" +
                                          STIPPLEX_PLUGIN_PATH + "'" + look + " ::: 1 2 3 4");
    ASSERT_EQ(shards.status, 0) << shards.out;
    ASSERT_TRUE(Rendered(dir, "src.mkv one.##.png" + look));
    for (int f = 0; f < 48; ++f) {
        const std::string n = (f < 10 ? "0" : "") + std::to_string(f);
        const std::string one = clitest::ReadFile(dir.Path("one." + n + ".png"));
        EXPECT_FALSE(one.empty()) << f;
        EXPECT_EQ(clitest::ReadFile(dir.Path("shard." + n + ".png")), one) << "frame " << f;
    }
    EXPECT_EQ(dir.Entries().size(), 1u + 2 * 48);
}

TEST(Clip, AStoppedRenderLeavesNothingAndTheOldClipAsItWas)
{
    REQUIRE_TOOLS();
    TestDir dir;
    // 6000 frames: far more than a quiet machine renders before the signal.
    Ffmpeg(dir, "-f lavfi -i testsrc2=size=160x120:rate=25:duration=240 -c:v ffv1 src.mkv");
    clitest::WriteFile(dir.Path("out.mov"), "an earlier render");
    // SIGTERM: a command started in the background by a script ignores SIGINT.
    const Outcome o =
        Shell(dir, std::string("'") + STIPPLEX_CLI_PATH +
                       "' render src.mkv out.mov --threads 1 -q --plugin '" + STIPPLEX_PLUGIN_PATH +
                       "' & sleep 1; kill -TERM $!; wait $!; echo status $?");
    EXPECT_THAT(o.out, HasSubstr("status 143"));
    EXPECT_TRUE(clitest::ReadFile(dir.Path("out.mov")) == "an earlier render");
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out.mov", "src.mkv"}));
}

}  // namespace
