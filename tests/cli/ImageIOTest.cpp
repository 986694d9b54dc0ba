#include "cli/ImageIO.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <half.h>
#include <png.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>

#include "TestDir.h"
#include "cli/Errors.h"

namespace {

using ::testing::HasSubstr;

using namespace cli;
using clitest::Argb4;
using clitest::ArgbAt;
using clitest::FailureOf;
using clitest::MaxDifference;
using clitest::RandomImage;
using clitest::TestDir;

// Writes a PNG of any colour type from raw sample rows, the way another
// program would have made it; with a colour key, pixels of that colour are
// transparent.
void WriteRawPng(const std::string &path, int width, int height, int colourType, int bits,
                 const std::vector<unsigned char> &samples,
                 const std::vector<png_color> &palette = {},
                 const std::vector<unsigned char> &paletteAlpha = {}, bool interlaced = false,
                 const png_color_16 *colourKey = nullptr)
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
    png_set_IHDR(png, info, width, height, bits, colourType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!palette.empty()) {
        png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
        png_set_tRNS(png, info, paletteAlpha.data(), static_cast<int>(paletteAlpha.size()),
                     nullptr);
    }
    if (colourKey != nullptr) {
        png_set_tRNS(png, info, nullptr, 0, colourKey);
    }
    png_write_info(png, info);
    const std::size_t rowBytes = samples.size() / static_cast<std::size_t>(height);
    for (int pass = png_set_interlace_handling(png); pass > 0; --pass) {
        for (int y = 0; y < height; ++y) {
            png_write_row(png, samples.data() + rowBytes * static_cast<std::size_t>(y));
        }
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

TEST(ImageIO, RoundTripsPerFormatAndDepth)
{
    struct Case {
        const char *file;
        Depth depth;
        std::optional<ExrType> exrType;
        Depth fileDepth;
        double tolerance;
    };
    // Half keeps 11 significant bits: below 1.0 the step is at most 2^-11,
    // half of which is 8 in 16-bit units; it holds every 8-bit value.
    const Case cases[] = {{"a.png", Depth::k8, {}, Depth::k8, 0},
                          {"a.PNG", Depth::k16, {}, Depth::k16, 0},
                          {"f.png", Depth::k32, {}, Depth::k16, 0},
                          {"a.exr", Depth::k32, {}, Depth::k32, 0},
                          {"h8.exr", Depth::k8, {}, Depth::k32, 0},
                          {"h16.exr", Depth::k16, {}, Depth::k32, 8},
                          {"f16.exr", Depth::k16, ExrType::kFloat, Depth::k32, 0}};
    TestDir dir;
    unsigned seed = 1;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        Image in = RandomImage(7, 5, c.depth, seed++);
        if (c.depth == Depth::k16) in.Pixels16()[0] = Argb16{32768, 0, 32768, 1};  // extremes
        // Straight OpenEXR keeps the world's channels as they are.
        WriteOptions options;
        options.exrType = c.exrType;
        options.exrAlpha = ExrAlpha::kStraight;
        WriteImage(dir.Path(c.file), in, options);
        EXPECT_EQ(FileDepth(dir.Path(c.file)), c.fileDepth);
        const Image out = ReadImage(dir.Path(c.file), c.depth, ExrAlpha::kStraight);
        ASSERT_EQ(out.GetDepth(), c.depth);
        ASSERT_EQ(std::make_pair(out.Width(), out.Height()), std::make_pair(7, 5));
        EXPECT_LE(MaxDifference(in, out), c.tolerance);
        EXPECT_EQ(ArgbAt(out, 0), ArgbAt(in, 0));
    }
}

TEST(ImageIO, CompressionChangesTheFileNotThePixels)
{
    TestDir dir;
    // Half a flat colour, half noise: every filter and level has work to do.
    auto picture = [](Depth depth) {
        Image image = RandomImage(64, 48, depth, 7);
        const Image flat = RandomImage(1, 1, depth, 8);
        for (std::size_t i = 0; i < image.PixelCount() / 2; ++i) {  // rows are packed
            std::memcpy(image.Row(0) + i * image.PixelBytes(), flat.Row(0), image.PixelBytes());
        }
        return image;
    };
    for (const Depth depth : {Depth::k8, Depth::k16}) {
        const Image in = picture(depth);
        std::map<PngCompression, std::size_t> sizes;
        for (const PngCompression how : {PngCompression::kNone, PngCompression::kFast,
                                         PngCompression::kSmall, PngCompression::kSmallest}) {
            const std::string name =
                std::string(PngCompressionName(how)) + DepthName(depth) + ".png";
            SCOPED_TRACE(name);
            ASSERT_EQ(ParsePngCompression(PngCompressionName(how)), how);
            WriteOptions options;
            options.pngCompression = how;
            WriteImage(dir.Path(name), in, options);
            EXPECT_EQ(MaxDifference(ReadImage(dir.Path(name)), in), 0);
            sizes[how] = clitest::ReadFile(dir.Path(name)).size();
        }
        EXPECT_GT(sizes[PngCompression::kNone], sizes[PngCompression::kFast]);
        EXPECT_GT(sizes[PngCompression::kFast], sizes[PngCompression::kSmallest]);
    }
    // OpenEXR: the lossless methods at half and float, pxr24 at half; the
    // lossy ones still make a file of the image's size.
    const Image in = picture(Depth::k32);
    for (const ExrType type : {ExrType::kHalf, ExrType::kFloat}) {
        // The pixels an uncompressed file of the type holds.
        WriteOptions options;
        options.exrType = type;
        options.exrCompression = ExrCompression::kNone;
        WriteImage(dir.Path("plain.exr"), in, options);
        const Image plain = ReadImage(dir.Path("plain.exr"));
        for (int i = 0; i <= static_cast<int>(ExrCompression::kDwab); ++i) {
            options.exrCompression = static_cast<ExrCompression>(i);
            const std::string name = ExrCompressionName(options.exrCompression);
            SCOPED_TRACE(name + (type == ExrType::kHalf ? " half" : " float"));
            ASSERT_EQ(ParseExrCompression(name), options.exrCompression);
            WriteImage(dir.Path("c.exr"), in, options);
            const Image out = ReadImage(dir.Path("c.exr"));
            ASSERT_EQ(std::make_pair(out.Width(), out.Height()), std::make_pair(64, 48));
            if (i <= static_cast<int>(ExrCompression::kPiz) ||
                (options.exrCompression == ExrCompression::kPxr24 && type == ExrType::kHalf)) {
                EXPECT_EQ(MaxDifference(out, plain), 0);  // lossless
            }
        }
    }
    EXPECT_EQ(ParsePngCompression("9"), std::nullopt);
    EXPECT_EQ(ParseExrCompression("ZIP"), std::nullopt);
}

TEST(ImageIO, DepthsConvertBetweenFileAndWorld)
{
    TestDir dir;
    // A 16-bit image written as an 8-bit PNG: 16384 -> (16384 * 255 + 16384) / 32768.
    Image in16(1, 1, Depth::k16);
    in16.Pixels16()[0] = Argb16{32768, 16384, 0, 32768};
    WriteOptions png8;
    png8.pngBits = 8;
    WriteImage(dir.Path("e.png"), in16, png8);
    EXPECT_EQ(FileDepth(dir.Path("e.png")), Depth::k8);
    EXPECT_EQ(ArgbAt(ReadImage(dir.Path("e.png")), 0), Argb4(255, 128, 0, 255));
    // An 8-bit PNG read into a 16-bit world: 128 -> 16448, 1 -> 129.
    Image in8(1, 1, Depth::k8);
    in8.Pixels8()[0] = Argb8{255, 128, 0, 1};
    WriteImage(dir.Path("b.png"), in8);
    EXPECT_EQ(ArgbAt(ReadImage(dir.Path("b.png"), Depth::k16), 0), Argb4(32768, 16448, 0, 129));
}

TEST(ImageIO, PngColourTypesExpandToOpaqueOrTransparentArgb)
{
    TestDir dir;
    WriteRawPng(dir.Path("rgb.png"), 2, 1, PNG_COLOR_TYPE_RGB, 8, {10, 20, 30, 40, 50, 60});
    // Big-endian samples: red 65535, green 0x8000, blue 0.
    WriteRawPng(dir.Path("rgb16.png"), 1, 1, PNG_COLOR_TYPE_RGB, 16, {255, 255, 128, 0, 0, 0});
    WriteRawPng(dir.Path("g.png"), 3, 1, PNG_COLOR_TYPE_GRAY, 8, {0, 77, 255});
    WriteRawPng(dir.Path("ga.png"), 1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {90, 40});
    // Four pixels in one byte: 1, 0, 1, 1, then padding.
    WriteRawPng(dir.Path("bw.png"), 4, 1, PNG_COLOR_TYPE_GRAY, 1, {0xB0});
    WriteRawPng(dir.Path("p.png"), 2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0},
                {{200, 10, 20}, {0, 100, 250}}, {255, 60});
    const png_color_16 key{0, 40, 50, 60, 0};
    WriteRawPng(dir.Path("key.png"), 2, 1, PNG_COLOR_TYPE_RGB, 8, {10, 20, 30, 40, 50, 60}, {}, {},
                false, &key);
    // Pixels 0, 4 and 8 of 3 x 3 come in three different passes.
    std::vector<unsigned char> grid;
    for (unsigned char i = 0; i < 9; ++i) {
        grid.insert(grid.end(), {static_cast<unsigned char>(10 * i), i, 7, 200});
    }
    WriteRawPng(dir.Path("i.png"), 3, 3, PNG_COLOR_TYPE_RGB_ALPHA, 8, grid, {}, {}, true);
    for (const auto &[file, pixel, want] :
         {std::tuple<const char *, std::size_t, Argb4>{"rgb.png", 0, {255, 10, 20, 30}},
          {"rgb.png", 1, {255, 40, 50, 60}},
          {"rgb16.png", 0, {32768, 32768, 16384, 0}},
          {"g.png", 1, {255, 77, 77, 77}},
          {"ga.png", 0, {40, 90, 90, 90}},
          {"bw.png", 0, {255, 255, 255, 255}},
          {"bw.png", 1, {255, 0, 0, 0}},
          {"bw.png", 3, {255, 255, 255, 255}},
          {"p.png", 0, {60, 0, 100, 250}},
          {"p.png", 1, {255, 200, 10, 20}},
          {"key.png", 0, {255, 10, 20, 30}},
          {"key.png", 1, {0, 40, 50, 60}},
          {"i.png", 0, {200, 0, 0, 7}},
          {"i.png", 4, {200, 40, 4, 7}},
          {"i.png", 8, {200, 80, 8, 7}}}) {
        EXPECT_EQ(ArgbAt(ReadImage(dir.Path(file)), pixel), want) << file << " " << pixel;
    }
}

