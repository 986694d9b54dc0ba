// OpenEXR through the library's scanline interface. The library converts
// between the file's half or float channels and our float slices itself.
#include <IexBaseExc.h>
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <half.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "DepthConvert.h"
#include "Errors.h"
#include "ImageFormats_p.h"

namespace cli::detail {

namespace {

// RGBA as the file's channels are read into and written from.
struct Rgba {
    float r, g, b, a;
};

struct RgbaHalf {
    half r, g, b, a;
};

// Slices for the four channels of interleaved pixels of type `Pixel`.
template <typename Pixel>
void InsertSlices(Imf::FrameBuffer &frame, Imf::PixelType type, const Pixel *pixels, int width)
{
    const std::size_t xs = sizeof(Pixel);
    const std::size_t ys = xs * static_cast<std::size_t>(width);
    auto *base = const_cast<char *>(reinterpret_cast<const char *>(pixels));
    frame.insert("R", Imf::Slice(type, base + offsetof(Pixel, r), xs, ys));
    frame.insert("G", Imf::Slice(type, base + offsetof(Pixel, g), xs, ys));
    frame.insert("B", Imf::Slice(type, base + offsetof(Pixel, b), xs, ys));
    frame.insert("A", Imf::Slice(type, base + offsetof(Pixel, a), xs, ys));
}

// Colour times alpha, as the file format defines its colour channels; a
// transparent pixel has no colour, whatever its channels held.
Rgba Premultiplied(Rgba p)
{
    if (p.a == 0) {
        return Rgba{0, 0, 0, 0};
    }
    return Rgba{p.r * p.a, p.g * p.a, p.b * p.a, p.a};
}

// Back to the straight colour the host's worlds hold. Where alpha is 0 or not
// a finite number the colour cannot be recovered and is 0; an alpha that is
// not a number becomes 0. Alpha outside 0..1 and colour above 1 are kept.
Rgba Straight(Rgba p)
{
    if (std::isnan(p.a)) {
        p.a = 0;
    }
    if (p.a == 0 || std::isinf(p.a)) {
        return Rgba{0, 0, 0, p.a};
    }
    return Rgba{p.r / p.a, p.g / p.a, p.b / p.a, p.a};
}

std::vector<Rgba> FromWorld(const Image &image, ExrAlpha alpha)
{
    std::vector<Rgba> out(image.PixelCount());
    for (std::size_t i = 0; i < out.size(); ++i) {
        switch (image.GetDepth()) {
            case Depth::k8: {
                const Argb8 &p = image.Pixels8()[i];
                out[i] = {FloatFromWorld8(p.r), FloatFromWorld8(p.g), FloatFromWorld8(p.b),
                          FloatFromWorld8(p.a)};
                break;
            }
            case Depth::k16: {
                const Argb16 &p = image.Pixels16()[i];
                out[i] = {FloatFromWorld16(p.r), FloatFromWorld16(p.g), FloatFromWorld16(p.b),
                          FloatFromWorld16(p.a)};
                break;
            }
            case Depth::k32: {
                const ArgbF &p = image.PixelsF()[i];
                out[i] = {p.r, p.g, p.b, p.a};
                break;
            }
        }
        if (alpha == ExrAlpha::kPremultiplied) {
            out[i] = Premultiplied(out[i]);
        }
    }
    return out;
}

// What the library is told to read, checked first by our own reading of the
// header: the library allocates by the header's numbers before it reads any
// pixels, so numbers the file's length cannot back are refused here.
struct ExrLayout {
    Imath::Box2i data;
    Imath::Box2i display;
    bool hasRgb = false;
    bool hasY = false;
};

// What the header checks need of each compression method of the file format,
// in the order of its numbers (0 none ... 9 DWAB): the most a compressed
// chunk can grow into when decoded, and the lines a chunk holds. Deflate at
// its best turns one byte into 1032.
struct Method {
    double maxRatio;
    int chunkLines;
};
constexpr double kDeflate = 1032;
constexpr Method kMethods[] = {
    {1, 1},                  // none
    {64, 1},                 // run-length: 2 bytes for a run of 128
    {kDeflate, 1},           // ZIP per line
    {kDeflate, 16},          // ZIP per 16 lines
    {kDeflate, 32},          // PIZ stays below deflate
    {kDeflate * 4 / 3, 16},  // PXR24: 32-bit floats cut to 24 bits, then deflate
    {3, 32},                 // B44: 14 bytes per 4 x 4 half block
    {11, 32},                // B44A: 3 bytes for a flat block
    {64 * kDeflate, 32},     // DWAA: runs coded, then deflate
    {64 * kDeflate, 256},    // DWAB
};

// The method numbered `compression`; a number the format does not define
// (the library then refuses the file) is taken at the most generous.
Method CompressionMethod(int compression)
{
    const int count = static_cast<int>(sizeof kMethods / sizeof kMethods[0]);
    return compression >= 0 && compression < count ? kMethods[compression]
                                                   : Method{64 * kDeflate, 32};
}

// Attributes read from a file whose size is known: every length is checked
// against the bytes left before anything is taken from it.
class HeaderReader {
public:
    HeaderReader(std::FILE *file, std::int64_t size) : file_(file), size_(size) {}

