// stipplex_bench: the halftone renderer alone and whole frames through our
// host, at 1920 x 1080 and 3840 x 2160, at 8 bits, 16 bits and float; and
// writing a rendered frame with each of the command's compressions.
//
//     stipplex_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
//
// Times are the CPU time of the rendering thread (see ThreadSeconds).
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "Bench.h"

namespace {

// The effect takes its parameter defaults from the user's stored defaults
// when there are any; the scenes are written against the built-in ones, so
// the effect gets an empty configuration folder of its own.
class EmptyConfigFolder {
public:
    EmptyConfigFolder()
    {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "stipplex-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
            setenv("XDG_CONFIG_HOME", path_.c_str(), 1);
        }
    }
    ~EmptyConfigFolder()
    {
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(path_, ignored);
        }
    }
    EmptyConfigFolder(const EmptyConfigFolder &) = delete;
    EmptyConfigFolder &operator=(const EmptyConfigFolder &) = delete;

private:
    std::string path_;
};

}  // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    EmptyConfigFolder config;
    bench::RegisterRenderDotsBenchmarks();
    bench::RegisterHostFrameBenchmarks();
    bench::RegisterWriteImageBenchmarks();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    const std::vector<std::string> faults = bench::ShutDownHostEffect();
    for (const std::string &fault : faults) {
        std::fprintf(stderr, "effect fault: %s\n", fault.c_str());
    }
    return faults.empty() ? 0 : 1;
}