TEST(ImageIO, ExrWithoutAlphaIsOpaqueLuminanceIsGreyAndNoColourIsRefused)
{
    TestDir dir;
    clitest::WriteExr(dir.Path("rgb.exr"), 2, 2, {"R", "G", "B"}, std::vector<float>(12, 0.25f));
    clitest::WriteExr(dir.Path("y.exr"), 2, 2, {"Y"}, std::vector<float>(4, 0.5f));
    clitest::WriteExr(dir.Path("z.exr"), 2, 2, {"Z"}, std::vector<float>(4, 0.5f));
    EXPECT_EQ(ArgbAt(ReadImage(dir.Path("rgb.exr")), 3), Argb4(1, 0.25, 0.25, 0.25));
    EXPECT_EQ(ArgbAt(ReadImage(dir.Path("y.exr"), Depth::k8), 0), Argb4(255, 128, 128, 128));
    EXPECT_EQ(FailureOf([&] { ReadImage(dir.Path("z.exr")); }),
              "cannot read '" + dir.Path("z.exr") + "': no R, G, B or Y channel");
}

TEST(ImageIO, ExrColourIsPremultipliedInTheFileAndStraightInTheWorld)
{
    TestDir dir;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // As another program writes them: R, G, B premultiplied, A.
    const std::vector<float> file = {0.3f, 0.2f, 0.1f, 0,    0.25f, 0.75f, 1.5f, 0.5f, 2, 0.5f,
                                     0,    1,    0.5f, 0.5f, 0.5f,  nan,   1,    1,    1, inf};
    clitest::WriteExr(dir.Path("in.exr"), 5, 1, {"R", "G", "B", "A"}, file);
    const Image straight = ReadImage(dir.Path("in.exr"));
    EXPECT_EQ(ArgbAt(straight, 0), Argb4(0, 0, 0, 0));  // alpha 0: no colour
    EXPECT_EQ(ArgbAt(straight, 1), Argb4(0.5, 0.5, 1.5, 3.0));
    EXPECT_EQ(ArgbAt(straight, 2), Argb4(1, 2, 0.5, 0));
    EXPECT_EQ(ArgbAt(straight, 3), Argb4(0, 0, 0, 0));  // NaN alpha: transparent
    EXPECT_EQ(ArgbAt(straight, 4), Argb4(inf, 0, 0, 0));
    EXPECT_EQ(ArgbAt(ReadImage(dir.Path("in.exr"), Depth::k8), 1), Argb4(128, 128, 255, 255));
    EXPECT_EQ(ArgbAt(ReadImage(dir.Path("in.exr"), Depth::k32, ExrAlpha::kStraight), 0),
              Argb4(0, 0.3f, 0.2f, 0.1f));

    // Written: the world's colour times alpha, multiplied in float, then
    // rounded once to half; alpha 0 writes no colour.
    Image world(4, 1, Depth::k32);
    world.PixelsF()[0] = ArgbF{0, 0.7f, nan, inf};
    world.PixelsF()[1] = ArgbF{0.3f, 0.8f, 1.6f, -0.2f};
    world.PixelsF()[2] = ArgbF{1, 0.1f, 2.5f, 0.9f};
    world.PixelsF()[3] = ArgbF{1.0f / 3, 0.123f, 0.456f, 0.789f};
    for (const ExrType type : {ExrType::kFloat, ExrType::kHalf}) {
        WriteOptions options;
        options.exrType = type;
        WriteImage(dir.Path("out.exr"), world, options);
        const std::vector<float> got = clitest::ReadExrPixels(dir.Path("out.exr"));
        for (std::size_t i = 0; i < 4; ++i) {
            const ArgbF &p = world.PixelsF()[i];
            const float want[4] = {p.a == 0 ? 0 : p.r * p.a, p.a == 0 ? 0 : p.g * p.a,
                                   p.a == 0 ? 0 : p.b * p.a, p.a};
            for (std::size_t c = 0; c < 4; ++c) {
                const float w =
                    type == ExrType::kHalf ? static_cast<float>(half(want[c])) : want[c];
                EXPECT_EQ(got[i * 4 + c], w) << "pixel " << i << " channel " << c;
            }
        }
    }
}

