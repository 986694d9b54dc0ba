#include "ImageIO.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AtomicFile.h"
#include "Errors.h"
#include "ImageFormats_p.h"
#include "WorldBridge.h"

namespace cli {

namespace {

std::string LowerExtension(const std::string &path)
{
    const std::size_t slash = path.find_last_of('/');
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return "";
    }
    std::string ext = path.substr(dot + 1);
    for (char &c : ext) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return ext;
}

// A FIFO, a device or a folder is refused before it is opened: opening a
// FIFO waits for a writer.
void RequireFile(const std::string &path)
{
    if (const std::optional<std::string> why = NotAFile(path)) {
        throw Failure("cannot read '" + path + "': " + *why);
    }
}

[[noreturn]] void ReadFailed(const std::string &path)
{
    throw Failure("cannot read '" + path + "': " + std::strerror(errno));
}

// The format of a file that begins with `head`.
ImageFormat SniffFormat(const std::string &path, const unsigned char *head, std::size_t got)
{
    if (detail::LooksLikePng(head, got)) {
        return ImageFormat::kPng;
    }
    if (detail::LooksLikeExr(head, got)) {
        return ImageFormat::kExr;
    }
    if (got == 0) {
        throw Failure("cannot read '" + path + "': the file is empty");
    }
    throw Failure("cannot read '" + path + "': unsupported image format (not PNG or OpenEXR)");
}

// The format of an existing file, from its first bytes.
ImageFormat SniffFormat(const std::string &path)
{
    RequireFile(path);
    std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(path.c_str(), "rb"),
                                                          &std::fclose);
    if (!file) {
        ReadFailed(path);
    }
    unsigned char head[8] = {};
    const std::size_t got = std::fread(head, 1, sizeof head, file.get());
    if (std::ferror(file.get()) != 0) {
        ReadFailed(path);
    }
    return SniffFormat(path, head, got);
}

const char *const kPngCompressionNames[] = {"none", "fast", "small", "smallest"};
const char *const kExrCompressionNames[] = {"none",  "rle", "zips", "zip",  "piz",
                                            "pxr24", "b44", "b44a", "dwaa", "dwab"};

template <typename Enum, std::size_t N>
std::optional<Enum> ParseName(const char *const (&names)[N], const std::string &name)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (name == names[i]) {
            return static_cast<Enum>(i);
        }
    }
    return std::nullopt;
}

}  // namespace

const char *PngCompressionName(PngCompression compression)
{
    return kPngCompressionNames[static_cast<int>(compression)];
}

std::optional<PngCompression> ParsePngCompression(const std::string &name)
{
    return ParseName<PngCompression>(kPngCompressionNames, name);
}

const char *ExrCompressionName(ExrCompression compression)
{
    return kExrCompressionNames[static_cast<int>(compression)];
}

std::optional<ExrCompression> ParseExrCompression(const std::string &name)
{
    return ParseName<ExrCompression>(kExrCompressionNames, name);
}

std::optional<ImageFormat> FormatForExtension(const std::string &path)
{
    const std::string ext = LowerExtension(path);
    if (ext == "png") {
        return ImageFormat::kPng;
    }
    if (ext == "exr") {
        return ImageFormat::kExr;
    }
    return std::nullopt;
}

ImageInfo ReadImageInfo(const std::string &path)
{
    try {
        ImageInfo info = SniffFormat(path) == ImageFormat::kPng ? detail::ReadPngInfo(path)
                                                                : detail::ReadExrInfo(path);
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0) {
            info.fileBytes = static_cast<std::uint64_t>(st.st_size);
        }
        return info;
    } catch (const std::bad_alloc &) {
        throw Failure("cannot read '" + path + "': out of memory");
    }
}

Depth FileDepth(const std::string &path)
{
    return ReadImageInfo(path).depth;
}

std::optional<std::string> NotAFile(const std::string &path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) {
        return std::nullopt;
    }
    const char *kind = S_ISDIR(st.st_mode)                          ? "a folder"
                       : S_ISFIFO(st.st_mode)                       ? "a pipe"
                       : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "a device"
                                                                    : "a socket";
    return std::string(kind) + ", not a file";
}
std::vector<unsigned char> ReadFileBytes(const std::string &path)
{
    RequireFile(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ReadFailed(path);
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ReadFailed(path);
    }
    try {
        // What the file holds when it is opened; a file that grows meanwhile
        // is read as it was.
        std::vector<unsigned char> bytes(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                ReadFailed(path);
            }
            if (n == 0) {
                bytes.resize(got);  // it shrank
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        return bytes;
    } catch (const std::bad_alloc &) {
        throw Failure("cannot read '" + path + "': out of memory");
    }
}

Image DecodeImage(const std::string &path, const std::vector<unsigned char> &bytes,
                  std::optional<Depth> depth, ExrAlpha exrAlpha)
{
    try {
        if (SniffFormat(path, bytes.data(), bytes.size()) == ImageFormat::kPng) {
            return detail::DecodePng(path, bytes, depth);
        }
        return detail::DecodeExr(path, bytes, depth, exrAlpha);
    } catch (const std::bad_alloc &) {
        throw Failure("cannot read '" + path + "': out of memory");
    }
}

host::World DecodeWorld(const std::string &path, const std::vector<unsigned char> &bytes,
                        Depth depth, ExrAlpha exrAlpha)
{
    try {
        if (SniffFormat(path, bytes.data(), bytes.size()) == ImageFormat::kPng) {
            return detail::DecodePngWorld(path, bytes, depth);
        }
        return ToWorld(detail::DecodeExr(path, bytes, depth, exrAlpha));
    } catch (const std::bad_alloc &) {
        throw Failure("cannot read '" + path + "': out of memory");
    }
}

Image ReadImage(const std::string &path, std::optional<Depth> depth, ExrAlpha exrAlpha)
{
    return DecodeImage(path, ReadFileBytes(path), depth, exrAlpha);
}

std::vector<unsigned char> EncodeImage(const std::string &path, const Image &image,
                                       const WriteOptions &options)
{
    const std::optional<ImageFormat> format = FormatForExtension(path);
    if (!format) {
        throw Failure("cannot write '" + path +
                      "': unsupported output format (use a .png or .exr name)");
    }
    try {
        if (*format == ImageFormat::kPng) {
            const int bits = options.pngBits.value_or(image.GetDepth() == Depth::k8 ? 8 : 16);
            return detail::EncodePng(path, image, bits, options.pngCompression);
        }
        const ExrType type = options.exrType.value_or(
            image.GetDepth() == Depth::k32 ? ExrType::kFloat : ExrType::kHalf);
        return detail::EncodeExr(path, image, type, options.exrAlpha, options.exrCompression);
    } catch (const std::bad_alloc &) {
        throw Failure("cannot write '" + path + "': out of memory");
    }
}

void WriteFileBytes(const std::string &path, const std::vector<unsigned char> &bytes)
{
    AtomicFile file(path);
    file.Write(bytes.data(), bytes.size());
    file.Commit();
}

void WriteImage(const std::string &path, const Image &image, const WriteOptions &options)
{
    WriteFileBytes(path, EncodeImage(path, image, options));
}

}  // namespace cli
