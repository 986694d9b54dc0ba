#include "Input.h"

#include <dirent.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "cli/DepthConvert.h"
#include "cli/Errors.h"
#include "cli/FramePattern.h"
#include "cli/ImageIO.h"
#include "cli/MemoryBudget.h"
#include "cli/VideoReader.h"
#include "cli/WorldBridge.h"

namespace studio {

namespace {

std::uint32_t BigEndian32(const unsigned char *p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           std::uint32_t{p[3]};
}

std::int32_t LittleEndian32(const unsigned char *p)
{
    return static_cast<std::int32_t>(std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) |
                                     (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24));
}

// The EXR header's display window: attributes are name, type (both ended by
// a zero byte), a 32-bit size and the value, until an empty name.
bool ExrDisplayWindow(const std::string &header, int &width, int &height)
{
    std::size_t at = 8;  // magic and version
    while (at < header.size() && header[at] != '\0') {
        const std::size_t nameEnd = header.find('\0', at);
        const std::size_t typeEnd =
            nameEnd == std::string::npos ? nameEnd : header.find('\0', nameEnd + 1);
        if (typeEnd == std::string::npos || typeEnd + 5 > header.size()) {
            return false;
        }
        const std::string name = header.substr(at, nameEnd - at);
        const auto *bytes = reinterpret_cast<const unsigned char *>(header.data());
        const std::int32_t size = LittleEndian32(bytes + typeEnd + 1);
        const std::size_t value = typeEnd + 5;
        if (size < 0 || value + static_cast<std::size_t>(size) > header.size()) {
            return false;
        }
        if (name == "displayWindow" && size == 16) {
            const long long w = static_cast<long long>(LittleEndian32(bytes + value + 8)) -
                                LittleEndian32(bytes + value) + 1;
            const long long h = static_cast<long long>(LittleEndian32(bytes + value + 12)) -
                                LittleEndian32(bytes + value + 4) + 1;
            width = static_cast<int>(std::clamp<long long>(w, 0, 1 << 30));
            height = static_cast<int>(std::clamp<long long>(h, 0, 1 << 30));
            return true;
        }
        at = value + static_cast<std::size_t>(size);
    }
    return false;
}

std::string FileName(const std::string &path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Folder(const std::string &path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

// `what`: "images" or "clips", for the message.
void CheckSize(const std::string &path, int width, int height, const ImageLimits &limits,
               const char *what)
{
    if (width > limits.maxSide || height > limits.maxSide ||
        static_cast<long long>(width) * height > limits.maxPixels) {
        throw cli::Failure("'" + path + "' is " + std::to_string(width) + " x " +
                           std::to_string(height) + ": the studio takes " + what + " up to " +
                           std::to_string(limits.maxSide) + " pixels a side and " +
                           std::to_string(limits.maxPixels / 1000000) + " megapixels");
    }
}

}  // namespace

void ImageFileSize(const std::string &path, int &width, int &height)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw cli::Failure("cannot open '" + path + "': " + std::strerror(errno));
    }
    std::string header(64 * 1024, '\0');
    in.read(header.data(), static_cast<std::streamsize>(header.size()));
    header.resize(static_cast<std::size_t>(in.gcount()));
    const auto *bytes = reinterpret_cast<const unsigned char *>(header.data());
    static const unsigned char kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (header.size() >= 24 && std::memcmp(bytes, kPng, 8) == 0 &&
        std::memcmp(bytes + 12, "IHDR", 4) == 0) {
        width = static_cast<int>(std::min<std::uint32_t>(BigEndian32(bytes + 16), 1u << 30));
        height = static_cast<int>(std::min<std::uint32_t>(BigEndian32(bytes + 20), 1u << 30));
        return;
    }
    static const unsigned char kExr[4] = {0x76, 0x2f, 0x31, 0x01};
    if (header.size() >= 8 && std::memcmp(bytes, kExr, 4) == 0) {
        if (ExrDisplayWindow(header, width, height)) {
            return;
        }
        throw cli::Failure("'" + path + "': the OpenEXR header is damaged or cut short");
    }
    throw cli::Failure("'" + path + "' is neither a PNG nor an OpenEXR image");
}

void CheckImageLimits(const std::string &path, const ImageLimits &limits)
{
    int width = 0;
    int height = 0;
    ImageFileSize(path, width, height);
    if (width <= 0 || height <= 0) {
        throw cli::Failure("'" + path + "' has no pixels");
    }
    CheckSize(path, width, height, limits, "images");
    // What reading it takes (its file's bytes included), under the budget
    // renders have.
    cli::CheckRead(path, cli::FileDepth(path), cli::DefaultMemoryLimit());
}

std::vector<long> FindSequenceFrames(const std::string &pattern)
{
    const std::string folder = Folder(pattern);
    const std::string name = FileName(pattern);
    const std::size_t hash = name.find('#');
    std::vector<long> frames;
    DIR *dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return frames;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const std::string file = entry->d_name;
        if (file.size() < hash || file.compare(0, hash, name, 0, hash) != 0) {
            continue;
        }
        std::size_t end = hash;
        while (end < file.size() && end - hash < 9 && file[end] >= '0' && file[end] <= '9') {
            ++end;
        }
        if (end == hash) {
            continue;
        }
        const long frame = std::stol(file.substr(hash, end - hash));
        if (cli::ExpandFramePattern(name, frame) == file) {
            frames.push_back(frame);
        }
    }
    ::closedir(dir);
    std::sort(frames.begin(), frames.end());
    return frames;
}

