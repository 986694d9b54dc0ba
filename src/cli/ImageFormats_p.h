// The two file formats behind ImageIO.h. Private to the image I/O code.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Image.h"
#include "ImageIO.h"

namespace cli::detail {

// `name` is the file the header is read from, and the path shown in
// messages; decoding and encoding work on the file's content in memory.
// Every function throws Failure with a message naming `name`.

using Bytes = std::vector<unsigned char>;

bool LooksLikePng(const unsigned char *head, std::size_t size);
ImageInfo ReadPngInfo(const std::string &name);
Image DecodePng(const std::string &name, const Bytes &bytes, std::optional<Depth> depth);
host::World DecodePngWorld(const std::string &name, const Bytes &bytes, Depth depth);
Bytes EncodePng(const std::string &name, const Image &image, int bits, PngCompression compression);

bool LooksLikeExr(const unsigned char *head, std::size_t size);
ImageInfo ReadExrInfo(const std::string &name);
Image DecodeExr(const std::string &name, const Bytes &bytes, std::optional<Depth> depth,
                ExrAlpha alpha);
Bytes EncodeExr(const std::string &name, const Image &image, ExrType type, ExrAlpha alpha,
                ExrCompression compression);

}  // namespace cli::detail
