#include "Session.h"

#include <unistd.h>

#include <utility>

#include "Errors.h"
#include "TextEncoding.h"

#ifndef STIPPLEX_DEFAULT_PLUGIN
#define STIPPLEX_DEFAULT_PLUGIN ""
#endif

namespace cli {

namespace {

bool Exists(const std::string &path)
{
    return !path.empty() && ::access(path.c_str(), F_OK) == 0;
}

std::string ExecutableFolder()
{
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) {
        return "";
    }
    const std::string exe(buf, static_cast<std::size_t>(n));
    const std::size_t slash = exe.find_last_of('/');
    return slash == std::string::npos ? "" : exe.substr(0, slash + 1);
}

}  // namespace

std::string DefaultPluginPath()
{
    const std::string beside = ExecutableFolder() + "libstipplex.so";
    if (Exists(beside)) {
        return beside;
    }
    const std::string built = STIPPLEX_DEFAULT_PLUGIN;
    return Exists(built) ? built : "";
}

std::string DescribeFailure(const host::CommandResult &result)
{
    std::string text = std::string("the effect failed ") + host::CommandName(result.cmd) +
                       " with error " + std::to_string(result.err);
    if (!result.message.empty()) {
        text += ": " + LegacyTextToUtf8(result.message);
    }
    return text;
}

Session::Session(const std::string &pluginPath) : pluginPath_(pluginPath)
{
    if (pluginPath.empty()) {
        throw Failure(
            "no plug-in found beside the program or in the build; name one with --plugin");
    }
    try {
        effect_ = std::make_unique<host::Effect>(host::Plugin::load(pluginPath));
    } catch (const host::HostError &e) {
        throw Failure(e.what());  // names the plug-in and the reason
    }
    const host::CommandResult setup = effect_->globalSetup();
    if (!setup.ok()) {
        throw Failure("plug-in '" + pluginPath + "': " + DescribeFailure(setup));
    }
}

Session::~Session() = default;

const std::vector<ToolParam> &Session::Params()
{
    if (paramsReady_) {
        return params_;
    }
    const host::CommandResult setup = effect_->paramsSetup();
    if (!setup.ok()) {
        throw Failure("plug-in '" + pluginPath_ + "': " + DescribeFailure(setup));
    }
    const std::vector<host::ParamInfo> &infos = effect_->params();
    // Index 0 is the layer the effect is applied to, which the host adds.
    for (std::size_t i = 1; i < infos.size(); ++i) {
        ToolParam p;
        p.index = infos[i].index;
        p.info = &infos[i];
        if (const CatalogEntry *entry = FindCatalogEntryById(infos[i].id)) {
            p.identifier = entry->identifier;
            p.meaning = entry->meaning;
        } else {
            p.identifier = "Param" + std::to_string(infos[i].id);
        }
        params_.push_back(std::move(p));
    }
    paramsReady_ = true;
    return params_;
}

const ToolParam &Session::Find(const std::string &identifier)
{
    const std::vector<ToolParam> &params = Params();
    const CatalogEntry *entry = FindCatalogEntry(identifier);
    const std::string name = entry != nullptr ? entry->identifier : identifier;
    for (const ToolParam &p : params) {
        if (p.identifier == name) {
            return p;
        }
    }
    throw UsageError(UnknownParameterMessage(identifier));
}

std::vector<std::string> Session::TakeFaults()
{
    std::vector<std::string> faults = effect_->faults();
    effect_->clearFaults();
    return faults;
}

void Session::Shutdown()
{
    const host::CommandResult down = effect_->shutdown();
    if (!down.ok()) {
        throw Failure("plug-in '" + pluginPath_ + "': " + DescribeFailure(down));
    }
}

}  // namespace cli
