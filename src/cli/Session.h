// The effect as the tool uses it: the plug-in loaded through our host,
// globally set up, with its parameter definitions joined to the tool's names.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ParamCatalog.h"
#include "StoredDefaults.h"
#include "host/Host.h"

namespace cli {

// Where the plug-in is when --plugin does not say: beside the executable,
// else where the build put it. Empty when neither exists.
std::string DefaultPluginPath();

// One parameter: the definition the effect added and the tool's name for it.
struct ToolParam {
    int index = 0;
    const host::ParamInfo *info = nullptr;
    std::string identifier;  // from the catalogue; "Param<id>" for an id it lacks
    std::string meaning;
};

class Session {
public:
    // Loads the plug-in and runs GLOBAL_SETUP. Throws Failure naming the
    // plug-in when it cannot be loaded or refuses to set up.
    explicit Session(const std::string &pluginPath);
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    host::Effect &GetEffect() { return *effect_; }

    // Runs PARAMS_SETUP (once) and joins the definitions to the catalogue.
    // Throws Failure when the effect fails it.
    const std::vector<ToolParam> &Params();

    // The parameter named `identifier`. Throws UsageError with the nearest
    // names when there is none.
    const ToolParam &Find(const std::string &identifier);

    // Protocol faults the host saw since the last call.
    std::vector<std::string> TakeFaults();

    // Stored defaults that were ignored (the file as a whole, or entries
    // replaced by their factory defaults), as sentences naming the file,
    // the key and the value; since the last call.
    std::vector<std::string> TakeWarnings();

    const std::string &StoredDefaultsFile() const { return storedDefaultsPath_; }
    const StoredDefaults &StoredDefaultsRead() const { return storedDefaults_; }

    // Sets the effect down (GLOBAL_SETDOWN); faults found then are kept for
    // TakeFaults. Throws Failure when the effect fails it.
    void Shutdown();

private:
    std::string pluginPath_;
    std::unique_ptr<host::Effect> effect_;
    std::vector<ToolParam> params_;
    bool paramsReady_ = false;
    std::string storedDefaultsPath_;
    StoredDefaults storedDefaults_;
    std::vector<std::string> warnings_;
    bool replacedReported_ = false;
};

// "the effect failed SMART_RENDER with error 512: <message>"
std::string DescribeFailure(const host::CommandResult &result);

}  // namespace cli
