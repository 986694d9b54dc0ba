// Writing a rendered frame as the command does (cli::WriteImage: encoding and
// the file), for every PNG and OpenEXR compression. The frame is the
// defaults scene over the demo picture scaled to 1920 x 1080, rendered once
// through the command's own render path; `bytes` is the file's size.
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "Bench.h"
#include "cli/FrameRender.h"
#include "cli/ImageIO.h"
#include "cli/Session.h"
#include "cli/WorldBridge.h"

namespace bench {

namespace {

// The demo picture at twice its size (each pixel a 2 x 2 block).
cli::Image DemoPicture(cli::Depth depth)
{
    const cli::Image small =
        cli::ReadImage(std::string(STIPPLEX_SOURCE_DIR) + "/assets/demo-input.png", depth);
    cli::Image big(small.Width() * 2, small.Height() * 2, depth);
    const std::size_t bytes = small.PixelBytes();
    auto pixels = [](const cli::Image &image) {
        switch (image.GetDepth()) {
            case cli::Depth::k8:
                return reinterpret_cast<const char *>(image.Pixels8());
            case cli::Depth::k16:
                return reinterpret_cast<const char *>(image.Pixels16());
            case cli::Depth::k32:
                break;
        }
        return reinterpret_cast<const char *>(image.PixelsF());
    };
    char *to = const_cast<char *>(pixels(big));
    const char *from = pixels(small);
    for (int y = 0; y < big.Height(); ++y) {
        for (int x = 0; x < big.Width(); ++x) {
            std::memcpy(to + (static_cast<std::size_t>(y) * big.Width() + x) * bytes,
                        from + (static_cast<std::size_t>(y / 2) * small.Width() + x / 2) * bytes,
                        bytes);
        }
    }
    return big;
}

// The rendered frame at each depth, made once.
const cli::Image &Frame(cli::Depth depth)
{
    static std::map<cli::Depth, cli::Image> frames;
    if (frames.empty()) {
        cli::Session session(STIPPLEX_PLUGIN_PATH);
        for (const cli::Depth d : kDepths) {
            const host::World input = cli::ToWorld(DemoPicture(d));
            host::Instance instance =
                session.GetEffect().newInstance(input.width(), input.height());
            frames[d] = cli::RenderFrame(instance, input, {}, cli::FrameTime{}, 1);
        }
        session.Shutdown();
    }
    return frames.at(depth);
}

void WriteImage(benchmark::State &state, const std::string &extension, cli::Depth depth,
                cli::WriteOptions options)
{
    const cli::Image &frame = Frame(depth);
    const std::string path =
        (std::filesystem::temp_directory_path() / ("stipplex-bench-write." + extension)).string();
    for (auto _ : state) {
        const double start = ThreadSeconds();
        cli::WriteImage(path, frame, options);
        state.SetIterationTime(ThreadSeconds() - start);
    }
    struct stat st = {};
    ::stat(path.c_str(), &st);
    state.counters["bytes"] = static_cast<double>(st.st_size);
    std::filesystem::remove(path);
}

}  // namespace

void RegisterWriteImageBenchmarks()
{
    auto add = [](const std::string &name, const std::string &extension, cli::Depth depth,
                  const cli::WriteOptions &options) {
        benchmark::RegisterBenchmark(("WriteImage/" + name).c_str(), WriteImage, extension, depth,
                                     options)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->MinTime(0.2);
    };
    for (const cli::Depth depth : {cli::Depth::k8, cli::Depth::k16}) {
        for (int i = 0; i <= static_cast<int>(cli::PngCompression::kSmallest); ++i) {
            cli::WriteOptions options;
            options.pngCompression = static_cast<cli::PngCompression>(i);
            add(std::string("png/") + cli::PngCompressionName(options.pngCompression) + "/" +
                    DepthName(depth),
                "png", depth, options);
        }
    }
    // Half channels from the 16-bit frame, float ones from the float frame.
    for (const cli::ExrType type : {cli::ExrType::kHalf, cli::ExrType::kFloat}) {
        for (int i = 0; i <= static_cast<int>(cli::ExrCompression::kDwab); ++i) {
            cli::WriteOptions options;
            options.exrType = type;
            options.exrCompression = static_cast<cli::ExrCompression>(i);
            add(std::string("exr/") + cli::ExrCompressionName(options.exrCompression) +
                    (type == cli::ExrType::kHalf ? "/half" : "/float"),
                "exr", type == cli::ExrType::kHalf ? cli::Depth::k16 : cli::Depth::k32, options);
        }
    }
}

}  // namespace bench
