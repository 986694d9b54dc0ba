#include "StoredDefaults.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace cli {

namespace {

// The section the effect writes its defaults under.
constexpr std::string_view kSection = "Version=1.5";

std::string_view Trim(std::string_view s)
{
    // The blanks the effect's own reader drops, Ctrl-Z included.
    const char *blanks = " \t\r\n\f\v\x1a";
    const std::size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Names compare without regard to ASCII case; the trail byte of a
// double-byte character (lead byte 0x80 or above) compares exactly.
bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (static_cast<unsigned char>(a[i]) >= 0x80) {
            if (a[i] != b[i] || (i + 1 < a.size() && a[i + 1] != b[i + 1])) {
                return false;
            }
            ++i;
        } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string StoredDefaultsPath()
{
    // The plug-in's rule: a relative $XDG_CONFIG_HOME is ignored.
    std::string base;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        base = xdg;
    } else if (const char *home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.config";
    }
    return base + "/Tavro/Panelry/Stipplex.ini";
}

const std::string *StoredDefaults::Find(std::string_view key) const
{
    for (const auto &[name, value] : entries) {
        if (SameName(name, key)) {
            return &value;
        }
    }
    return nullptr;
}

StoredDefaults ParseStoredDefaults(std::string_view text)
{
    StoredDefaults file;
    file.present = true;
    bool inSection = false;
    bool sectionSeen = false;
    std::size_t lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (raw.size() > kStoredDefaultsMaxLine) {
            file.problem = "line " + std::to_string(lineNumber) + " is longer than " +
                           std::to_string(kStoredDefaultsMaxLine) + " bytes";
            file.entries.clear();
            return file;
        }
        const std::string_view line = Trim(raw);
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            const std::size_t close = line.rfind(']');
            if (close != std::string_view::npos && close > 0) {
                // Only the first section of the name counts.
                inSection = !sectionSeen && SameName(Trim(line.substr(1, close - 1)), kSection);
                sectionSeen = sectionSeen || inSection;
            }
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inSection || eq == std::string_view::npos) {
            continue;
        }
        const std::string_view name = Trim(line.substr(0, eq));
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
            value.back() == value[0]) {
            value = value.substr(1, value.size() - 2);
        }
        if (!file.Find(name)) {
            file.entries.emplace_back(std::string(name), std::string(value));
        }
    }
    return file;
}

StoredDefaults ReadStoredDefaults(const std::string &path)
{
    StoredDefaults file;
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT && errno != ENOTDIR) {
            file.present = true;
            file.problem = std::strerror(errno);
        }
        return file;
    }
    struct stat st {};
    std::string text;
    if (::fstat(fd, &st) != 0) {
        file.problem = std::strerror(errno);
    } else if (!S_ISREG(st.st_mode)) {
        file.problem = S_ISDIR(st.st_mode) ? "it is a folder" : "it is not a regular file";
    } else if (static_cast<std::size_t>(st.st_size) > kStoredDefaultsMaxBytes) {
        file.problem = "it is larger than 1 MiB";
    } else {
        // The size may change while reading: read at most one byte past the
        // size found (and never past the bound) to see it grow.
        text.resize(static_cast<std::size_t>(st.st_size) + 1);
        std::size_t got = 0;
        while (got < text.size()) {
            const ssize_t n = ::read(fd, &text[got], text.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                file.problem = std::strerror(errno);
                break;
            }
            if (n == 0) {
                break;
            }
            got += static_cast<std::size_t>(n);
            if (got == text.size() && text.size() <= kStoredDefaultsMaxBytes) {
                text.resize(std::min(2 * text.size(), kStoredDefaultsMaxBytes + 1));
            }
        }
        text.resize(got);
        if (file.problem.empty() && got > kStoredDefaultsMaxBytes) {
            file.problem = "it is larger than 1 MiB";
        }
    }
    ::close(fd);
    if (!file.problem.empty()) {
        file.present = true;
        return file;
    }
    return ParseStoredDefaults(text);
}

}  // namespace cli
