// PNG through libpng's classic interface. libpng reports errors by longjmp,
// so each function that calls it keeps only trivially destructible objects
// between its setjmp and its last libpng call, and everything it owns is held
// by objects built before the setjmp, whose scope the longjmp returns into.
#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "DepthConvert.h"
#include "Errors.h"
#include "ImageFormats_p.h"

namespace cli::detail {

namespace {

struct PngErrorState {
    char message[256] = {};
};

void OnPngError(png_structp png, png_const_charp message)
{
    auto *state = static_cast<PngErrorState *>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Where libpng takes the file's bytes from: the file itself for a header
// alone, the file's content in memory for its pixels.
struct PngInput {
    std::FILE *file = nullptr;
    const unsigned char *data = nullptr;
    std::size_t size = 0;
    std::size_t at = 0;
};

void OnPngRead(png_structp png, png_bytep out, png_size_t length)
{
    auto *in = static_cast<PngInput *>(png_get_io_ptr(png));
    if (in->file != nullptr) {
        if (std::fread(out, 1, length, in->file) != length) {
            png_error(png, "Read Error");
        }
        return;
    }
    if (length > in->size - in->at) {
        png_error(png, "Read Error");
    }
    std::memcpy(out, in->data + in->at, length);
    in->at += length;
}

struct ReadStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~ReadStructs() { png_destroy_read_struct(&png, &info, nullptr); }
};

struct WriteStructs {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~WriteStructs() { png_destroy_write_struct(&png, &info); }
};

// What the header says, and whether the file can hold it.
struct Header {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int fileBits = 0;  // bit depth as stored, before expansion
    int bits = 0;      // 8 or 16: the rows as decoded
    // The file is too short for its pixels even at deflate's best.
    bool tooSmall = false;
};

// Deflate turns no fewer than 1 byte into at most 1032.
constexpr double kDeflateMaxRatio = 1032;

// Where 8-bit rows can be decoded as they are: the first row, and the bytes
// from one row to the next.
struct DirectRows {
    unsigned char *first = nullptr;
    std::size_t stride = 0;
};

// Where decoded rows go: converted into the image one row at a time, or
// decoded straight into it where its layout is the rows' own.
class RowSink {
public:
    virtual ~RowSink() = default;
    // Called once the header is known and the file can hold its pixels.
    // Returns the image's rows when 8-bit rows can be decoded into them as
    // they are, channels in the host's order (ARGB); else no rows, and Row
    // then takes every row as RGBA.
    virtual DirectRows Start(const Header &header) = 0;
    virtual void Row(png_uint_32 y, const unsigned char *rgba) = 0;
};

// Reads the header, and the pixels into `sink` unless it is null. Returns
// false with libpng's message in `error` when the file is broken. Decoding
// begins only when `fileSize` bytes of deflate data can fill the image.
bool Decode(PngInput &input, double fileSize, RowSink *sink, Header &out, PngErrorState &error,
            std::vector<unsigned char> &buffer, std::vector<png_bytep> &rows)
{
    ReadStructs s;
    s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
    if (s.png == nullptr) {
        throw std::bad_alloc();
    }
    s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) {
        throw std::bad_alloc();
    }
    if (setjmp(png_jmpbuf(s.png))) {
        return false;
    }
    png_set_read_fn(s.png, &input, OnPngRead);
    png_read_info(s.png, s.info);

    const int colourType = png_get_color_type(s.png, s.info);
    out.fileBits = png_get_bit_depth(s.png, s.info);
    out.width = png_get_image_width(s.png, s.info);
    out.height = png_get_image_height(s.png, s.info);
    // Every row starts with its filter byte.
    const double stored = static_cast<double>(out.height) *
                          (1 + std::ceil(static_cast<double>(out.width) *
                                         png_get_channels(s.png, s.info) * out.fileBits / 8));
    out.tooSmall = stored > fileSize * kDeflateMaxRatio;
    if (sink == nullptr || out.tooSmall) {
        return true;
    }

