// OpenEXR through the library's scanline interface. The library converts
// between the file's half or float channels and our float slices itself.
#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfIO.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <half.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <vector>

#include "AtomicFile.h"
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

template <typename Channel, typename Convert>
void CopyInto(const std::vector<Rgba> &src, Argb<Channel> *dst, Convert convert)
{
    for (const Rgba &p : src) {
        *dst++ = Argb<Channel>{convert(p.a), convert(p.r), convert(p.g), convert(p.b)};
    }
}

Image ToWorld(const std::vector<Rgba> &pixels, int width, int height, Depth depth)
{
    Image image(width, height, depth);
    switch (depth) {
        case Depth::k8:
            CopyInto(pixels, image.Pixels8(), World8FromFloat);
            break;
        case Depth::k16:
            CopyInto(pixels, image.Pixels16(), World16FromFloat);
            break;
        case Depth::k32:
            CopyInto(pixels, image.PixelsF(), [](float f) { return f; });
            break;
    }
    return image;
}

std::vector<Rgba> FromWorld(const Image &image)
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
    }
    return out;
}

// Reads the file's data window as RGBA and places it in its display window.
std::vector<Rgba> ReadDisplayWindow(const std::string &name, int &width, int &height)
{
    Imf::InputFile file(name.c_str());
    const Imf::Header &header = file.header();
    const Imath::Box2i display = header.displayWindow();
    const Imath::Box2i data = header.dataWindow();
    const Imf::ChannelList &channels = header.channels();

    const bool hasRgb = channels.findChannel("R") != nullptr ||
                        channels.findChannel("G") != nullptr ||
                        channels.findChannel("B") != nullptr;
    const bool hasY = channels.findChannel("Y") != nullptr;
    if (!hasRgb && !hasY) {
        throw Failure("cannot read '" + name + "': no R, G, B or Y channel");
    }

    const long dataWidth = static_cast<long>(data.max.x) - data.min.x + 1;
    const long dataHeight = static_cast<long>(data.max.y) - data.min.y + 1;
    const long displayWidth = static_cast<long>(display.max.x) - display.min.x + 1;
    const long displayHeight = static_cast<long>(display.max.y) - display.min.y + 1;
    if (displayWidth <= 0 || displayHeight <= 0 || displayWidth > 1 << 20 ||
        displayHeight > 1 << 20) {
        throw Failure("cannot read '" + name + "': unusable display window");
    }

    std::vector<Rgba> buffer(static_cast<std::size_t>(std::max(0L, dataWidth)) *
                             static_cast<std::size_t>(std::max(0L, dataHeight)));
    if (!buffer.empty()) {
        Imf::FrameBuffer frame;
        const std::size_t xs = sizeof(Rgba);
        auto slice = [&](float *first, double fill) {
            return Imf::Slice::Make(Imf::FLOAT, first, data, xs, 0, 1, 1, fill);
        };
        if (hasRgb) {
            frame.insert("R", slice(&buffer[0].r, 0.0));
            frame.insert("G", slice(&buffer[0].g, 0.0));
            frame.insert("B", slice(&buffer[0].b, 0.0));
        } else {
            frame.insert("Y", slice(&buffer[0].r, 0.0));
        }
        frame.insert("A", slice(&buffer[0].a, 1.0));
        file.setFrameBuffer(frame);
        file.readPixels(data.min.y, data.max.y);
        if (!hasRgb) {
            for (Rgba &p : buffer) {
                p.g = p.b = p.r;
            }
        }
    }

    width = static_cast<int>(displayWidth);
    height = static_cast<int>(displayHeight);
    std::vector<Rgba> out(
        static_cast<std::size_t>(displayWidth) * static_cast<std::size_t>(displayHeight),
        Rgba{0, 0, 0, 0});
    const long x0 = std::max<long>(data.min.x, display.min.x);
    const long x1 = std::min<long>(data.max.x, display.max.x);
    const long y0 = std::max<long>(data.min.y, display.min.y);
    const long y1 = std::min<long>(data.max.y, display.max.y);
    for (long y = y0; y <= y1; ++y) {
        for (long x = x0; x <= x1; ++x) {
            out[static_cast<std::size_t>((y - display.min.y) * displayWidth +
                                         (x - display.min.x))] =
                buffer[static_cast<std::size_t>((y - data.min.y) * dataWidth + (x - data.min.x))];
        }
    }
    return out;
}

}  // namespace