TEST(ImageIO, UnreadableInputsNameTheFileAndTheReason)
{
    TestDir dir;
    WriteImage(dir.Path("whole.png"), RandomImage(40, 40, Depth::k8, 7));
    WriteImage(dir.Path("whole.exr"), Image(30, 30, Depth::k32));
    const std::string png = clitest::ReadFile(dir.Path("whole.png"));
    clitest::WriteFile(dir.Path("cut.png"), png.substr(0, png.size() / 2));
    clitest::WriteFile(dir.Path("cut.exr"), clitest::ReadFile(dir.Path("whole.exr")).substr(0, 40));
    clitest::WriteFile(dir.Path("pic.png"), "GIF89a not really");
    clitest::WriteFile(dir.Path("empty.png"), "");
    for (const auto &[file, reason] :
         {std::make_pair("nothing.png", "No such file"), std::make_pair("cut.png", "broken PNG"),
          std::make_pair("cut.exr", "broken OpenEXR"),
          std::make_pair("pic.png", "unsupported image format"),
          std::make_pair("empty.png", "empty")}) {
        const std::string message = FailureOf([&] { ReadImage(dir.Path(file)); });
        EXPECT_THAT(message, HasSubstr(dir.Path(file)));
        EXPECT_THAT(message, HasSubstr(reason));
    }
}

