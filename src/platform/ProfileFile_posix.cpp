// INI files without Win32: the subset of the private-profile functions that
// the effect uses, with Windows' results for it.
//
// Windows' rules that matter here:
// - section and key names compare without regard to ASCII case, after the
//   blanks around them are dropped, both in the file and in the request;
// - the first section of a name is the one that counts, and in it the first
//   key of a name;
// - a value loses the blanks around it and one pair of enclosing quotes;
// - writing keeps every other line of the file as it was.
// A file that is not a regular file, is larger than 1 MiB or has a line
// longer than 8192 bytes is read as missing and never written over.
// Names are compared byte-wise: a byte of 0x80 or above starts a double-byte
// character (GBK, Shift-JIS) whose second byte may look like an ASCII letter,
// so both bytes of such a character must match exactly.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "Platform.h"

namespace platform {
namespace {

bool IsProfileSpace(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' ||
           c == 0x1a;  // Ctrl-Z, which old editors left at the end of a file
}

std::string Trim(const std::string &s)
{
    std::size_t begin = 0;
    std::size_t end = s.size();
    while (begin < end && IsProfileSpace(static_cast<unsigned char>(s[begin]))) {
        ++begin;
    }
    while (end > begin && IsProfileSpace(static_cast<unsigned char>(s[end - 1]))) {
        --end;
    }
    return s.substr(begin, end - begin);
}

unsigned char AsciiLower(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string &a, const std::string &b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca >= 0x80) {
            // Lead byte: it and its trail byte must match as they are.
            if (ca != cb) {
                return false;
            }
            if (i + 1 < a.size()) {
                ++i;
                if (a[i] != b[i]) {
                    return false;
                }
            }
            continue;
        }
        if (AsciiLower(ca) != AsciiLower(cb)) {
            return false;
        }
    }
    return true;
}

// One line of the file as the lookups see it.
struct Line {
    enum Kind { kOther, kSection, kKey } kind = kOther;
    std::string name;   // section or key name, trimmed
    std::string value;  // key value, trimmed
    bool hasValue = false;
};

Line ParseLine(const std::string &raw)
{
    Line line;
    const std::string text = Trim(raw);
    if (text.empty() || text[0] == ';') {
        return line;
    }
    if (text[0] == '[') {
        const std::size_t close = text.rfind(']');
        if (close != std::string::npos && close > 0) {
            line.kind = Line::kSection;
            line.name = Trim(text.substr(1, close - 1));
        }
        return line;
    }
    line.kind = Line::kKey;
    const std::size_t eq = text.find('=');
    if (eq == std::string::npos) {
        line.name = text;
        return line;
    }
    line.name = Trim(text.substr(0, eq));
    line.value = Trim(text.substr(eq + 1));
    line.hasValue = true;
    return line;
}

// Bounds of a file the stand-in reads: a defaults file is a few kilobytes,
// so anything beyond these is damage, and such a file counts as unreadable.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxLineBytes = 8192;

enum class ReadResult { kOk, kMissing, kUnreadable };

// The whole file, if it is a regular file within the size bound. Opened
// without blocking, so that a FIFO under the name cannot hold the caller.
ReadResult ReadBounded(const char *path, std::string &all)
{
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::kMissing : ReadResult::kUnreadable;
    }
    struct stat st {};
    ReadResult result = ReadResult::kOk;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        static_cast<std::size_t>(st.st_size) > kMaxFileBytes) {
        result = ReadResult::kUnreadable;
    } else {
        // One byte past the size found, growing up to one past the bound,
        // so that a file that grows while it is read is seen to.
        all.resize(static_cast<std::size_t>(st.st_size) + 1);
        std::size_t got = 0;
        while (got < all.size()) {
            const ssize_t n = ::read(fd, &all[got], all.size() - got);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                result = n < 0 ? ReadResult::kUnreadable : result;
                break;
            }
            got += static_cast<std::size_t>(n);
            if (got == all.size() && all.size() <= kMaxFileBytes) {
                all.resize(std::min(2 * all.size(), kMaxFileBytes + 1));
            }
        }
        all.resize(got);
        if (got > kMaxFileBytes) {
            result = ReadResult::kUnreadable;
        }
    }
    ::close(fd);
    return result;
}