    // Everything becomes RGBA at 8 or 16 bits.
    if (colourType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(s.png);
    }
    if (colourType == PNG_COLOR_TYPE_GRAY && out.fileBits < 8) {
        png_set_expand_gray_1_2_4_to_8(s.png);
    }
    const bool transparencyChunk = png_get_valid(s.png, s.info, PNG_INFO_tRNS) != 0;
    if (transparencyChunk) {
        png_set_tRNS_to_alpha(s.png);
    }
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) {
        png_set_gray_to_rgb(s.png);
    }
    out.bits = out.fileBits == 16 ? 16 : 8;
    const DirectRows rowsAt = sink->Start(out);
    unsigned char *const direct = rowsAt.first;
    if (direct != nullptr) {
        png_set_swap_alpha(s.png);
    }
    if ((colourType & PNG_COLOR_MASK_ALPHA) == 0 && !transparencyChunk) {
        png_set_add_alpha(s.png, out.bits == 16 ? 0xFFFF : 0xFF,
                          direct != nullptr ? PNG_FILLER_BEFORE : PNG_FILLER_AFTER);
    }
    const int passes = png_set_interlace_handling(s.png);
    png_read_update_info(s.png, s.info);

    const std::size_t rowBytes = png_get_rowbytes(s.png, s.info);
    if (rowBytes != static_cast<std::size_t>(out.width) * 4u * (out.bits / 8u)) {
        std::snprintf(error.message, sizeof error.message, "unexpected row layout");
        return false;
    }
    if (direct != nullptr && passes == 1) {
        for (png_uint_32 y = 0; y < out.height; ++y) {
            png_read_row(s.png, direct + rowsAt.stride * y, nullptr);
        }
    } else if (passes > 1) {
        // Interlaced rows are filled in over several passes: all of them at once.
        if (direct == nullptr) {
            buffer.resize(rowBytes * out.height);
        }
        unsigned char *const first = direct != nullptr ? direct : buffer.data();
        const std::size_t stride = direct != nullptr ? rowsAt.stride : rowBytes;
        rows.resize(out.height);
        for (png_uint_32 y = 0; y < out.height; ++y) {
            rows[y] = first + stride * y;
        }
        png_read_image(s.png, rows.data());
        for (png_uint_32 y = 0; direct == nullptr && y < out.height; ++y) {
            sink->Row(y, rows[y]);
        }
    } else {
        buffer.resize(rowBytes);
        for (png_uint_32 y = 0; y < out.height; ++y) {
            png_read_row(s.png, buffer.data(), nullptr);
            sink->Row(y, buffer.data());
        }
    }
    png_read_end(s.png, nullptr);
    return true;
}

// Decodes `input`, whose length is `fileSize`, naming `name` in failures.
Header DecodeInput(const std::string &name, PngInput &input, double fileSize, RowSink *sink)
{
    Header header;
    PngErrorState error;
    std::vector<unsigned char> buffer;
    std::vector<png_bytep> rows;
    if (!Decode(input, fileSize, sink, header, error, buffer, rows)) {
        throw Failure("cannot read '" + name + "': broken PNG file (" + error.message + ")");
    }
    if (header.tooSmall) {
        throw Failure("cannot read '" + name + "': broken PNG file (its header says " +
                      std::to_string(header.width) + " x " + std::to_string(header.height) +
                      " pixels, more than its " + std::to_string(static_cast<long long>(fileSize)) +
                      " bytes can hold)");
    }
    return header;
}

[[noreturn]] void NotPng(const std::string &name)
{
    throw Failure("cannot read '" + name + "': not a PNG file");
}

template <typename Channel, typename Convert>
void FillRow(const unsigned char *src, int bits, png_uint_32 width, Argb<Channel> *dst,
             Convert convert)
{
    for (png_uint_32 x = 0; x < width; ++x, ++dst) {
        Channel c[4];
        for (int i = 0; i < 4; ++i) {
            if (bits == 16) {
                const auto p = static_cast<std::uint16_t>((src[0] << 8) | src[1]);
                c[i] = convert.From16(p);
                src += 2;
            } else {
                c[i] = convert.From8(src[0]);
                src += 1;
            }
        }
        *dst = Argb<Channel>{c[3], c[0], c[1], c[2]};
    }
}

struct To8 {
    std::uint8_t From8(std::uint8_t c) const { return c; }
    std::uint8_t From16(std::uint16_t p) const { return World8FromPng16(p); }
};
struct To16 {
    std::uint16_t From8(std::uint8_t c) const { return World16FromPng8(c); }
    std::uint16_t From16(std::uint16_t p) const { return World16FromPng16(p); }
};
struct ToF {
    float From8(std::uint8_t c) const { return WorldFFromPng8(c); }
    float From16(std::uint16_t p) const { return WorldFFromPng16(p); }
};