// A PNG of a header and one IDAT chunk, as a hostile or damaged file has them.
std::string RawPng(std::uint32_t width, std::uint32_t height, const std::string &idat)
{
    auto be = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16),
                           static_cast<char>(v >> 8), static_cast<char>(v)};
    };
    auto chunk = [&](const std::string &type, const std::string &data) {
        const std::string body = type + data;
        const auto crc =
            crc32(0, reinterpret_cast<const Bytef *>(body.data()), static_cast<uInt>(body.size()));
        return be(static_cast<std::uint32_t>(data.size())) + body +
               be(static_cast<std::uint32_t>(crc));
    };
    return std::string("\x89PNG\r\n\x1a\n", 8) +
           chunk("IHDR", be(width) + be(height) + std::string("\x08\x06\x00\x00\x00", 5)) +
           chunk("IDAT", idat);
}

// A scanline OpenEXR header with one half channel R and an offset table of
// `tableBytes`, written byte by byte so that its numbers can be anything.
std::string RawExr(int dataWidth, int dataHeight, int compression, std::size_t tableBytes)
{
    auto le = [](std::int32_t v) {
        std::string s(4, '\0');
        for (int i = 0; i < 4; ++i)
            s[static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i));
        return s;
    };
    auto attribute = [&](const std::string &name, const std::string &type,
                         const std::string &value) {
        return name + '\0' + type + '\0' + le(static_cast<std::int32_t>(value.size())) + value;
    };
    const std::string box = le(0) + le(0) + le(dataWidth - 1) + le(dataHeight - 1);
    return std::string("\x76\x2f\x31\x01", 4) + le(2) +
           attribute("channels", "chlist",
                     std::string("R\0", 2) + le(1) + le(0) + le(1) + le(1) + std::string(1, '\0')) +
           attribute("compression", "compression", std::string(1, static_cast<char>(compression))) +
           attribute("dataWindow", "box2i", box) + attribute("displayWindow", "box2i", box) +
           attribute("lineOrder", "lineOrder", std::string(1, '\0')) + std::string(1, '\0') +
           std::string(tableBytes, '\0');
}

