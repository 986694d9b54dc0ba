// Reading and writing images as host-world pixels. The format of an input is
// recognised by its content, the format of an output by its extension:
//
//   .png  8-bit or 16-bit RGBA. Default: 8-bit for a depth-8 image, 16-bit
//         for depth 16 and float (--png-depth overrides).
//   .exr  R, G, B, A channels, half or float. Default: half for depth 8 and
//         16 (half holds every 8-bit value exactly and 16-bit values to
//         about 11 bits), float for depth 32.
//
// PNG inputs of any kind are accepted (grey, grey+alpha, palette, RGB, RGBA,
// 1 to 16 bits, interlaced); inputs without alpha are opaque. EXR inputs
// supply R, G, B and A; a missing A is opaque, a missing colour channel is 0,
// and a file with Y but no R, G, B is read as grey. The EXR display window is
// the image, pixels outside the data window are transparent: a small data
// window in a large display window costs the display window's pixels.
//
// Worlds hold straight alpha, and so does PNG. OpenEXR colour is
// premultiplied by alpha: written as colour times alpha, multiplied in float
// before any conversion to half, with values outside 0..1 kept and no colour
// where alpha is 0; read back divided by alpha, where alpha 0 gives colour 0,
// a NaN alpha is read as 0 and an infinite one gives colour 0 (ExrAlpha::
// kStraight leaves the channels as they are in both directions).
// DepthConvert.h gives every channel conversion.
//
// Readers allocate no more than the file's data can fill: a header whose
// pixels could not come from the file's length at its compression's best
// ratio is refused before any pixel is decoded. Only regular files are read.
//
// Compression changes the file's size and the time it takes to write, never
// the pixels read back (except the lossy OpenEXR methods named below). The
// defaults are fast: a rendered frame is mostly flat colour, so fast settings
// still compress well, and encoding is a large part of a render's time.
//
// Outputs go to a temporary file beside the target that is renamed over it
// only once complete, so a failure never leaves a partial image behind.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Image.h"

namespace cli {

enum class ImageFormat { kPng, kExr };
enum class ExrType { kHalf, kFloat };
// How OpenEXR colour relates to alpha: premultiplied, as the format defines
// it, or straight, as some pipelines write it anyway.
enum class ExrAlpha { kPremultiplied, kStraight };

// PNG compression, all standard PNG (deflate) that any reader opens:
//   kNone      stored deflate blocks, no filter: about the raw size
//   kFast      zlib level 2, filter "up" on every row (the default)
//   kSmall     zlib level 6, libpng's adaptive choice of filter per row
//   kSmallest  zlib level 9, adaptive filters: a few percent smaller than
//              kSmall at several times its time
enum class PngCompression { kNone, kFast, kSmall, kSmallest };

// OpenEXR compression. Lossless: none, rle, zips, zip, piz (the default:
// the quickest of them that compresses both half and float channels well);
// pxr24 is lossless for half channels and rounds float ones to 24 bits;
// b44, b44a, dwaa and dwab are lossy.
enum class ExrCompression { kNone, kRle, kZips, kZip, kPiz, kPxr24, kB44, kB44a, kDwaa, kDwab };

// The names the command line uses ("fast", "zip", ...), and back; the
// parsers return none for an unknown name.
const char *PngCompressionName(PngCompression compression);
std::optional<PngCompression> ParsePngCompression(const std::string &name);
const char *ExrCompressionName(ExrCompression compression);
std::optional<ExrCompression> ParseExrCompression(const std::string &name);

// The format an output path asks for by its extension (either case), or none.
std::optional<ImageFormat> FormatForExtension(const std::string &path);

// What an image file's header says: its format, its size (for OpenEXR, the
// display window's) and the depth of its samples: PNG 8 bits or fewer -> 8,
// PNG 16 -> 16, EXR -> 32; and the file's length. Reads no pixels. Throws Failure naming the file
// when it cannot be read, is not a regular file, or is too small for the
// pixels its header promises.
struct ImageInfo {
    ImageFormat format = ImageFormat::kPng;
    int width = 0;
    int height = 0;
    Depth depth = Depth::k8;
    std::uint64_t fileBytes = 0;
};
ImageInfo ReadImageInfo(const std::string &path);

// The depth of ReadImageInfo.
Depth FileDepth(const std::string &path);

// Reads an image into a world of `depth`, or of the file's own depth (above)
// when none is given. Throws Failure naming the file and the reason.
Image ReadImage(const std::string &path, std::optional<Depth> depth = std::nullopt,
                ExrAlpha exrAlpha = ExrAlpha::kPremultiplied);

// Reading is getting the file's bytes, then decoding them; writing is
// encoding, then putting the bytes in place. The steps apart, so that each
// can be timed: ReadImage is DecodeImage of ReadFileBytes, WriteImage is
// WriteFileBytes of EncodeImage.

// The whole of the regular file `path`. Throws Failure naming it.
std::vector<unsigned char> ReadFileBytes(const std::string &path);

// Decodes the content of an image file, `bytes`, as ReadImage does; `path`
// names it in messages.
Image DecodeImage(const std::string &path, const std::vector<unsigned char> &bytes,
                  std::optional<Depth> depth = std::nullopt,
                  ExrAlpha exrAlpha = ExrAlpha::kPremultiplied);

// Decodes as DecodeImage does, into a host world of `depth`: the rows of a
// PNG file go straight into the world's.
host::World DecodeWorld(const std::string &path, const std::vector<unsigned char> &bytes,
                        Depth depth, ExrAlpha exrAlpha = ExrAlpha::kPremultiplied);

// Why `path` cannot be read as a file ("a folder, not a file", "a pipe, not a
// file", ...), or none when it is a regular file or cannot be looked at (the
// open that follows says why).
std::optional<std::string> NotAFile(const std::string &path);

struct WriteOptions {
    std::optional<int> pngBits;      // 8 or 16
    std::optional<ExrType> exrType;  // half or float
    ExrAlpha exrAlpha = ExrAlpha::kPremultiplied;
    PngCompression pngCompression = PngCompression::kFast;
    ExrCompression exrCompression = ExrCompression::kPiz;
};

// Writes `image` in the format of the path's extension, atomically. Throws
// Failure naming the file; an existing file stays as it was on failure.
void WriteImage(const std::string &path, const Image &image, const WriteOptions &options = {});

// The content of the file WriteImage writes. Throws Failure naming `path`.
std::vector<unsigned char> EncodeImage(const std::string &path, const Image &image,
                                       const WriteOptions &options = {});

// Puts `bytes` in place of the file `path` as WriteImage does: atomically,
// synced to the disk. Throws Failure naming the file.
void WriteFileBytes(const std::string &path, const std::vector<unsigned char> &bytes);

}  // namespace cli
