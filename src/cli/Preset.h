// Parameter assignments NAME=VALUE, from --set options and preset files. A
// preset file holds one assignment per line; blank lines and lines whose
// first non-blank character is '#' are ignored (a '#' later in a line is part
// of the value, as in DotColor=#FF8014). Blanks around NAME and VALUE are
// dropped. Relative image paths in a preset are taken from the preset's
// folder. A preset may start with a UTF-8 byte-order mark; it is at most
// kPresetSizeLimit bytes, its lines at most kPresetLineLimit characters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

constexpr std::size_t kPresetSizeLimit = std::size_t{1} << 20;
constexpr std::size_t kPresetLineLimit = 8192;

struct Assignment {
    std::string name;
    std::string value;
    std::string origin;   // for messages: "--set" or "look.preset:3"
    std::string baseDir;  // folder for relative paths; empty = working folder
};

// One NAME=VALUE. Throws UsageError naming `origin`.
Assignment ParseAssignment(std::string_view text, const std::string &origin);

// The assignments of a preset's text, in order. `fileName` names the file
// in messages and gives the folder for relative paths. Throws UsageError for
// a bad or too long line.
std::vector<Assignment> ParsePreset(std::string_view content, const std::string &fileName);

// Reads and parses a preset file. Throws Failure when it cannot be read,
// UsageError when it is not a regular file (a folder, a device, a pipe) or is
// larger than the limit.
std::vector<Assignment> ReadPreset(const std::string &path);

// `path` taken relative to `baseDir` unless it is absolute or baseDir empty.
std::string ResolvePath(const std::string &path, const std::string &baseDir);

}  // namespace cli