// One RGBA row of `bits` from the image's row `y`. Kept out of line: inlined
// into Encode, its locals would live across libpng's setjmp.
__attribute__((noinline)) void EncodeRow(const Image &image, int y, int bits, unsigned char *out)
{
    const std::size_t start = static_cast<std::size_t>(y) * static_cast<std::size_t>(image.Width());
    auto put = [&](std::uint16_t sample) {
        if (bits == 16) {
            *out++ = static_cast<unsigned char>(sample >> 8);
            *out++ = static_cast<unsigned char>(sample & 0xFF);
        } else {
            *out++ = static_cast<unsigned char>(sample);
        }
    };
    for (int x = 0; x < image.Width(); ++x) {
        std::uint16_t c[4] = {0, 0, 0, 0};  // r, g, b, a
        switch (image.GetDepth()) {
            case Depth::k8: {
                const Argb8 &p = image.Pixels8()[start + x];
                const std::uint8_t ch[4] = {p.r, p.g, p.b, p.a};
                for (int i = 0; i < 4; ++i) {
                    c[i] = bits == 16 ? Png16FromWorld8(ch[i]) : ch[i];
                }
                break;
            }
            case Depth::k16: {
                const Argb16 &p = image.Pixels16()[start + x];
                const std::uint16_t ch[4] = {p.r, p.g, p.b, p.a};
                for (int i = 0; i < 4; ++i) {
                    c[i] = bits == 16 ? Png16FromWorld16(ch[i]) : Png8FromWorld16(ch[i]);
                }
                break;
            }
            case Depth::k32: {
                const ArgbF &p = image.PixelsF()[start + x];
                const float ch[4] = {p.r, p.g, p.b, p.a};
                for (int i = 0; i < 4; ++i) {
                    c[i] = bits == 16 ? Png16FromFloat(ch[i]) : Png8FromFloat(ch[i]);
                }
                break;
            }
        }
        for (std::uint16_t sample : c) {
            put(sample);
        }
    }
}

// libpng's output: the file's content in memory, and whether it ran out of
// memory (an exception must not cross libpng).
struct PngSink {
    Bytes *bytes = nullptr;
    bool outOfMemory = false;
};

void OnPngWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto *sink = static_cast<PngSink *>(png_get_io_ptr(png));
    try {
        sink->bytes->insert(sink->bytes->end(), data, data + length);
    } catch (const std::bad_alloc &) {
        sink->outOfMemory = true;
        png_error(png, "out of memory");
    }
}

void OnPngFlush(png_structp) {}

// Sets zlib's level and the row filters for `compression`.
void SetCompression(png_structp png, PngCompression compression)
{
    switch (compression) {
        case PngCompression::kNone:
            png_set_compression_level(png, 0);
            png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
            break;
        case PngCompression::kFast:
            png_set_compression_level(png, 2);
            png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
            break;
        case PngCompression::kSmall:
            break;  // libpng's defaults
        case PngCompression::kSmallest:
            png_set_compression_level(png, 9);
            png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
            break;
    }
}

bool Encode(PngSink &sink, const Image &image, int bits, PngCompression compression,
            std::vector<unsigned char> &row, PngErrorState &error)
{
    WriteStructs s;
    s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, OnPngError, OnPngWarning);
    if (s.png == nullptr) {
        throw std::bad_alloc();
    }
    s.info = png_create_info_struct(s.png);
    if (s.info == nullptr) {
        throw std::bad_alloc();
    }
    if (setjmp(png_jmpbuf(s.png))) {
        return false;
    }
    png_set_write_fn(s.png, &sink, OnPngWrite, OnPngFlush);
    SetCompression(s.png, compression);
    png_set_IHDR(s.png, s.info, static_cast<png_uint_32>(image.Width()),
                 static_cast<png_uint_32>(image.Height()), bits, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(s.png, s.info);
    if (image.GetDepth() == Depth::k8 && bits == 8) {
        // The image's rows as they are: libpng puts alpha last.
        png_set_swap_alpha(s.png);
        for (int y = 0; y < image.Height(); ++y) {
            png_write_row(
                s.png, reinterpret_cast<png_const_bytep>(
                           image.Pixels8() +
                           static_cast<std::size_t>(y) * static_cast<std::size_t>(image.Width())));
        }
    } else {
        for (int y = 0; y < image.Height(); ++y) {
            EncodeRow(image, y, bits, row.data());
            png_write_row(s.png, row.data());
        }
    }
    png_write_end(s.png, nullptr);
    return true;
}

