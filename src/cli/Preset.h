// Parameter assignments NAME=VALUE, from --set options and preset files. A
// preset file holds one assignment per line; blank lines and lines whose
// first non-blank character is '#' are ignored (a '#' later in a line is part
// of the value, as in DotColor=#FF8014). Blanks around NAME and VALUE are
// dropped. Relative image paths in a preset are taken from the preset's
// folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct Assignment {
    std::string name;
    std::string value;
    std::string origin;   // for messages: "--set" or "look.preset:3"
    std::string baseDir;  // folder for relative paths; empty = working folder
};

// One NAME=VALUE. Throws UsageError naming `origin`.
Assignment ParseAssignment(std::string_view text, const std::string &origin);

// The assignments of a preset's text, in order. `fileName` names the file
// in messages and gives the folder for relative paths.
std::vector<Assignment> ParsePreset(std::string_view content, const std::string &fileName);

// Reads and parses a preset file. Throws Failure when it cannot be read.
std::vector<Assignment> ReadPreset(const std::string &path);

// `path` taken relative to `baseDir` unless it is absolute or baseDir empty.
std::string ResolvePath(const std::string &path, const std::string &baseDir);

}  // namespace cli
