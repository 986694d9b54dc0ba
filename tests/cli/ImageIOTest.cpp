#include "cli/ImageIO.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfOutputFile.h>
#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <vector>

#include "TestDir.h"
#include "cli/Errors.h"

namespace {

using namespace cli;
using clitest::TestDir;

// Writes a PNG of any colour type from raw sample rows, the way another
// program would have made it.
void WriteRawPng(const std::string &path, int width, int height, int colourType, int bits,
                 const std::vector<unsigned char> &samples,
                 const std::vector<png_color> &palette = {},
                 const std::vector<unsigned char> &paletteAlpha = {})
{
    std::FILE *f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        std::fclose(f);
        FAIL() << "libpng failed writing the test image";
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, width, height, bits, colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) {
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    }
    if (!paletteAlpha.empty()) {
        png_set_tRNS(png, info, paletteAlpha.data(), static_cast<int>(paletteAlpha.size()),
                     nullptr);
    }
    png_write_info(png, info);
    const std::size_t rowBytes = samples.size() / static_cast<std::size_t>(height);
    for (int y = 0; y < height; ++y) {
        png_write_row(png, samples.data() + rowBytes * static_cast<std::size_t>(y));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

template <typename T>
bool SamePixels(const Argb<T> *a, const Argb<T> *b, std::size_t n)
{
    for (std::size_t i = 0; i < n; ++i) {
        if (a[i].a != b[i].a || a[i].r != b[i].r || a[i].g != b[i].g || a[i].b != b[i].b) {
            return false;
        }
    }
    return true;
}

Image Random8(int w, int h, unsigned seed)
{
    Image image(w, h, Depth::k8);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(0, 255);
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        auto c = [&] { return static_cast<std::uint8_t>(d(rng)); };
        image.Pixels8()[i] = Argb8{c(), c(), c(), c()};
    }
    return image;
}

Image Random16(int w, int h, unsigned seed)
{
    Image image(w, h, Depth::k16);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> d(0, 32768);
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        auto c = [&] { return static_cast<std::uint16_t>(d(rng)); };
        image.Pixels16()[i] = Argb16{c(), c(), c(), c()};
    }
    // The extremes, so that full scale is always covered.
    image.Pixels16()[0] = Argb16{32768, 0, 32768, 1};
    return image;
}

TEST(ImageIO, Png8RoundTripAtDepth8IsExact)
{
    TestDir dir;
    const Image in = Random8(7, 5, 1);
    WriteImage(dir.Path("a.png"), in);
    EXPECT_EQ(FileDepth(dir.Path("a.png")), Depth::k8);
    const Image out = ReadImage(dir.Path("a.png"));
    ASSERT_EQ(out.GetDepth(), Depth::k8);
    ASSERT_EQ(out.Width(), 7);
    ASSERT_EQ(out.Height(), 5);
    EXPECT_TRUE(SamePixels(in.Pixels8(), out.Pixels8(), in.PixelCount()));
}

TEST(ImageIO, Png16RoundTripAtDepth16IsExact)
{
    TestDir dir;
    const Image in = Random16(13, 3, 2);
    WriteImage(dir.Path("a.PNG"), in);
    EXPECT_EQ(FileDepth(dir.Path("a.PNG")), Depth::k16);
    const Image out = ReadImage(dir.Path("a.PNG"));
    ASSERT_EQ(out.GetDepth(), Depth::k16);
    ASSERT_EQ(out.Width(), 13);
    ASSERT_EQ(out.Height(), 3);
    EXPECT_TRUE(SamePixels(in.Pixels16(), out.Pixels16(), in.PixelCount()));
}