// The rows of an image or of a host world, which share the channel layout.
unsigned char *RowOf(Image &image, png_uint_32 y)
{
    return image.Row(static_cast<int>(y));
}
unsigned char *RowOf(host::World &world, png_uint_32 y)
{
    return world.row(static_cast<A_long>(y));
}
Depth DepthOf(const Image &image)
{
    return image.GetDepth();
}
Depth DepthOf(const host::World &world)
{
    return world.depth();
}

// Decodes into an Image or a host::World made once the header has passed;
// rows are converted as they are decoded, or decoded in place.
template <typename Target>
Target DecodeInto(const std::string &name, const Bytes &bytes, std::optional<Depth> depth)
{
    class TargetSink : public RowSink {
    public:
        explicit TargetSink(std::optional<Depth> depth) : depth_(depth) {}
        DirectRows Start(const Header &header) override
        {
            bits_ = header.bits;
            width_ = header.width;
            target = Target(static_cast<int>(header.width), static_cast<int>(header.height),
                            depth_.value_or(bits_ == 16 ? Depth::k16 : Depth::k8));
            if (DepthOf(target) != Depth::k8 || bits_ != 8 || header.height == 0) {
                return {};
            }
            return DirectRows{RowOf(target, 0),
                              header.height > 1
                                  ? static_cast<std::size_t>(RowOf(target, 1) - RowOf(target, 0))
                                  : 0};
        }
        void Row(png_uint_32 y, const unsigned char *rgba) override
        {
            unsigned char *row = RowOf(target, y);
            switch (DepthOf(target)) {
                case Depth::k8:
                    FillRow(rgba, bits_, width_, reinterpret_cast<Argb8 *>(row), To8{});
                    break;
                case Depth::k16:
                    FillRow(rgba, bits_, width_, reinterpret_cast<Argb16 *>(row), To16{});
                    break;
                case Depth::k32:
                    FillRow(rgba, bits_, width_, reinterpret_cast<ArgbF *>(row), ToF{});
                    break;
            }
        }
        Target target;

    private:
        std::optional<Depth> depth_;
        int bits_ = 8;
        png_uint_32 width_ = 0;
    };
    if (!LooksLikePng(bytes.data(), bytes.size())) {
        NotPng(name);
    }
    TargetSink sink(depth);
    PngInput input;
    input.data = bytes.data();
    input.size = bytes.size();
    DecodeInput(name, input, static_cast<double>(bytes.size()), &sink);
    return std::move(sink.target);
}

}  // namespace

bool LooksLikePng(const unsigned char *head, std::size_t size)
{
    return size >= 8 && png_sig_cmp(head, 0, 8) == 0;
}

ImageInfo ReadPngInfo(const std::string &name)
{
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(name.c_str(), "rb"),
                                                          &std::fclose);
    if (!file) {
        throw Failure("cannot read '" + name + "': " + std::strerror(errno));
    }
    unsigned char signature[8] = {};
    if (std::fread(signature, 1, sizeof signature, file.get()) != sizeof signature ||
        !LooksLikePng(signature, sizeof signature)) {
        NotPng(name);
    }
    double fileSize = 0;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        fileSize = static_cast<double>(std::ftell(file.get()));
    }
    std::rewind(file.get());
    PngInput input;
    input.file = file.get();
    const Header header = DecodeInput(name, input, fileSize, nullptr);
    return ImageInfo{ImageFormat::kPng, static_cast<int>(header.width),
                     static_cast<int>(header.height),
                     header.fileBits == 16 ? Depth::k16 : Depth::k8};
}

Image DecodePng(const std::string &name, const Bytes &bytes, std::optional<Depth> depth)
{
    return DecodeInto<Image>(name, bytes, depth);
}

host::World DecodePngWorld(const std::string &name, const Bytes &bytes, Depth depth)
{
    return DecodeInto<host::World>(name, bytes, depth);
}

Bytes EncodePng(const std::string &name, const Image &image, int bits, PngCompression compression)
{
    if (bits != 8 && bits != 16) {
        throw Failure("cannot write '" + name + "': PNG depth must be 8 or 16");
    }
    if (image.Empty()) {
        throw Failure("cannot write '" + name + "': the image is empty");
    }
    std::vector<unsigned char> row(static_cast<std::size_t>(image.Width()) * 4u * (bits / 8u));
    PngErrorState error;
    Bytes bytes;
    PngSink sink{&bytes};
    if (!Encode(sink, image, bits, compression, row, error)) {
        if (sink.outOfMemory) {
            throw std::bad_alloc();
        }
        throw Failure("cannot write '" + name + "': " + error.message);
    }
    return bytes;
}

}  // namespace cli::detail