TEST(ImageIO, HeadersPromisingMorePixelsThanTheFileCanHoldAreRefusedBeforeDecoding)
{
    TestDir dir;
    // 65535 x 65535 RGBA is 16 GiB; 45 bytes of deflate make at most 46 KiB.
    const std::string empty = RawPng(65535, 65535, "");
    ASSERT_EQ(empty.size(), 45u);
    clitest::WriteFile(dir.Path("huge.png"), empty);
    // The library would allocate 8 bytes of offsets per line, 8 GiB here.
    clitest::WriteFile(dir.Path("lines.exr"), RawExr(1, 1 << 30, 0, 64));
    clitest::WriteFile(dir.Path("zip.exr"), RawExr(100000, 100000, 3, 5000));
    for (const char *file : {"huge.png", "lines.exr", "zip.exr"}) {
        for (const std::string &message : {FailureOf([&] { ReadImage(dir.Path(file)); }),
                                           FailureOf([&] { ReadImageInfo(dir.Path(file)); })}) {
            EXPECT_THAT(message, HasSubstr("cannot read '" + dir.Path(file) + "'"));
            EXPECT_THAT(message, HasSubstr("bytes can hold"));
        }
    }
    // A header the file's data can fill goes through to the decoder.
    const std::string tiny = RawPng(1, 1, "");
    clitest::WriteFile(dir.Path("tiny.png"), tiny);
    EXPECT_EQ(ReadImageInfo(dir.Path("tiny.png")).width, 1);
    EXPECT_THAT(FailureOf([&] { ReadImage(dir.Path("tiny.png")); }), HasSubstr("broken PNG file"));
}