TEST(ImageIO, FloatImageGoesTo16BitPngByDefault)
{
    TestDir dir;
    Image in(3, 9, Depth::k32);
    // Values on the 16-bit grid come back exactly: round(k/65535 * 65535) = k.
    for (std::size_t i = 0; i < in.PixelCount(); ++i) {
        const auto k = static_cast<float>(i * 2011 % 65536);
        in.PixelsF()[i] = ArgbF{1.0f, k / 65535.0f, 0.0f, (65535.0f - k) / 65535.0f};
    }
    WriteImage(dir.Path("f.png"), in);
    EXPECT_EQ(FileDepth(dir.Path("f.png")), Depth::k16);
    const Image out = ReadImage(dir.Path("f.png"), Depth::k32);
    ASSERT_EQ(out.GetDepth(), Depth::k32);
    EXPECT_TRUE(SamePixels(in.PixelsF(), out.PixelsF(), in.PixelCount()));
}

TEST(ImageIO, PngDepthOptionChoosesTheFileDepth)
{
    TestDir dir;
    Image in(1, 1, Depth::k16);
    in.Pixels16()[0] = Argb16{32768, 16384, 0, 32768};
    WriteOptions options;
    options.pngBits = 8;
    WriteImage(dir.Path("e.png"), in, options);
    EXPECT_EQ(FileDepth(dir.Path("e.png")), Depth::k8);
    const Image out = ReadImage(dir.Path("e.png"));
    // 16384 -> (16384*255 + 16384) / 32768 = 128 in the file.
    EXPECT_EQ(out.Pixels8()[0].a, 255);
    EXPECT_EQ(out.Pixels8()[0].r, 128);
    EXPECT_EQ(out.Pixels8()[0].g, 0);
    EXPECT_EQ(out.Pixels8()[0].b, 255);
}

TEST(ImageIO, EightBitPngReadIntoSixteenBitWorldUsesThe32768Scale)
{
    TestDir dir;
    Image in(2, 1, Depth::k8);
    in.Pixels8()[0] = Argb8{255, 128, 0, 1};
    in.Pixels8()[1] = Argb8{0, 255, 255, 255};
    WriteImage(dir.Path("b.png"), in);
    const Image out = ReadImage(dir.Path("b.png"), Depth::k16);
    ASSERT_EQ(out.GetDepth(), Depth::k16);
    EXPECT_EQ(out.Pixels16()[0].a, 32768);
    EXPECT_EQ(out.Pixels16()[0].r, 16448);
    EXPECT_EQ(out.Pixels16()[0].g, 0);
    EXPECT_EQ(out.Pixels16()[0].b, 129);
    EXPECT_EQ(out.Pixels16()[1].a, 0);
    EXPECT_EQ(out.Pixels16()[1].r, 32768);
}

TEST(ImageIO, RgbPngIsOpaque)
{
    TestDir dir;
    WriteRawPng(dir.Path("rgb.png"), 2, 1, PNG_COLOR_TYPE_RGB, 8, {10, 20, 30, 40, 50, 60});
    const Image out = ReadImage(dir.Path("rgb.png"));
    ASSERT_EQ(out.GetDepth(), Depth::k8);
    EXPECT_EQ(out.Pixels8()[0].a, 255);
    EXPECT_EQ(out.Pixels8()[0].r, 10);
    EXPECT_EQ(out.Pixels8()[0].g, 20);
    EXPECT_EQ(out.Pixels8()[0].b, 30);
    EXPECT_EQ(out.Pixels8()[1].a, 255);
    EXPECT_EQ(out.Pixels8()[1].b, 60);
}

TEST(ImageIO, Rgb16PngIsOpaqueAtFullScale)
{
    TestDir dir;
    // Big-endian samples: red 65535, green 0x8000, blue 0.
    WriteRawPng(dir.Path("rgb16.png"), 1, 1, PNG_COLOR_TYPE_RGB, 16,
                {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00});
    const Image out = ReadImage(dir.Path("rgb16.png"));
    ASSERT_EQ(out.GetDepth(), Depth::k16);
    EXPECT_EQ(out.Pixels16()[0].a, 32768);
    EXPECT_EQ(out.Pixels16()[0].r, 32768);
    EXPECT_EQ(out.Pixels16()[0].g, 16384);
    EXPECT_EQ(out.Pixels16()[0].b, 0);
}

