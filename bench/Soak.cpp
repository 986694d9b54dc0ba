// stipplex_soak: a long sequence rendered in one process through one
// instance of the real plug-in, several frames at once (the host's
// multi-frame mode), watching resident memory and protocol faults.
//
//     stipplex_soak [--frames N] [--threads T] [--size WxH] [--depth 8|16|32]
//                   [--scene defaults|dense|stars|effectors]
//
// Every frame gets a new random arrangement. Resident memory is read after
// each frame; the figure that counts is its growth from the end of the first
// 100 frames to the highest it reaches afterwards. Exits 1 if that growth is
// 1 % or more, if a frame fails, or if the effect commits a protocol fault.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Bench.h"
#include "params/ParamIds.h"

namespace {

constexpr long kSettleFrames = 100;

long ResidentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

[[noreturn]] void Usage(const char *what)
{
    std::fprintf(stderr,
                 "stipplex_soak: %s\n"
                 "usage: stipplex_soak [--frames N] [--threads T] [--size WxH] "
                 "[--depth 8|16|32] [--scene defaults|dense|stars|effectors]\n",
                 what);
    std::exit(2);
}

long Number(const char *text, const char *option)
{
    char *end = nullptr;
    const long n = std::strtol(text, &end, 10);
    if (!*text || *end || n <= 0) Usage((std::string("bad value for ") + option).c_str());
    return n;
}

}  // namespace

int main(int argc, char **argv)
{
    long frames = 10000, threads = 2;
    A_long width = 1920, height = 1080;
    host::Depth depth = host::Depth::k8;
    bench::Scene scene = bench::Scene::kEffectors;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) Usage(("missing value after " + a).c_str());
        const char *v = argv[++i];
        if (a == "--frames") {
            frames = Number(v, "--frames");
        } else if (a == "--threads") {
            threads = Number(v, "--threads");
        } else if (a == "--size") {
            if (std::sscanf(v, "%dx%d", &width, &height) != 2 || width <= 0 || height <= 0) {
                Usage("bad value for --size");
            }
        } else if (a == "--depth") {
            const long d = Number(v, "--depth");
            if (d != 8 && d != 16 && d != 32) Usage("bad value for --depth");
            depth = static_cast<host::Depth>(d);
        } else if (a == "--scene") {
            bool found = false;
            for (bench::Scene s : bench::kScenes) {
                if (v == std::string(bench::SceneName(s))) {
                    scene = s;
                    found = true;
                }
            }
            if (!found) Usage("bad value for --scene");
        } else {
            Usage(("unknown option " + a).c_str());
        }
    }

    // The scenes are written against the built-in defaults, not stored ones.
    std::string config = (std::filesystem::temp_directory_path() / "stipplex-soak-XXXXXX").string();
    if (mkdtemp(config.data()) != nullptr) setenv("XDG_CONFIG_HOME", config.c_str(), 1);

    host::HostOptions options;
    options.poison_uncleared_worlds = false;  // as the real host hands them out
    host::Effect effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH), options);
    host::Instance instance = effect.newInstance(width, height);
    bench::ApplyScene(instance, scene);
    instance.setSlider(instance.indexOfId(params::id::RandomInterval), 1);
    instance.setFloatSlider(instance.indexOfId(params::id::RandomSize), 30);
    const host::World input = bench::Gradient(width, height, depth);
    const host::World map = bench::Gradient(width, height, depth);

    std::printf("%ld frames of %s at %dx%d, %s, %ld threads through one instance\n", frames,
                bench::SceneName(scene), width, height, bench::DepthName(depth), threads);
    std::atomic<long> next{0}, done{0}, failed{0};
    std::atomic<long> settled{0}, highest{0};
    std::mutex print;
    const auto start = std::chrono::steady_clock::now();
    auto work = [&] {
        for (long f = next++; f < frames; f = next++) {
            host::FrameRequest req;
            req.input = &input;
            req.layers[bench::kMapLayerId] = &map;
            req.current_time = static_cast<A_long>(f);
            req.total_time = static_cast<A_long>(frames);
            if (!instance.render(req).ok()) ++failed;
            const long finished = ++done;
            const long rss = ResidentBytes();
            if (finished == kSettleFrames) settled = rss;
            if (finished > kSettleFrames) {
                long seen = highest.load();
                while (rss > seen && !highest.compare_exchange_weak(seen, rss)) {
                }
            }
            if (finished % 1000 == 0) {
                std::lock_guard<std::mutex> lock(print);
                std::printf("  %6ld frames  resident %.1f MB\n", finished, rss / 1e6);
                std::fflush(stdout);
            }
        }
    };
    std::vector<std::thread> pool;
    for (long t = 0; t < threads; ++t) pool.emplace_back(work);
    for (std::thread &t : pool) t.join();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    effect.shutdown();
    const std::vector<std::string> faults = effect.faults();
    for (const std::string &fault : faults) std::fprintf(stderr, "fault: %s\n", fault.c_str());
    std::error_code ignored;
    std::filesystem::remove_all(config, ignored);

    const double growth =
        settled > 0 ? 100.0 * (std::max(highest.load(), settled.load()) - settled) / settled : 0;
    std::printf(
        "%ld frames in %.1f s (%.1f frames/s); resident after %ld frames %.1f MB, highest "
        "after %.1f MB, growth %.2f %%; %ld failed frames; %zu faults\n",
        done.load(), seconds, done / seconds, kSettleFrames, settled / 1e6,
        std::max(highest.load(), settled.load()) / 1e6, growth, failed.load(), faults.size());
    const bool ok = failed == 0 && faults.empty() && (frames <= kSettleFrames || growth < 1.0);
    return ok ? 0 : 1;
}