    std::int64_t Left() const { return size_ - at_; }

    void Read(void *into, std::int64_t bytes)
    {
        if (bytes < 0 || bytes > Left() ||
            std::fread(into, 1, static_cast<std::size_t>(bytes), file_) !=
                static_cast<std::size_t>(bytes)) {
            throw Failure("the header is cut short");
        }
        at_ += bytes;
    }
    void Skip(std::int64_t bytes)
    {
        if (bytes < 0 || bytes > Left() || std::fseek(file_, static_cast<long>(bytes), SEEK_CUR)) {
            throw Failure("an attribute is longer than the file");
        }
        at_ += bytes;
    }
    std::int32_t Int()
    {
        unsigned char b[4];
        Read(b, 4);
        return static_cast<std::int32_t>(
            static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
            static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24);
    }
    // A name of at most 255 characters, ended by a zero byte.
    std::string Name()
    {
        std::string name;
        for (;;) {
            char c = 0;
            Read(&c, 1);
            if (c == '\0') {
                return name;
            }
            if (name.size() == 255) {
                throw Failure("a name in the header is too long");
            }
            name += c;
        }
    }

private:
    std::FILE *file_;
    std::int64_t size_;
    std::int64_t at_ = 0;
};

Imath::Box2i ReadBox(HeaderReader &in)
{
    Imath::Box2i box;
    box.min.x = in.Int();
    box.min.y = in.Int();
    box.max.x = in.Int();
    box.max.y = in.Int();
    return box;
}

std::int64_t BoxWidth(const Imath::Box2i &b)
{
    return static_cast<std::int64_t>(b.max.x) - b.min.x + 1;
}
std::int64_t BoxHeight(const Imath::Box2i &b)
{
    return static_cast<std::int64_t>(b.max.y) - b.min.y + 1;
}

// One part's header, checked: returns false at the empty header that ends
// the list of parts.
bool ReadPartHeader(HeaderReader &in, std::int64_t fileSize, bool tiled, ExrLayout &layout)
{
    bool any = false;
    bool hasData = false;
    bool hasDisplay = false;
    int compression = 0;
    double bytesPerPixel = 0;  // of the stored channels, with their sampling
    std::int64_t tileWidth = 0;
    std::int64_t tileHeight = 0;
    for (;;) {
        const std::string name = in.Name();
        if (name.empty()) {
            break;
        }
        any = true;
        const std::string type = in.Name();
        const std::int32_t size = in.Int();
        if (size < 0 || size > in.Left()) {
            throw Failure("attribute '" + name + "' is longer than the file");
        }
        if (name == "dataWindow" && type == "box2i" && size == 16) {
            layout.data = ReadBox(in);
            hasData = true;
        } else if (name == "displayWindow" && type == "box2i" && size == 16) {
            layout.display = ReadBox(in);
            hasDisplay = true;
        } else if (name == "compression" && type == "compression" && size == 1) {
            unsigned char c = 0;
            in.Read(&c, 1);
            compression = c;
        } else if (name == "tiles" && type == "tiledesc" && size == 9) {
            tileWidth = static_cast<std::uint32_t>(in.Int());
            tileHeight = static_cast<std::uint32_t>(in.Int());
            in.Skip(1);
        } else if (name == "type" && type == "string") {
            std::string value(static_cast<std::size_t>(size), '\0');
            in.Read(value.data(), size);
            if (value.rfind("deep", 0) == 0) {
                throw Failure("deep OpenEXR images are not supported");
            }
            tiled = value == "tiledimage";
        } else if (type == "chlist") {
            std::int64_t left = size;
            for (;;) {
                const std::string channel = in.Name();
                left -= static_cast<std::int64_t>(channel.size()) + 1;
                if (channel.empty()) {
                    break;
                }
                const std::int32_t pixelType = in.Int();
                in.Skip(4);  // linear flag, reserved
                const std::int32_t xs = in.Int();
                const std::int32_t ys = in.Int();
                left -= 16;
                if (xs < 1 || ys < 1 || left < 0) {
                    throw Failure("bad channel '" + channel + "'");
                }
                bytesPerPixel += (pixelType == 1 ? 2.0 : 4.0) / xs / ys;
                layout.hasRgb = layout.hasRgb || channel == "R" || channel == "G" || channel == "B";
                layout.hasY = layout.hasY || channel == "Y";
            }
            if (left != 0) {
                throw Failure("bad channel list");
            }
        } else if (type == "preview") {
            // The library makes the preview's pixels by the sizes given.
            const std::int64_t w = static_cast<std::uint32_t>(in.Int());
            const std::int64_t h = static_cast<std::uint32_t>(in.Int());
            if (size < 8 || static_cast<double>(w) * static_cast<double>(h) * 4 != size - 8) {
                throw Failure("bad preview image");
            }
            in.Skip(size - 8);
        } else {
            in.Skip(size);
        }
    }
    if (!any) {
        return false;
    }
    if (!hasData || !hasDisplay) {
        throw Failure("no data or display window");
    }
    const std::int64_t width = BoxWidth(layout.data);
    const std::int64_t height = BoxHeight(layout.data);
    if (width < 1 || height < 1) {
        throw Failure("empty data window");
    }
    // Every chunk of pixels has an 8-byte offset in the file's table.
    const Method method = CompressionMethod(compression);
    const std::int64_t chunks = tiled ? ((width + std::max<std::int64_t>(tileWidth, 1) - 1) /
                                         std::max<std::int64_t>(tileWidth, 1)) *
                                            ((height + std::max<std::int64_t>(tileHeight, 1) - 1) /
                                             std::max<std::int64_t>(tileHeight, 1))
                                      : (height + method.chunkLines - 1) / method.chunkLines;
    const double most = static_cast<double>(fileSize) * method.maxRatio;
    if (static_cast<double>(chunks) * 8 > static_cast<double>(fileSize) ||
        static_cast<double>(width) * static_cast<double>(height) * bytesPerPixel > most ||
        (tiled &&
         (tileWidth < 1 || tileHeight < 1 ||
          static_cast<double>(tileWidth) * static_cast<double>(tileHeight) * bytesPerPixel >
              most))) {
        throw Failure("its header says " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels of data, more than its " + std::to_string(fileSize) +
                      " bytes can hold");
    }
    return true;
}

using FilePtr = std::unique_ptr<std::FILE, int (*)(std::FILE *)>;

// Checks every part's header, and returns the first part's (the one read).
// `file` is the file's content, read from its start.
ExrLayout ReadLayout(const std::string &name, const FilePtr &file)
{
    if (!file) {
        throw Failure("cannot read '" + name + "': " + std::strerror(errno));
    }
    std::int64_t size = 0;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        size = std::ftell(file.get());
    }
    std::rewind(file.get());
    try {
        HeaderReader in(file.get(), size);
        unsigned char magic[4];
        in.Read(magic, 4);
        if (!LooksLikeExr(magic, 4)) {
            throw Failure("not an OpenEXR file");
        }
        const std::int32_t version = in.Int();
        if ((version & 0x800) != 0) {
            throw Failure("deep OpenEXR images are not supported");
        }
        const bool multipart = (version & 0x1000) != 0;
        const bool tiled = (version & 0x200) != 0;
        ExrLayout first;
        if (!ReadPartHeader(in, size, tiled, first)) {
            throw Failure("no header");
        }
        ExrLayout other;
        while (multipart && ReadPartHeader(in, size, tiled, other)) {
        }
        const std::int64_t displayWidth = BoxWidth(first.display);
        const std::int64_t displayHeight = BoxHeight(first.display);
        if (displayWidth <= 0 || displayHeight <= 0 || displayWidth > 1 << 20 ||
            displayHeight > 1 << 20) {
            throw Failure("unusable display window");
        }
        return first;
    } catch (const Failure &e) {
        throw Failure("cannot read '" + name + "': broken OpenEXR file (" + e.what() + ")");
    }
}

ExrLayout ReadLayout(const std::string &name)
{
    return ReadLayout(name, FilePtr(std::fopen(name.c_str(), "rb"), &std::fclose));
}

ExrLayout ReadLayout(const std::string &name, const Bytes &bytes)
{
    return ReadLayout(
        name, FilePtr(::fmemopen(const_cast<unsigned char *>(bytes.data()), bytes.size(), "rb"),
                      &std::fclose));
}

// The file's content as the library reads it.
class InputStream : public Imf::IStream {
public:
    InputStream(const std::string &name, const Bytes &bytes)
        : Imf::IStream(name.c_str()), bytes_(bytes)
    {
    }
    bool read(char c[], int n) override
    {
        if (n < 0 || static_cast<std::size_t>(n) > bytes_.size() - at_) {
            throw Iex::InputExc("Early end of file");
        }
        std::memcpy(c, bytes_.data() + at_, static_cast<std::size_t>(n));
        at_ += static_cast<std::size_t>(n);
        return at_ < bytes_.size();
    }
    uint64_t tellg() override { return at_; }
    void seekg(uint64_t pos) override
    {
        at_ = static_cast<std::size_t>(std::min<uint64_t>(pos, bytes_.size()));
    }

private:
    const Bytes &bytes_;
    std::size_t at_ = 0;
};

// Reads the data window of the file's content `bytes` as RGBA into its
// display window.
Image ReadDisplayWindow(const std::string &name, const Bytes &bytes, Depth depth, ExrAlpha alpha)
{
    const ExrLayout layout = ReadLayout(name, bytes);
    if (!layout.hasRgb && !layout.hasY) {
        throw Failure("cannot read '" + name + "': no R, G, B or Y channel");
    }
    InputStream stream(name, bytes);
    Imf::InputFile file(stream);
    const Imf::Header &header = file.header();
    const Imath::Box2i display = header.displayWindow();
    const Imath::Box2i data = header.dataWindow();
    if (display != layout.display || data != layout.data) {
        throw Failure("cannot read '" + name + "': broken OpenEXR file (unexpected header)");
    }

    // Only the lines of the data window inside the display window are read.
    const long displayWidth = BoxWidth(display);
    Image image(static_cast<int>(displayWidth), static_cast<int>(BoxHeight(display)), depth);
    const long x0 = std::max<long>(data.min.x, display.min.x);
    const long x1 = std::min<long>(data.max.x, display.max.x);
    const long y0 = std::max<long>(data.min.y, display.min.y);
    const long y1 = std::min<long>(data.max.y, display.max.y);
    if (x0 > x1 || y0 > y1) {
        return image;
    }
    const Imath::Box2i lines(Imath::V2i(data.min.x, static_cast<int>(y0)),
                             Imath::V2i(data.max.x, static_cast<int>(y1)));
    const long dataWidth = BoxWidth(data);
    std::vector<Rgba> buffer(static_cast<std::size_t>(dataWidth) *
                             static_cast<std::size_t>(y1 - y0 + 1));
    Imf::FrameBuffer frame;
    const std::size_t xs = sizeof(Rgba);
    auto slice = [&](float *first, double fill) {
        return Imf::Slice::Make(Imf::FLOAT, first, lines, xs, 0, 1, 1, fill);
    };
    if (layout.hasRgb) {
        frame.insert("R", slice(&buffer[0].r, 0.0));
        frame.insert("G", slice(&buffer[0].g, 0.0));
        frame.insert("B", slice(&buffer[0].b, 0.0));
    } else {
        frame.insert("Y", slice(&buffer[0].r, 0.0));
    }
    frame.insert("A", slice(&buffer[0].a, 1.0));
    file.setFrameBuffer(frame);
    file.readPixels(static_cast<int>(y0), static_cast<int>(y1));
    if (!layout.hasRgb) {
        for (Rgba &p : buffer) {
            p.g = p.b = p.r;
        }
    }

    // Pixels outside the data window stay transparent.
    for (long y = y0; y <= y1; ++y) {
        const Rgba *row =
            &buffer[static_cast<std::size_t>((y - y0) * dataWidth + (x0 - data.min.x))];
        const std::size_t start =
            static_cast<std::size_t>((y - display.min.y) * displayWidth + (x0 - display.min.x));
        for (long x = x0; x <= x1; ++x) {
            const std::size_t i = start + static_cast<std::size_t>(x - x0);
            const Rgba p = alpha == ExrAlpha::kPremultiplied ? Straight(*row++) : *row++;
            const Rgba *src = &p;
            switch (depth) {
                case Depth::k8:
                    image.Pixels8()[i] = Argb8{World8FromFloat(src->a), World8FromFloat(src->r),
                                               World8FromFloat(src->g), World8FromFloat(src->b)};
                    break;
                case Depth::k16:
                    image.Pixels16()[i] =
                        Argb16{World16FromFloat(src->a), World16FromFloat(src->r),
                               World16FromFloat(src->g), World16FromFloat(src->b)};
                    break;
                case Depth::k32:
                    image.PixelsF()[i] = ArgbF{src->a, src->r, src->g, src->b};
                    break;
            }
        }
    }
    return image;
}

}  // namespace

