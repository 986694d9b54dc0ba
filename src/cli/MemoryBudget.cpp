#include "MemoryBudget.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>

#include "Commands_p.h"
#include "Errors.h"
#include "ImageIO.h"

namespace cli {

namespace {

// Costs are summed as doubles: pixel counts of hostile headers overflow 64
// bits once multiplied by bytes and copies.
std::uint64_t Saturate(double bytes)
{
    const double most = static_cast<double>(std::numeric_limits<std::uint64_t>::max());
    return bytes >= most ? std::numeric_limits<std::uint64_t>::max()
                         : static_cast<std::uint64_t>(bytes);
}

double Pixels(PixelSize s)
{
    return static_cast<double>(s.width) * static_cast<double>(s.height);
}

// A layer downsampled as the host does it: at least one pixel each way.
double Downsampled(PixelSize s, int n)
{
    const double w = std::max(1.0, std::floor(static_cast<double>(s.width) / n + 0.5));
    const double h = std::max(1.0, std::floor(static_cast<double>(s.height) / n + 0.5));
    return w * h;
}

double PixelBytes(Depth depth)
{
    return depth == Depth::k8 ? 4.0 : depth == Depth::k16 ? 8.0 : 16.0;
}

// The reader's own buffers per pixel, at most: a float RGBA row set for
// OpenEXR, the decoded rows of an interlaced 16-bit PNG.
constexpr double kReaderBytesPerPixel = 16.0;
// The writer's copy for OpenEXR: float RGBA and half RGBA.
constexpr double kExrWriterBytesPerPixel = 24.0;
// The encoded file at most, uncompressed with its framing: 16-bit PNG RGBA
// with a filter byte per row, float OpenEXR RGBA with a line offset table.
constexpr double kPngFileBytesPerPixel = 9.0;
constexpr double kExrFileBytesPerPixel = 17.0;

// A cgroup limit in bytes, or 0 when there is none.
std::uint64_t ControlGroupLimit()
{
    for (const char *file :
         {"/sys/fs/cgroup/memory.max", "/sys/fs/cgroup/memory/memory.limit_in_bytes"}) {
        std::ifstream in(file);
        std::string text;
        if (in >> text && !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
                return std::isdigit(static_cast<unsigned char>(c));
            })) {
            try {
                return std::stoull(text);
            } catch (const std::exception &) {
                return 0;  // beyond 64 bits: no limit
            }
        }
    }
    return 0;
}

}  // namespace

std::uint64_t ParseMemorySize(const std::string &text)
{
    const std::string bad =
        "bad --memory-limit '" + text + "': expected a size such as 512M, 2G or a number of bytes";
    std::size_t end = 0;
    double value = 0;
    try {
        value = std::stod(text, &end);
    } catch (const std::exception &) {
        throw UsageError(bad);
    }
    if (!text.empty() && !std::isdigit(static_cast<unsigned char>(text[0]))) {
        throw UsageError(bad);  // no sign, no blanks, no "inf"
    }
    std::string unit = text.substr(end);
    for (char &c : unit) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (unit.size() == 2 && unit[1] == 'B') {
        unit.pop_back();
    }
    const std::string units = "KMGT";
    double scale = 1;
    if (unit == "B") {
        unit.clear();
    }
    if (!unit.empty()) {
        const std::size_t power = units.find(unit);
        if (unit.size() != 1 || power == std::string::npos) {
            throw UsageError(bad);
        }
        scale = std::pow(1024.0, static_cast<double>(power + 1));
    }
    const double bytes = value * scale;
    if (!std::isfinite(bytes) || bytes < 1) {
        throw UsageError(bad);
    }
    return Saturate(bytes);
}

std::uint64_t DefaultMemoryLimit()
{
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    std::uint64_t total = pages > 0 && pageSize > 0 ? static_cast<std::uint64_t>(pages) *
                                                          static_cast<std::uint64_t>(pageSize)
                                                    : std::uint64_t{4} << 30;
    const std::uint64_t group = ControlGroupLimit();
    if (group > 0) {
        total = std::min(total, group);
    }
    return total / 2;
}

std::string FormatBytes(std::uint64_t bytes)
{
    const char *const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    if (bytes < 1024) {
        return std::to_string(bytes) + " bytes";
    }
    double value = static_cast<double>(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 5) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

std::uint64_t ReadCost(PixelSize size, Depth depth, std::uint64_t fileBytes)
{
    return Saturate(static_cast<double>(fileBytes) +
                    Pixels(size) * (kReaderBytesPerPixel + 2 * PixelBytes(depth)));
}

std::uint64_t FrameCost(const FrameShape &frame)
{
    const double bytes = PixelBytes(frame.depth);
    const int n = frame.downsample;
    // The host copies a layer once for the effect's checkout, and once more
    // before when it downsamples.
    const double copies = n == 1 ? 1 : 2;
    const double input = Pixels(frame.input) * bytes;
    const double frameOut = Downsampled(frame.input, n) * bytes;
    double layers = 0;
    double layerCopies = 0;
    double reading = static_cast<double>(ReadCost(frame.input, frame.depth, frame.fileBytes));
    for (const PixelSize &layer : frame.layers) {
        layers += Pixels(layer) * bytes;
        layerCopies += copies * Downsampled(layer, n) * bytes;
        reading =
            std::max(reading, static_cast<double>(ReadCost(layer, frame.depth, frame.fileBytes)));
    }
    const double whileReading = input + layers + reading;
    // Input copies, layer copies, output, dots.
    const double whileRendering = input + layers + copies * frameOut + layerCopies + 2 * frameOut;
    const double whileWriting =
        input + layers + frameOut +
        Downsampled(frame.input, n) * (frame.exrOutput
                                           ? kExrWriterBytesPerPixel + kExrFileBytesPerPixel
                                           : kPngFileBytesPerPixel);
    return Saturate(std::max({whileReading, whileRendering, whileWriting}));
}

void CheckRead(const std::string &file, Depth depth, std::uint64_t limit)
{
    const ImageInfo info = ReadImageInfo(file);
    const PixelSize size{info.width, info.height};
    detail::CheckMemory(file, size, depth, ReadCost(size, depth, info.fileBytes), limit);
}

}  // namespace cli
