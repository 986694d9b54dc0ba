// The effect's stored defaults file as the tool sees it: where the plug-in
// keeps it on this system, and its keys read with bounds, so that a damaged
// file can be named and explained instead of silently changing what the
// effect offers.
//
// The decision about bad entries: the effect passes a stored value to the
// host unchanged, and the host refuses a default outside its valid range.
// The tool therefore asks the effect for its factory definitions first (a
// set-up in which the effect reads no stored settings) and gives them to
// the host as fallbacks: an entry that is out of range or not a number is
// ignored with a warning naming the file, the key, the value and the valid
// range, and the factory default is used. A factory definition whose own
// default is outside its range has no fallback: the host refuses it and the
// command fails with that fault. A file that cannot be read within the
// bounds below (not a regular file, too large, a line too long) is ignored
// as a whole, by the effect and the tool alike, with a warning.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cli {

constexpr std::size_t kStoredDefaultsMaxBytes = std::size_t{1} << 20;
constexpr std::size_t kStoredDefaultsMaxLine = 8192;

// $XDG_CONFIG_HOME (when absolute) or ~/.config, then
// Tavro/Panelry/Stipplex.ini: where the plug-in keeps its stored defaults.
std::string StoredDefaultsPath();

struct StoredDefaults {
    bool present = false;  // something exists under the name
    std::string problem;   // why the file is ignored as a whole; empty if usable
    // Keys and values of the effect's section, first occurrence of each
    // key, in file order; names and values trimmed, values unquoted.
    std::vector<std::pair<std::string, std::string>> entries;

    // The value stored under `key` (compared without regard to ASCII case);
    // null when there is none.
    const std::string *Find(std::string_view key) const;
};

// The entries of the effect's section in the text of a defaults file.
// Sets `problem` when a line is longer than kStoredDefaultsMaxLine.
StoredDefaults ParseStoredDefaults(std::string_view text);

// Reads the file at `path` within the bounds; never blocks on a FIFO or a
// device, never reads more than kStoredDefaultsMaxBytes + 1 bytes.
StoredDefaults ReadStoredDefaults(const std::string &path);

}  // namespace cli