bool LooksLikeExr(const unsigned char *head, std::size_t size)
{
    static const unsigned char kMagic[4] = {0x76, 0x2f, 0x31, 0x01};
    return size >= 4 && std::memcmp(head, kMagic, 4) == 0;
}

ImageInfo ReadExrInfo(const std::string &name)
{
    const ExrLayout layout = ReadLayout(name);
    return ImageInfo{ImageFormat::kExr, static_cast<int>(BoxWidth(layout.display)),
                     static_cast<int>(BoxHeight(layout.display)), Depth::k32};
}

Image DecodeExr(const std::string &name, const Bytes &bytes, std::optional<Depth> depth,
                ExrAlpha alpha)
{
    try {
        return ReadDisplayWindow(name, bytes, depth.value_or(Depth::k32), alpha);
    } catch (const Failure &) {
        throw;
    } catch (const std::bad_alloc &) {
        throw Failure("cannot read '" + name + "': out of memory");
    } catch (const std::exception &e) {
        throw Failure("cannot read '" + name + "': broken OpenEXR file (" + e.what() + ")");
    }
}

namespace {

// The library's output: the file's content in memory. The library writes
// the table of line offsets from its destructor, back over the place it kept
// for it, so that writing there allocates nothing.
class OutputStream : public Imf::OStream {
public:
    OutputStream(const std::string &name, Bytes &bytes) : Imf::OStream(name.c_str()), bytes_(bytes)
    {
    }
    void write(const char c[], int n) override
    {
        const std::size_t end = at_ + static_cast<std::size_t>(n);
        if (end > bytes_.size()) {
            bytes_.resize(end);
        }
        std::memcpy(bytes_.data() + at_, c, static_cast<std::size_t>(n));
        at_ = end;
    }
    uint64_t tellp() override { return at_; }
    void seekp(uint64_t pos) override { at_ = static_cast<std::size_t>(pos); }

private:
    Bytes &bytes_;
    std::size_t at_ = 0;
};

// The library's compression for each of ours, in the order of ExrCompression.
constexpr Imf::Compression kLibraryCompressions[] = {
    Imf::NO_COMPRESSION,   Imf::RLE_COMPRESSION,   Imf::ZIPS_COMPRESSION, Imf::ZIP_COMPRESSION,
    Imf::PIZ_COMPRESSION,  Imf::PXR24_COMPRESSION, Imf::B44_COMPRESSION,  Imf::B44A_COMPRESSION,
    Imf::DWAA_COMPRESSION, Imf::DWAB_COMPRESSION};
static_assert(sizeof kLibraryCompressions / sizeof kLibraryCompressions[0] ==
              static_cast<std::size_t>(ExrCompression::kDwab) + 1);

}  // namespace

