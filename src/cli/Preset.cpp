#include "Preset.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>

#include "Errors.h"
#include "ImageIO.h"

namespace cli {

namespace {

std::string_view Trim(std::string_view s)
{
    const char *blanks = " \t\r\n\f\v";
    const std::size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

std::string FolderOf(const std::string &path)
{
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

}  // namespace

Assignment ParseAssignment(std::string_view text, const std::string &origin)
{
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        throw UsageError(origin + ": '" + std::string(text) + "' is not NAME=VALUE");
    }
    Assignment a;
    a.name = Trim(text.substr(0, equals));
    a.value = Trim(text.substr(equals + 1));
    a.origin = origin;
    if (a.name.empty()) {
        throw UsageError(origin + ": '" + std::string(text) + "' has no parameter name");
    }
    if (a.value.empty()) {
        throw UsageError(origin + ": " + a.name + " has no value");
    }
    return a;
}

std::vector<Assignment> ParsePreset(std::string_view content, const std::string &fileName)
{
    std::vector<Assignment> out;
    const std::string folder = FolderOf(fileName);
    // Editors that save UTF-8 with a byte-order mark put it before the first name.
    if (content.substr(0, 3) == "\xEF\xBB\xBF") {
        content.remove_prefix(3);
    }
    int lineNumber = 0;
    while (!content.empty()) {
        const std::size_t end = content.find('\n');
        ++lineNumber;
        if (std::min(end, content.size()) > kPresetLineLimit) {
            throw UsageError(fileName + ":" + std::to_string(lineNumber) +
                             ": the line is longer than " + std::to_string(kPresetLineLimit) +
                             " characters");
        }
        const std::string_view line = Trim(content.substr(0, end));
        content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        Assignment a = ParseAssignment(line, fileName + ":" + std::to_string(lineNumber));
        a.baseDir = folder;
        out.push_back(std::move(a));
    }
    return out;
}

std::vector<Assignment> ReadPreset(const std::string &path)
{
    if (const std::optional<std::string> why = NotAFile(path)) {
        throw UsageError("cannot read preset '" + path + "': " + *why);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw Failure("cannot read preset '" + path + "': " + std::strerror(errno));
    }
    // One byte more than allowed tells a file at the limit from a larger one.
    std::string content(kPresetSizeLimit + 1, '\0');
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    if (in.bad()) {
        throw Failure("cannot read preset '" + path + "'");
    }
    content.resize(static_cast<std::size_t>(in.gcount()));
    if (content.size() > kPresetSizeLimit) {
        throw UsageError("preset '" + path + "' is larger than " +
                         std::to_string(kPresetSizeLimit >> 20) +
                         " MiB: a preset holds NAME=VALUE lines");
    }
    return ParsePreset(content, path);
}

std::string ResolvePath(const std::string &path, const std::string &baseDir)
{
    if (baseDir.empty() || path.empty() || path.front() == '/') {
        return path;
    }
    return baseDir + path;
}

}  // namespace cli
