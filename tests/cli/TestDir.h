// Helpers of the command-line tool's tests: a fresh, empty folder per test,
// removed with everything in it afterwards, and pixels read at any depth.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "cli/Image.h"

namespace clitest {

class TestDir {
public:
    TestDir();
    ~TestDir();
    TestDir(const TestDir &) = delete;
    TestDir &operator=(const TestDir &) = delete;

    std::string Path(const std::string &name) const { return (root_ / name).string(); }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> Entries() const;

private:
    std::filesystem::path root_;
};

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

}  // namespace clitest