TEST(ImageIO, GreyAndGreyAlphaPngsSpreadToAllChannels)
{
    TestDir dir;
    WriteRawPng(dir.Path("g.png"), 3, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 77, 255});
    WriteRawPng(dir.Path("ga.png"), 1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {90, 40});
    const Image g = ReadImage(dir.Path("g.png"));
    EXPECT_EQ(g.Pixels8()[1].r, 77);
    EXPECT_EQ(g.Pixels8()[1].g, 77);
    EXPECT_EQ(g.Pixels8()[1].b, 77);
    EXPECT_EQ(g.Pixels8()[1].a, 255);
    const Image ga = ReadImage(dir.Path("ga.png"));
    EXPECT_EQ(ga.Pixels8()[0].r, 90);
    EXPECT_EQ(ga.Pixels8()[0].b, 90);
    EXPECT_EQ(ga.Pixels8()[0].a, 40);
}

TEST(ImageIO, OneBitGreyPngExpandsTo0And255)
{
    TestDir dir;
    // Four pixels in one byte: 1, 0, 1, 1 then padding.
    WriteRawPng(dir.Path("bw.png"), 4, 1, PNG_COLOR_TYPE_GRAY, 1, {0xB0});
    const Image out = ReadImage(dir.Path("bw.png"));
    ASSERT_EQ(out.Width(), 4);
    EXPECT_EQ(out.Pixels8()[0].r, 255);
    EXPECT_EQ(out.Pixels8()[1].r, 0);
    EXPECT_EQ(out.Pixels8()[2].g, 255);
    EXPECT_EQ(out.Pixels8()[3].a, 255);
}

TEST(ImageIO, PalettePngIsExpandedWithItsTransparency)
{
    TestDir dir;
    const std::vector<png_color> palette = {{200, 10, 20}, {0, 100, 250}};
    WriteRawPng(dir.Path("p.png"), 2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, palette, {255, 60});
    const Image out = ReadImage(dir.Path("p.png"));
    ASSERT_EQ(out.GetDepth(), Depth::k8);
    EXPECT_EQ(out.Pixels8()[0].r, 0);
    EXPECT_EQ(out.Pixels8()[0].g, 100);
    EXPECT_EQ(out.Pixels8()[0].b, 250);
    EXPECT_EQ(out.Pixels8()[0].a, 60);
    EXPECT_EQ(out.Pixels8()[1].r, 200);
    EXPECT_EQ(out.Pixels8()[1].a, 255);
}

TEST(ImageIO, ExrFloatRoundTripAtDepth32IsExact)
{
    TestDir dir;
    Image in(5, 7, Depth::k32);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> d(-0.5f, 2.0f);
    for (std::size_t i = 0; i < in.PixelCount(); ++i) {
        in.PixelsF()[i] = ArgbF{d(rng), d(rng), d(rng), d(rng)};
    }
    WriteImage(dir.Path("a.exr"), in);
    EXPECT_EQ(FileDepth(dir.Path("a.exr")), Depth::k32);
    const Image out = ReadImage(dir.Path("a.exr"));
    ASSERT_EQ(out.GetDepth(), Depth::k32);
    ASSERT_EQ(out.Width(), 5);
    ASSERT_EQ(out.Height(), 7);
    EXPECT_TRUE(SamePixels(in.PixelsF(), out.PixelsF(), in.PixelCount()));
}

TEST(ImageIO, ExrHalfRoundTripAtDepth8IsExact)
{
    TestDir dir;
    const Image in = Random8(9, 1, 4);
    WriteImage(dir.Path("a.exr"), in);
    const Image out = ReadImage(dir.Path("a.exr"), Depth::k8);
    EXPECT_TRUE(SamePixels(in.Pixels8(), out.Pixels8(), in.PixelCount()));
}

