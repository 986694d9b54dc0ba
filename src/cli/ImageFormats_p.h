// The two file formats behind ImageIO.h. Private to the image I/O code.
#pragma once

#include <optional>
#include <string>

#include "Image.h"
#include "ImageIO.h"

namespace cli::detail {

// `name` is the path shown in messages; `file` is the path opened. They
// differ when writing, where the content goes to a temporary file first.
// Every function throws Failure with a message naming `name`.

bool LooksLikePng(const unsigned char *head, std::size_t size);
ImageInfo ReadPngInfo(const std::string &name);
Image ReadPng(const std::string &name, std::optional<Depth> depth);
void WritePng(const std::string &name, const std::string &file, const Image &image, int bits,
              PngCompression compression);

bool LooksLikeExr(const unsigned char *head, std::size_t size);
ImageInfo ReadExrInfo(const std::string &name);
Image ReadExr(const std::string &name, std::optional<Depth> depth, ExrAlpha alpha);
void WriteExr(const std::string &name, const std::string &file, const Image &image, ExrType type,
              ExrAlpha alpha, ExrCompression compression);

}  // namespace cli::detail
