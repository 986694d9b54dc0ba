// Helpers of the command-line tool's tests: a fresh, empty folder per test,
// removed with everything in it afterwards, and pixels read at any depth.
#pragma once

#include <ImathBox.h>
#include <sys/resource.h>
#include <sys/types.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "cli/Errors.h"
#include "cli/Image.h"
#include "host/Host.h"

// Skips a test of the built program when it or the plug-in is missing.
#define REQUIRE_BUILT()                                                                        \
    if (::access(STIPPLEX_CLI_PATH, X_OK) != 0 || ::access(STIPPLEX_PLUGIN_PATH, R_OK) != 0) { \
        GTEST_SKIP() << "the stipplex program or the plug-in is not built yet";                \
    }

namespace clitest {

class TestDir {
public:
    TestDir();
    ~TestDir();
    TestDir(const TestDir &) = delete;
    TestDir &operator=(const TestDir &) = delete;

    std::string Path(const std::string &name) const { return (root_ / name).string(); }
    // Names of the entries in the folder (or in `sub`, a folder inside it or
    // any path), sorted.
    std::vector<std::string> Entries(const std::string &sub = "") const;

private:
    std::filesystem::path root_;
};

// The message of the E that `f` throws, or "" when it throws none.
template <typename E = cli::Failure, typename F>
std::string FailureOf(F f)
{
    try {
        f();
    } catch (const E &e) {
        return e.what();
    }
    return "";
}

void WriteFile(const std::string &path, const std::string &content);
// Whether the folder's file system makes unnamed files (O_TMPFILE).
bool UnnamedFilesSupported(const std::string &folder);
std::string ReadFile(const std::string &path);

// Channels alpha, red, green, blue of pixel i of an image of any depth.
using Argb4 = std::tuple<double, double, double, double>;
Argb4 ArgbAt(const cli::Image &image, std::size_t i);
inline Argb4 ArgbAt(const cli::Image &image, int x, int y)
{
    return ArgbAt(image, static_cast<std::size_t>(y * image.Width() + x));
}

// Random channels over each depth's full range; at depth 32 on the 16-bit
// PNG grid (k / 65535), which a 16-bit PNG keeps exactly.
cli::Image RandomImage(int w, int h, cli::Depth depth, unsigned seed);

// Definitions as the effect adds them: of a type alone; a float slider
// from the slider's minimum to a tenth of the valid maximum, default 10, one
// decimal; an integer slider; a popup of `items`, default 1.
host::ParamInfo Info(PF_ParamType type);
host::ParamInfo FloatSlider(float validMin, float validMax, bool percent);
host::ParamInfo Slider(A_long validMin, A_long validMax);
host::ParamInfo Popup(std::vector<std::string> items);

// A run of the built program.
struct Outcome {
    int status = -1;  // the exit status, or -1 when ended by a signal
    int signal = 0;   // the signal that ended it
    std::string out;
    std::string err;
};
// Starts the program in `dir` with `args`, its standard streams in files
// there, its configuration folder (stored defaults) inside `dir`, never the
// user's, the stop signals at their defaults and, when `fileSizeLimit` is
// set, that limit on the size of files it writes.
pid_t Start(const TestDir &dir, const std::vector<std::string> &args, rlim_t fileSizeLimit = 0);
// Waits for the program and takes its output, leaving no file of it behind.
Outcome Wait(const TestDir &dir, pid_t pid);
inline Outcome RunTool(const TestDir &dir, const std::vector<std::string> &args,
                       rlim_t fileSizeLimit = 0)
{
    return Wait(dir, Start(dir, args, fileSizeLimit));
}

// The largest difference of any channel of any pixel, each image's channels
// times its scale.
double MaxDifference(const cli::Image &a, const cli::Image &b, double scaleA = 1,
                     double scaleB = 1);

// An OpenEXR file of float channels `names`, interleaved in `pixels` over
// the data window, as another program writes it.
void WriteExr(const std::string &path, const Imath::Box2i &display, const Imath::Box2i &data,
              const std::vector<const char *> &names, const std::vector<float> &pixels);
inline void WriteExr(const std::string &path, int width, int height,
                     const std::vector<const char *> &names, const std::vector<float> &pixels)
{
    const Imath::Box2i box(Imath::V2i(0, 0), Imath::V2i(width - 1, height - 1));
    WriteExr(path, box, box, names, pixels);
}
// R, G, B, A of every pixel of an OpenEXR file as floats, through the library.
std::vector<float> ReadExrPixels(const std::string &path);

}  // namespace clitest