TEST(ImageIO, ExrDisplayWindowIsTheImageAndOnlyItsLinesAreRead)
{
    TestDir dir;
    // 4 x 3 pixels of data at (10, 20) in a 300 x 200 display window, and
    // data lines above the window that are never decoded.
    const Imath::Box2i display(Imath::V2i(0, 0), Imath::V2i(299, 199));
    const Imath::Box2i data(Imath::V2i(10, -5), Imath::V2i(13, 22));
    clitest::WriteExr(dir.Path("window.exr"), display, data, {"R", "G", "B", "A"},
                      std::vector<float>(4 * 28 * 4, 0.5f));
    const ImageInfo info = ReadImageInfo(dir.Path("window.exr"));
    EXPECT_EQ(std::make_tuple(info.format, info.width, info.height, info.depth),
              std::make_tuple(ImageFormat::kExr, 300, 200, Depth::k32));
    const Image image = ReadImage(dir.Path("window.exr"));
    // 0.5 premultiplied by alpha 0.5 is a straight 1.
    EXPECT_EQ(ArgbAt(image, 10, 0), Argb4(0.5, 1, 1, 1));
    EXPECT_EQ(ArgbAt(image, 13, 22), Argb4(0.5, 1, 1, 1));
    EXPECT_EQ(ArgbAt(image, 14, 22), Argb4(0, 0, 0, 0));
    EXPECT_EQ(ArgbAt(image, 10, 23), Argb4(0, 0, 0, 0));
}

TEST(ImageIO, OnlyRegularFilesAreOpenedSoAPipeCannotHangTheReader)
{
    TestDir dir;
    ASSERT_EQ(::mkfifo(dir.Path("pipe.png").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(dir.Path("folder.png").c_str(), 0700), 0);
    for (const auto &[file, kind] : {std::make_pair("pipe.png", "a pipe, not a file"),
                                     std::make_pair("folder.png", "a folder, not a file")}) {
        EXPECT_EQ(FailureOf([&] { ReadImage(dir.Path(file)); }),
                  "cannot read '" + dir.Path(file) + "': " + kind);
    }
    EXPECT_EQ(FailureOf([] { ReadImageInfo("/dev/zero"); }),
              "cannot read '/dev/zero': a device, not a file");
}

TEST(ImageIO, OutputFormatFollowsTheExtension)
{
    EXPECT_EQ(FormatForExtension("a/b.c/out.png"), ImageFormat::kPng);
    EXPECT_EQ(FormatForExtension("OUT.EXR"), ImageFormat::kExr);
    EXPECT_FALSE(FormatForExtension("out.jpg").has_value());
    EXPECT_FALSE(FormatForExtension("dir.png/out").has_value());
}

TEST(ImageIO, FailedWritesNameTheFileAndLeaveTheOldOneAndNoTemporaryFile)
{
    TestDir dir;
    const std::string path = dir.Path("keep.png");
    WriteImage(path, RandomImage(3, 3, Depth::k8, 9));
    const std::string before = clitest::ReadFile(path);
    WriteOptions bad;
    bad.pngBits = 12;  // refused after the temporary file exists
    EXPECT_NE(FailureOf([&] { WriteImage(path, RandomImage(5, 5, Depth::k8, 10), bad); }), "");
    EXPECT_NE(FailureOf([&] { WriteImage(path, Image()); }), "");
    EXPECT_NE(FailureOf([&] { WriteImage(dir.Path("keep.exr"), Image(0, 4, Depth::k32)); }), "");
    for (const std::string &other : {dir.Path("out.tif"), dir.Path("no/such/folder/out.png")}) {
        const std::string message = FailureOf([&] { WriteImage(other, Image(1, 1, Depth::k8)); });
        EXPECT_THAT(message, HasSubstr(other));
    }
    EXPECT_EQ(clitest::ReadFile(path), before);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"keep.png"});
}

}  // namespace
