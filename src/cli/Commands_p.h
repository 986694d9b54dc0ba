// Helpers shared by the subcommands. Private to the command code.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "ParamValue.h"
#include "Preset.h"
#include "Session.h"

namespace cli::detail {

std::string PluginPath(const CommonOptions &common);

// Prints the host's protocol faults as warnings (unless quiet). They are the
// effect's bugs, not the user's, and do not change the exit status.
void ReportFaults(Session &session, const CommonOptions &common, std::ostream &err);
void PrintFaults(const std::vector<std::string> &faults, const CommonOptions &common,
                 std::ostream &err);

// One assignment checked against the effect's definitions.
struct ResolvedValue {
    const ToolParam *param = nullptr;
    ParamValue value;
    std::string baseDir;  // for a relative layer path
};

// Presets first, then --set, each in order; a later value for the same
// parameter replaces an earlier one. Throws UsageError (unknown name, bad
// value) and Failure (unreadable preset).
std::vector<ResolvedValue> ResolveValues(Session &session, const std::vector<std::string> &presets,
                                         const std::vector<std::string> &sets);

// The layers that layer values name by file: the path of each (resolved
// against its base folder) and the layer id the host knows it by.
std::map<std::string, A_long> LayerIds(const std::vector<ResolvedValue> &values);

// Sets every value on the instance. `layerIds` gives the id of each file.
void ApplyValues(host::Instance &instance, const std::vector<ResolvedValue> &values,
                 const std::map<std::string, A_long> &layerIds);

}  // namespace cli::detail