TEST(ImageIO, ExrHalfRoundTripAtDepth16KeepsHalfPrecision)
{
    TestDir dir;
    const Image in = Random16(3, 11, 5);
    WriteImage(dir.Path("a.exr"), in);
    const Image out = ReadImage(dir.Path("a.exr"), Depth::k16);
    ASSERT_EQ(out.GetDepth(), Depth::k16);
    // Half keeps 11 significant bits: below 1.0 the step is at most 2^-11,
    // half of which is 8 in 16-bit units.
    for (std::size_t i = 0; i < in.PixelCount(); ++i) {
        EXPECT_NEAR(out.Pixels16()[i].r, in.Pixels16()[i].r, 8) << i;
        EXPECT_NEAR(out.Pixels16()[i].a, in.Pixels16()[i].a, 8) << i;
    }
    EXPECT_EQ(out.Pixels16()[0].a, 32768);  // 1.0 is exact in half
    EXPECT_EQ(out.Pixels16()[0].r, 0);
}

TEST(ImageIO, ExrFloatOptionKeepsSixteenBitValuesExactly)
{
    TestDir dir;
    const Image in = Random16(4, 4, 6);
    WriteOptions options;
    options.exrType = ExrType::kFloat;
    WriteImage(dir.Path("a.exr"), in, options);
    const Image out = ReadImage(dir.Path("a.exr"), Depth::k16);
    EXPECT_TRUE(SamePixels(in.Pixels16(), out.Pixels16(), in.PixelCount()));
}

void WriteExrChannels(const std::string &path, const std::vector<std::string> &names, float value)
{
    Imf::Header header(2, 2);
    for (const std::string &n : names) {
        header.channels().insert(n, Imf::Channel(Imf::FLOAT));
    }
    std::vector<float> data(4, value);
    Imf::FrameBuffer frame;
    for (const std::string &n : names) {
        frame.insert(n, Imf::Slice(Imf::FLOAT, reinterpret_cast<char *>(data.data()), sizeof(float),
                                   2 * sizeof(float)));
    }
    Imf::OutputFile out(path.c_str(), header);
    out.setFrameBuffer(frame);
    out.writePixels(2);
}

TEST(ImageIO, ExrWithoutAlphaIsOpaque)
{
    TestDir dir;
    WriteExrChannels(dir.Path("rgb.exr"), {"R", "G", "B"}, 0.25f);
    const Image out = ReadImage(dir.Path("rgb.exr"));
    ASSERT_EQ(out.GetDepth(), Depth::k32);
    EXPECT_EQ(out.PixelsF()[3].a, 1.0f);
    EXPECT_EQ(out.PixelsF()[3].r, 0.25f);
    EXPECT_EQ(out.PixelsF()[3].b, 0.25f);
}

TEST(ImageIO, ExrWithOnlyLuminanceIsGrey)
{
    TestDir dir;
    WriteExrChannels(dir.Path("y.exr"), {"Y"}, 0.5f);
    const Image out = ReadImage(dir.Path("y.exr"), Depth::k8);
    EXPECT_EQ(out.Pixels8()[0].r, 128);
    EXPECT_EQ(out.Pixels8()[0].g, 128);
    EXPECT_EQ(out.Pixels8()[0].b, 128);
    EXPECT_EQ(out.Pixels8()[0].a, 255);
}

TEST(ImageIO, ExrWithoutColourChannelsIsRefused)
{
    TestDir dir;
    WriteExrChannels(dir.Path("z.exr"), {"Z"}, 0.5f);
    try {
        ReadImage(dir.Path("z.exr"));
        FAIL() << "expected a failure";
    } catch (const Failure &e) {
        EXPECT_NE(std::string(e.what()).find("z.exr"), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("no R, G, B or Y channel"), std::string::npos)
            << e.what();
    }
}

// The message of the Failure that `f` throws, or "" when it throws none.
template <typename F>
std::string FailureOf(F f)
{
    try {
        f();
    } catch (const Failure &e) {
        return e.what();
    }
    return "";
}

TEST(ImageIO, MissingFileNamesTheFileAndTheReason)
{
    TestDir dir;
    const std::string path = dir.Path("nothing.png");
    const std::string message = FailureOf([&] { ReadImage(path); });
    EXPECT_NE(message.find(path), std::string::npos) << message;
    EXPECT_NE(message.find("No such file"), std::string::npos) << message;
}

