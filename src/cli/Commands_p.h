// Helpers shared by the subcommands. Private to the command code.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "Commands.h"
#include "MemoryBudget.h"
#include "ParamValue.h"
#include "Preset.h"
#include "Session.h"

namespace cli::detail {

std::string PluginPath(const CommonOptions &common);

// Prints the host's protocol faults, also when quiet: they are the effect's
// bugs, which no user should miss.
void PrintFaults(const std::vector<std::string> &faults, std::ostream &err);
// Prints the faults the session still holds, then throws ProtocolFaults when
// they and the `earlier` ones printed are more than none.
void ReportFaults(Session &session, std::ostream &err, std::size_t earlier = 0);

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

// `count` instances of the session's effect on a layer of `width` x
// `height`, each with the values set and its controls updated, as the host
// does after every change in the effect controls (which leaves them enabled
// or disabled as the values demand). Throws Failure when the effect fails.
std::vector<host::Instance> NewInstances(Session &session, long count, A_long width, A_long height,
                                         const std::vector<ResolvedValue> &values,
                                         const std::map<std::string, A_long> &layerIds);

// Refuses, naming the file and its size, a frame of `size` whose `bytes` at
// `depth` are more than `limit`. Throws Failure.
void CheckMemory(const std::string &file, PixelSize size, Depth depth, std::uint64_t bytes,
                 std::uint64_t limit);

// A downsampled input must keep at least one pixel each way, as the effect
// sizes it. Throws UsageError naming the largest factor that does.
void CheckDownsample(const std::string &file, PixelSize size, int downsample);

// The frames rendered at once: --threads (0: one per core), no more than
// there are frames, nor than fit in `limit` at `frameCost` each.
long Workers(long frames, int threads, std::uint64_t limit, std::uint64_t frameCost);

}  // namespace cli::detail
