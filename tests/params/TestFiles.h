// Folders, files and environment variables for the tests that touch the disk.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace paramtest {

// A new empty folder of the test's own under STIPPLEX_TEST_TMP, else the
// system's temporary folder.
inline std::filesystem::path FreshFolder(const std::string &name)
{
    static int serial = 0;
    const char *base = std::getenv("STIPPLEX_TEST_TMP");
#ifdef _WIN32
    const std::string pid = "w";
#else
    const std::string pid = std::to_string(::getpid());
#endif
    const std::filesystem::path root =
        std::filesystem::path(base ? base : std::filesystem::temp_directory_path().string()) /
        (name + "-" + pid + "-" + std::to_string(++serial));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    return root;
}

inline std::string FileText(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteText(const std::filesystem::path &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

#ifndef _WIN32
// One environment variable, put back as it was when the object goes.
class ScopedEnv {
public:
    explicit ScopedEnv(const char *name) : name_(name)
    {
        const char *old = std::getenv(name);
        had_ = old != nullptr;
        old_ = old ? old : "";
    }
    ~ScopedEnv() { Set(had_ ? old_.c_str() : nullptr); }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

    void Set(const char *value)
    {
        if (value) {
            ::setenv(name_.c_str(), value, 1);
        } else {
            ::unsetenv(name_.c_str());
        }
    }

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};
#endif

}  // namespace paramtest