TEST(ImageIO, TruncatedPngIsABrokenFile)
{
    TestDir dir;
    WriteImage(dir.Path("whole.png"), Random8(40, 40, 7));
    const std::string whole = clitest::ReadFile(dir.Path("whole.png"));
    clitest::WriteFile(dir.Path("cut.png"), whole.substr(0, whole.size() / 2));
    const std::string message = FailureOf([&] { ReadImage(dir.Path("cut.png")); });
    EXPECT_NE(message.find("cut.png"), std::string::npos) << message;
    EXPECT_NE(message.find("broken PNG"), std::string::npos) << message;
}

TEST(ImageIO, TruncatedExrIsABrokenFile)
{
    TestDir dir;
    Image in(30, 30, Depth::k32);
    WriteImage(dir.Path("whole.exr"), in);
    const std::string whole = clitest::ReadFile(dir.Path("whole.exr"));
    clitest::WriteFile(dir.Path("cut.exr"), whole.substr(0, 40));
    const std::string message = FailureOf([&] { ReadImage(dir.Path("cut.exr")); });
    EXPECT_NE(message.find("cut.exr"), std::string::npos) << message;
    EXPECT_NE(message.find("broken OpenEXR"), std::string::npos) << message;
}

TEST(ImageIO, OtherFormatsAreUnsupported)
{
    TestDir dir;
    clitest::WriteFile(dir.Path("pic.png"), "GIF89a not really");
    const std::string message = FailureOf([&] { ReadImage(dir.Path("pic.png")); });
    EXPECT_NE(message.find("pic.png"), std::string::npos) << message;
    EXPECT_NE(message.find("unsupported image format"), std::string::npos) << message;

    clitest::WriteFile(dir.Path("empty.png"), "");
    EXPECT_NE(FailureOf([&] { ReadImage(dir.Path("empty.png")); }).find("empty"),
              std::string::npos);
}

TEST(ImageIO, OutputFormatFollowsTheExtension)
{
    EXPECT_EQ(FormatForExtension("a/b.c/out.png"), ImageFormat::kPng);
    EXPECT_EQ(FormatForExtension("OUT.EXR"), ImageFormat::kExr);
    EXPECT_FALSE(FormatForExtension("out.jpg").has_value());
    EXPECT_FALSE(FormatForExtension("dir.png/out").has_value());
}

TEST(ImageIO, UnsupportedOutputExtensionWritesNothing)
{
    TestDir dir;
    const std::string message =
        FailureOf([&] { WriteImage(dir.Path("out.tif"), Random8(2, 2, 8)); });
    EXPECT_NE(message.find("out.tif"), std::string::npos) << message;
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(ImageIO, FailedWriteLeavesTheOldFileIntactAndNoTemporaryFile)
{
    TestDir dir;
    const std::string path = dir.Path("keep.png");
    WriteImage(path, Random8(3, 3, 9));
    const std::string before = clitest::ReadFile(path);

    WriteOptions bad;
    bad.pngBits = 12;  // refused after the temporary file exists
    EXPECT_NE(FailureOf([&] { WriteImage(path, Random8(5, 5, 10), bad); }), "");
    EXPECT_NE(FailureOf([&] { WriteImage(path, Image()); }), "");
    EXPECT_NE(FailureOf([&] { WriteImage(dir.Path("keep.exr"), Image(0, 4, Depth::k32)); }), "");

    EXPECT_EQ(clitest::ReadFile(path), before);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.png"});
}

TEST(ImageIO, WriteIntoMissingFolderFailsNamingTheFile)
{
    TestDir dir;
    const std::string path = dir.Path("no/such/folder/out.png");
    const std::string message = FailureOf([&] { WriteImage(path, Random8(1, 1, 11)); });
    EXPECT_NE(message.find(path), std::string::npos) << message;
}

TEST(ImageIO, ReplacingAFileKeepsItsPermissions)
{
    TestDir dir;
    const std::string path = dir.Path("mode.png");
    WriteImage(path, Random8(1, 1, 12));
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    WriteImage(path, Random8(2, 1, 13));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(ReadImage(path).Width(), 2);
}

}  // namespace