Bytes EncodeExr(const std::string &name, const Image &image, ExrType type, ExrAlpha alpha,
                ExrCompression compression)
{
    if (image.Empty()) {
        throw Failure("cannot write '" + name + "': the image is empty");
    }
    const std::vector<Rgba> pixels = FromWorld(image, alpha);
    Bytes bytes;
    OutputStream stream(name, bytes);
    try {
        Imf::Header header(image.Width(), image.Height());
        header.compression() = kLibraryCompressions[static_cast<int>(compression)];
        const Imf::PixelType fileType = type == ExrType::kHalf ? Imf::HALF : Imf::FLOAT;
        for (const char *channel : {"R", "G", "B", "A"}) {
            header.channels().insert(channel, Imf::Channel(fileType));
        }
        // The library converts between half and float when reading but not
        // when writing, so half files are written from half pixels.
        std::vector<RgbaHalf> halves;
        Imf::FrameBuffer frame;
        if (type == ExrType::kHalf) {
            halves.reserve(pixels.size());
            for (const Rgba &p : pixels) {
                halves.push_back(RgbaHalf{half(p.r), half(p.g), half(p.b), half(p.a)});
            }
            InsertSlices(frame, Imf::HALF, halves.data(), image.Width());
        } else {
            InsertSlices(frame, Imf::FLOAT, pixels.data(), image.Width());
        }
        Imf::OutputFile out(stream, header);
        out.setFrameBuffer(frame);
        out.writePixels(image.Height());
    } catch (const std::bad_alloc &) {
        throw;
    } catch (const std::exception &e) {
        throw Failure("cannot write '" + name + "': " + e.what());
    }
    return bytes;
}

}  // namespace cli::detail