bool LooksLikeExr(const unsigned char *head, std::size_t size)
{
    static const unsigned char kMagic[4] = {0x76, 0x2f, 0x31, 0x01};
    return size >= 4 && std::memcmp(head, kMagic, 4) == 0;
}

Image ReadExr(const std::string &name, std::optional<Depth> depth)
{
    int width = 0;
    int height = 0;
    std::vector<Rgba> pixels;
    try {
        pixels = ReadDisplayWindow(name, width, height);
    } catch (const Failure &) {
        throw;
    } catch (const std::bad_alloc &) {
        throw Failure("cannot read '" + name + "': out of memory");
    } catch (const std::exception &e) {
        throw Failure("cannot read '" + name + "': broken OpenEXR file (" + e.what() + ")");
    }
    return ToWorld(pixels, width, height, depth.value_or(Depth::k32));
}

namespace {

// The library's output, keeping why the first failed write failed: the
// library writes the table of line offsets from its destructor and drops
// any error there, so the error is checked here once the library is done.
class OutputStream : public Imf::OStream {
public:
    explicit OutputStream(const std::string &path)
        : Imf::OStream(path.c_str()), file_(std::fopen(path.c_str(), "wb"))
    {
        if (file_ == nullptr) {
            error_ = errno;
        }
    }
    ~OutputStream() override
    {
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    OutputStream(const OutputStream &) = delete;
    OutputStream &operator=(const OutputStream &) = delete;

    void write(const char c[], int n) override
    {
        errno = 0;
        if (error_ == 0 &&
            std::fwrite(c, 1, static_cast<std::size_t>(n), file_) != static_cast<std::size_t>(n)) {
            error_ = errno != 0 ? errno : EIO;
        }
        Check();
    }
    // The library asks for the position from its destructor too, where an
    // exception would end the program: this never throws.
    uint64_t tellp() override
    {
        const off_t at = ::ftello(file_);
        if (at < 0) {
            error_ = error_ != 0 ? error_ : errno;
            return 0;
        }
        return static_cast<uint64_t>(at);
    }
    void seekp(uint64_t pos) override
    {
        if (error_ == 0 && ::fseeko(file_, static_cast<off_t>(pos), SEEK_SET) != 0) {
            error_ = errno;
        }
        Check();
    }

    // Flushes and closes the file. The first error of all, or 0.
    int Close()
    {
        if (file_ != nullptr) {
            const bool flushed = std::fflush(file_) == 0;
            if (!flushed && error_ == 0) {
                error_ = errno;
            }
            if (std::fclose(file_) != 0 && error_ == 0) {
                error_ = errno;
            }
            file_ = nullptr;
        }
        return error_;
    }
    int Error() const { return error_; }

private:
    void Check() const
    {
        if (error_ != 0) {
            throw std::runtime_error(WriteErrorText(error_));
        }
    }

    std::FILE *file_;
    int error_ = 0;
};

}  // namespace

void WriteExr(const std::string &name, const std::string &file, const Image &image, ExrType type)
{
    if (image.Empty()) {
        throw Failure("cannot write '" + name + "': the image is empty");
    }
    const std::vector<Rgba> pixels = FromWorld(image);
    OutputStream stream(file);
    if (stream.Error() != 0) {
        throw Failure("cannot write '" + name + "': " + WriteErrorText(stream.Error()));
    }
    try {
        Imf::Header header(image.Width(), image.Height());
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
    } catch (const std::exception &e) {
        throw Failure("cannot write '" + name +
                      "': " + (stream.Error() != 0 ? WriteErrorText(stream.Error()) : e.what()));
    }
    if (const int error = stream.Close(); error != 0) {
        throw Failure("cannot write '" + name + "': " + WriteErrorText(error));
    }
}

}  // namespace cli::detail
