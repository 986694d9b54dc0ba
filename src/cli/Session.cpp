#include "Session.h"

#include <unistd.h>

#include <utility>

#include "Errors.h"
#include "ParamValue.h"
#include "StoredDefaults.h"
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

// The effect's definitions as it gives them when it reads no stored
// settings: it does not for After Effects before 12.12, so a set-up that
// presents that version gets the factory defaults. Empty when the effect
// fails it (the real set-up then reports why).
std::vector<PF_ParamDef> FactoryDefinitions(const std::string &pluginPath)
{
    std::vector<PF_ParamDef> defs;
    try {
        host::HostOptions options;
        options.spec_major = 12;
        options.spec_minor = 11;
        host::Effect probe(host::Plugin::load(pluginPath), options);
        if (!probe.paramsSetup().ok()) {
            return {};
        }
        for (const host::ParamInfo &info : probe.params()) {
            PF_ParamDef def = info.def;
            // Its texts die with the probe; the host takes only values.
            if (def.param_type == PF_Param_POPUP) {
                def.u.pd.u.namesptr = nullptr;
            } else if (def.param_type == PF_Param_CHECKBOX) {
                def.u.bd.u.nameptr = nullptr;
            }
            defs.push_back(def);
        }
        probe.shutdown();
    } catch (const host::HostError &) {
        return {};
    }
    return defs;
}

// A default as the tool's listings give it; a popup's with its item.
std::string ShowDefault(const host::ParamInfo &info)
{
    std::string text = DescribeDefault(info);
    const auto choice = static_cast<std::size_t>(info.def.u.pd.dephault);
    if (info.type == PF_Param_POPUP && choice >= 1 && choice <= info.popup_items.size()) {
        text += " (" + GbkToUtf8(info.popup_items[choice - 1]) + ")";
    }
    return text;
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
    host::HostOptions options;
    storedDefaultsPath_ = StoredDefaultsPath();
    storedDefaults_ = ReadStoredDefaults(storedDefaultsPath_);
    if (!storedDefaults_.problem.empty()) {
        warnings_.push_back("ignoring the stored defaults in " + storedDefaultsPath_ + ": " +
                            storedDefaults_.problem +
                            "; 'stipplex defaults reset' removes the file");
    } else if (storedDefaults_.present) {
        options.fallback_definitions = FactoryDefinitions(pluginPath);
    }
    try {
        effect_ = std::make_unique<host::Effect>(host::Plugin::load(pluginPath), options);
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
        // The faults say which definition the host refused, and why.
        std::string text = DescribeFailure(setup);
        for (const std::string &fault : effect_->faults()) {
            text += "; " + fault;
        }
        throw Failure("plug-in '" + pluginPath_ + "': " + text);
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

std::vector<std::string> Session::TakeWarnings()
{
    // Entries whose stored value was unusable: the host fell back to the
    // factory definition's. The set-up may have run inside any command.
    if (!replacedReported_ && effect_->numParams() > 1) {
        replacedReported_ = true;
        for (const host::ParamInfo &info : effect_->params()) {
            if (info.replaced_default.empty()) {
                continue;
            }
            const std::string *stored = storedDefaults_.Find(info.name);
            warnings_.push_back(storedDefaultsPath_ + ": ignoring " + GbkToUtf8(info.name) +
                                (stored ? "=" + GbkToUtf8(*stored) : std::string()) + ": " +
                                info.replaced_default + "; using the factory default " +
                                ShowDefault(info));
        }
    }
    std::vector<std::string> warnings;
    warnings.swap(warnings_);
    return warnings;
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
