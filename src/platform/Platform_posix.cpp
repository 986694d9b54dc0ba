// Portable stand-ins for the Win32 calls of Platform.h (the INI functions are
// in ProfileFile_posix.cpp).
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "Platform.h"

namespace platform {
namespace {

bool IsFolder(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void DropTrailingSeparators(std::string &path)
{
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
}

const char *NonEmptyEnv(const char *name)
{
    const char *value = std::getenv(name);
    return (value && *value) ? value : nullptr;
}

bool StartsWith(const std::string &s, const char *prefix)
{
    return s.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

bool ContainsNoCase(const std::string &s, const std::string &part)
{
    auto lower = [](std::string t) {
        for (char &c : t) {
            if (c >= 'A' && c <= 'Z') {
                c = static_cast<char>(c - 'A' + 'a');
            }
        }
        return t;
    };
    return lower(s).find(lower(part)) != std::string::npos;
}

}  // namespace

bool AppDataFolder(std::string &folder)
{
    // The XDG rule: a relative $XDG_CONFIG_HOME is to be ignored.
    const char *config = NonEmptyEnv("XDG_CONFIG_HOME");
    if (config && config[0] == '/') {
        folder = config;
    } else {
        const char *home = NonEmptyEnv("HOME");
        if (!home) {
            const struct passwd *pw = ::getpwuid(::getuid());
            home = (pw && pw->pw_dir && *pw->pw_dir) ? pw->pw_dir : nullptr;
        }
        if (!home) {
            folder.clear();
            return false;
        }
        folder = home;
        DropTrailingSeparators(folder);
        if (folder != "/") {
            folder += '/';
        }
        folder += ".config";
    }
    DropTrailingSeparators(folder);
    return true;
}

bool CreateFolderPath(const std::string &folder)
{
    if (folder.empty()) {
        return false;
    }
    // Each prefix that ends before a separator, then the whole path.
    for (std::size_t pos = folder.find('/', 1); pos != std::string::npos;
         pos = folder.find('/', pos + 1)) {
        const std::string part = folder.substr(0, pos);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
            return false;
        }
    }
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
        return false;
    }
    return IsFolder(folder);
}

bool RemoveFile(const std::string &path)
{
    return ::unlink(path.c_str()) == 0;
}

bool RemoveFolder(const std::string &folder)
{
    return ::rmdir(folder.c_str()) == 0;
}

bool StripLastComponent(std::string &path)
{
    const std::size_t sep = path.rfind('/');
    if (sep == std::string::npos) {
        const bool changed = !path.empty();
        path.clear();
        return changed;
    }
    if (sep == 0) {
        // The root stays.
        const bool changed = path.size() > 1;
        path = "/";
        return changed;
    }
    path.resize(sep);
    return true;
}

std::string CommandLine()
{
    std::ifstream in("/proc/self/cmdline", std::ios::binary);
    const std::string raw((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string line;
    std::size_t start = 0;
    while (start < raw.size()) {
        std::size_t end = raw.find('\0', start);
        if (end == std::string::npos) {
            end = raw.size();
        }
        const std::string arg = raw.substr(start, end - start);
        if (!line.empty()) {
            line += ' ';
        }
        if (arg.empty() || arg.find_first_of(" \t") != std::string::npos) {
            line += '"' + arg + '"';
        } else {
            line += arg;
        }
        start = end + 1;
    }
    return line;
}

unsigned AnsiCodePage()
{
    // The system's choice, as the environment states it, not the process's
    // current C locale.
    const char *name = NonEmptyEnv("LC_ALL");
    if (!name) {
        name = NonEmptyEnv("LC_CTYPE");
    }
    if (!name) {
        name = NonEmptyEnv("LANG");
    }
    const std::string locale = name ? name : "";
    if (StartsWith(locale, "ja") || ContainsNoCase(locale, "sjis") ||
        ContainsNoCase(locale, "shift_jis")) {
        return 932;
    }
    if (StartsWith(locale, "zh_CN") || StartsWith(locale, "zh_SG") ||
        ContainsNoCase(locale, "gbk") || ContainsNoCase(locale, "gb2312") ||
        ContainsNoCase(locale, "gb18030")) {
        return 936;
    }
    return 1252;
}

bool ShiftKeyDown()
{
    const char *held = std::getenv("STIPPLEX_SHIFT_KEY");
    return held && held[0] == '1' && held[1] == '\0';
}

}  // namespace platform