InputSource::InputSource(std::string path, std::string displayName, const ImageLimits &limits)
    : path_(std::move(path)), name_(std::move(displayName)), limits_(limits)
{
    if (!cli::HasFramePattern(path_) && cli::IsClipFile(path_)) {
        // A playlist (HLS, DASH, concat lists: text) would have FFmpeg read
        // the files and addresses it names: only clips the user opened.
        std::ifstream in(path_, std::ios::binary);
        char head[4096];
        in.read(head, sizeof head);
        if (std::find(head, head + in.gcount(), '\0') == head + in.gcount()) {
            throw cli::Failure("'" + path_ +
                               "' is neither a PNG or OpenEXR image nor a clip (it is text)");
        }
        reader_ = std::make_unique<cli::VideoReader>(path_);
        const cli::ClipInfo &info = reader_->Info();
        width_ = info.width;
        height_ = info.height;
        CheckSize(path_, width_, height_, limits_, "clips");
        depth_ = info.depth;
        frames_.resize(static_cast<std::size_t>(std::max(1L, info.frameCount)));
        for (std::size_t i = 0; i < frames_.size(); ++i) {
            frames_[i] = static_cast<long>(i);
        }
        reader_->Start(0);
        nextRead_ = 0;
        Frame(0);
        return;
    }
    std::string first = path_;
    if (cli::HasFramePattern(path_)) {
        frames_ = FindSequenceFrames(path_);
        if (frames_.empty()) {
            throw cli::UsageError("no frames of the sequence '" + path_ +
                                  "' found (# stands for the frame number, e.g. in.####.png)");
        }
        first = cli::ExpandFramePattern(path_, frames_.front());
    }
    CheckImageLimits(first, limits_);
    depth_ = cli::FileDepth(first);
    auto world = std::make_shared<host::World>(cli::ToWorld(cli::ReadImage(first, depth_)));
    width_ = world->width();
    height_ = world->height();
    cachedFrame_ = First();
    cached_ = std::move(world);
}

InputSource::~InputSource() = default;

cli::FrameTime InputSource::TimeAt(long frame, int fps) const
{
    if (reader_) {
        const cli::ClipInfo &info = reader_->Info();
        return cli::FrameTime{frame, info.rateNum, Last() + 1, info.rateDen};
    }
    return cli::FrameTime{frame, fps, Last() + 1};
}

std::string InputSource::FileFor(long frame) const
{
    if (frames_.empty()) {
        return path_;
    }
    // The nearest frame at or before the one asked for.
    auto it = std::upper_bound(frames_.begin(), frames_.end(), frame);
    const long existing = it == frames_.begin() ? frames_.front() : *(it - 1);
    return cli::ExpandFramePattern(path_, existing);
}

std::shared_ptr<const host::World> InputSource::Frame(long frame)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (frames_.empty() || frame == cachedFrame_) {
        return cached_;
    }
    if (reader_) {
        // Frames a little ahead are read on to; for any other the clip is
        // opened anew and sought (a reader goes forward only).
        frame = std::clamp(frame, First(), Last());
        if (nextRead_ < 0 || frame < nextRead_ || frame - nextRead_ > 32) {
            reader_ = std::make_unique<cli::VideoReader>(path_);
            reader_->Start(frame);
        }
        cli::Image image;
        long index = -1;
        std::int64_t pts = 0;
        do {
            if (!reader_->Read(image, depth_, index, pts)) {
                nextRead_ = -1;
                throw cli::Failure("'" + path_ + "' has no frame " + std::to_string(frame));
            }
        } while (index < frame);
        nextRead_ = index + 1;
        cachedFrame_ = frame;
        cached_ = std::make_shared<host::World>(cli::ToWorld(image));
        return cached_;
    }
    const std::string file = FileFor(frame);
    CheckImageLimits(file, limits_);
    auto world = std::make_shared<host::World>(cli::ToWorld(cli::ReadImage(file, depth_)));
    if (world->width() != width_ || world->height() != height_) {
        throw cli::Failure("frame " + std::to_string(frame) + " ('" + file + "') is " +
                           std::to_string(world->width()) + " x " +
                           std::to_string(world->height()) + ", the first frame was " +
                           std::to_string(width_) + " x " + std::to_string(height_));
    }
    cachedFrame_ = frame;
    cached_ = std::move(world);
    return cached_;
}

std::vector<unsigned char> ToRgba8(const cli::Image &image)
{
    std::vector<unsigned char> out(image.PixelCount() * 4);
    unsigned char *o = out.data();
    const std::size_t n = image.PixelCount();
    switch (image.GetDepth()) {
        case cli::Depth::k8: {
            const cli::Argb8 *p = image.Pixels8();
            for (std::size_t i = 0; i < n; ++i, o += 4) {
                o[0] = p[i].r;
                o[1] = p[i].g;
                o[2] = p[i].b;
                o[3] = p[i].a;
            }
            break;
        }
        case cli::Depth::k16: {
            const cli::Argb16 *p = image.Pixels16();
            for (std::size_t i = 0; i < n; ++i, o += 4) {
                o[0] = cli::Png8FromWorld16(p[i].r);
                o[1] = cli::Png8FromWorld16(p[i].g);
                o[2] = cli::Png8FromWorld16(p[i].b);
                o[3] = cli::Png8FromWorld16(p[i].a);
            }
            break;
        }
        case cli::Depth::k32: {
            const cli::ArgbF *p = image.PixelsF();
            for (std::size_t i = 0; i < n; ++i, o += 4) {
                o[0] = cli::Png8FromFloat(p[i].r);
                o[1] = cli::Png8FromFloat(p[i].g);
                o[2] = cli::Png8FromFloat(p[i].b);
                o[3] = cli::Png8FromFloat(p[i].a);
            }
            break;
        }
    }
    return out;
}

}  // namespace studio