// The file's lines without their line ends.
ReadResult ReadLines(const char *path, std::vector<std::string> &lines)
{
    std::string all;
    const ReadResult read = ReadBounded(path, all);
    if (read != ReadResult::kOk) {
        return read;
    }
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string::npos) {
            end = all.size();
        }
        if (end - start > kMaxLineBytes) {
            lines.clear();
            return ReadResult::kUnreadable;
        }
        std::string line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = end + 1;
    }
    return ReadResult::kOk;
}

// Where a section and a key are in the file; npos for what is missing.
struct Place {
    std::size_t section = std::string::npos;        // line of the section header
    std::size_t lastInSection = std::string::npos;  // last non-blank line of it
    std::size_t key = std::string::npos;
};

Place Find(const std::vector<std::string> &lines, const std::string &section,
           const std::string &key)
{
    Place place;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line line = ParseLine(lines[i]);
        if (line.kind == Line::kSection) {
            if (inSection) {
                break;  // only the first section of the name counts
            }
            if (SameName(line.name, section)) {
                inSection = true;
                place.section = i;
                place.lastInSection = i;
            }
            continue;
        }
        if (!inSection) {
            continue;
        }
        if (!Trim(lines[i]).empty()) {
            place.lastInSection = i;
        }
        if (line.kind == Line::kKey && place.key == std::string::npos && SameName(line.name, key)) {
            place.key = i;
        }
    }
    return place;
}

// The value of the key, or false when the file, section, key or value is
// missing.
bool Lookup(const char *section, const char *key, const char *path, std::string &value)
{
    if (!section || !key || !path) {
        return false;
    }
    std::vector<std::string> lines;
    if (ReadLines(path, lines) != ReadResult::kOk) {
        return false;
    }
    const Place place = Find(lines, Trim(section), Trim(key));
    if (place.key == std::string::npos) {
        return false;
    }
    const Line line = ParseLine(lines[place.key]);
    if (!line.hasValue) {
        return false;
    }
    value = line.value;
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        value = value.substr(1, value.size() - 2);
    }
    return true;
}

}  // namespace

std::string ProfileReadString(const char *section, const char *key, const char *fallback,
                              std::size_t capacity, const char *path)
{
    std::string value;
    if (!Lookup(section, key, path, value)) {
        value = fallback ? Trim(fallback) : std::string();
    }
    if (capacity == 0) {
        return std::string();
    }
    if (value.size() > capacity - 1) {
        value.resize(capacity - 1);
    }
    return value;
}

int ProfileReadInt(const char *section, const char *key, int fallback, const char *path)
{
    std::string value;
    if (!Lookup(section, key, path, value) || value.empty()) {
        return fallback;
    }
    std::size_t i = 0;
    while (i < value.size() && IsProfileSpace(static_cast<unsigned char>(value[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) {
        negative = value[i] == '-';
        ++i;
    }
    // Accumulated modulo 2^32, as the Windows conversion does for long input.
    unsigned result = 0;
    while (i < value.size() && value[i] >= '0' && value[i] <= '9') {
        result = result * 10u + static_cast<unsigned>(value[i] - '0');
        ++i;
    }
    if (negative) {
        result = 0u - result;
    }
    return static_cast<int>(result);
}

bool ProfileWriteString(const char *section, const char *key, const char *value, const char *path)
{
    if (!section || !key || !value || !path) {
        return false;
    }
    const std::string sectionName = Trim(section);
    const std::string keyName = Trim(key);
    const std::string entry = keyName + "=" + value;

    std::vector<std::string> lines;
    // A missing file is simply empty; one that cannot be read is left as it
    // is rather than replaced by a file that lost its other keys.
    if (ReadLines(path, lines) == ReadResult::kUnreadable) {
        return false;
    }
    const Place place = Find(lines, sectionName, keyName);
    if (place.key != std::string::npos) {
        lines[place.key] = entry;
    } else if (place.section != std::string::npos) {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(place.lastInSection) + 1, entry);
    } else {
        lines.push_back("[" + sectionName + "]");
        lines.push_back(entry);
    }

    std::FILE *file = std::fopen(path, "wb");
    if (!file) {
        return false;
    }
    bool ok = true;
    for (const std::string &line : lines) {
        // Windows' own line ends, so the file reads the same on both systems.
        ok = ok && std::fwrite(line.data(), 1, line.size(), file) == line.size() &&
             std::fwrite("\r\n", 1, 2, file) == 2;
    }
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

}  // namespace platform
