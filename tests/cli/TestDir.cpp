#include "TestDir.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

namespace clitest {

TestDir::TestDir()
{
    const char *base = std::getenv("STIPPLEX_TEST_TMP");
    std::filesystem::path parent = base != nullptr && *base != '\0'
                                       ? std::filesystem::path(base)
                                       : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(parent);
    std::string pattern = (parent / "stipplex-cli-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a test folder under " + parent.string());
    }
    root_ = pattern;
}

TestDir::~TestDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::vector<std::string> TestDir::Entries() const
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(root_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void WriteFile(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

bool UnnamedFilesSupported(const std::string &folder)
{
#if defined(O_TMPFILE)
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
#else
    (void)folder;
#endif
    return false;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Argb4 ArgbAt(const cli::Image &image, std::size_t i)
{
    auto argb = [](const auto &p) { return Argb4(p.a, p.r, p.g, p.b); };
    switch (image.GetDepth()) {
        case cli::Depth::k8:
            return argb(image.Pixels8()[i]);
        case cli::Depth::k16:
            return argb(image.Pixels16()[i]);
        default:
            return argb(image.PixelsF()[i]);
    }
}

}  // namespace clitest
