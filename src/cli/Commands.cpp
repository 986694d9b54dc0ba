#include "Commands.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Commands_p.h"
#include "Errors.h"
#include "ParamListing.h"
#include "TextEncoding.h"

namespace cli {

namespace detail {

std::string PluginPath(const CommonOptions &common)
{
    return common.plugin.empty() ? DefaultPluginPath() : common.plugin;
}

void PrintFaults(const std::vector<std::string> &faults, std::ostream &err)
{
    for (const std::string &fault : faults) {
        err << "stipplex: protocol fault: " << fault << "\n";
    }
}

void ReportFaults(Session &session, std::ostream &err, std::size_t earlier)
{
    // Ignored stored defaults are printed even with -q: they change what
    // every command does until the file is mended.
    for (const std::string &warning : session.TakeWarnings()) {
        err << "stipplex: warning: " << warning << "\n";
    }
    const std::vector<std::string> faults = session.TakeFaults();
    PrintFaults(faults, err);
    const std::size_t count = earlier + faults.size();
    if (count > 0) {
        throw ProtocolFaults("the effect broke the host's rules (" + std::to_string(count) +
                             (count == 1 ? " protocol fault" : " protocol faults") +
                             " above); the command did its work");
    }
}

std::vector<ResolvedValue> ResolveValues(Session &session, const std::vector<std::string> &presets,
                                         const std::vector<std::string> &sets)
{
    std::vector<Assignment> assignments;
    for (const std::string &preset : presets) {
        for (Assignment &a : ReadPreset(preset)) {
            assignments.push_back(std::move(a));
        }
    }
    for (const std::string &set : sets) {
        assignments.push_back(ParseAssignment(set, "--set"));
    }
    std::vector<ResolvedValue> values;
    for (const Assignment &a : assignments) {
        const ToolParam *param = nullptr;
        try {
            param = &session.Find(a.name);
        } catch (const UsageError &e) {
            throw UsageError(a.origin == "--set" ? e.what() : a.origin + ": " + e.what());
        }
        ResolvedValue v;
        v.param = param;
        try {
            v.value = ParseParamValue(*param->info, param->identifier, a.value);
        } catch (const UsageError &e) {
            throw UsageError(a.origin == "--set" ? e.what() : a.origin + ": " + e.what());
        }
        v.baseDir = a.baseDir;
        // A later value replaces an earlier one in place of the later.
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (it->param == param) {
                values.erase(it);
                break;
            }
        }
        values.push_back(std::move(v));
    }
    return values;
}

std::map<std::string, A_long> LayerIds(const std::vector<ResolvedValue> &values)
{
    std::map<std::string, A_long> ids;
    for (const ResolvedValue &v : values) {
        if (v.value.type == PF_Param_LAYER && v.value.layer.kind == LayerValue::kFile) {
            const std::string path = ResolvePath(v.value.layer.path, v.baseDir);
            ids.emplace(path, static_cast<A_long>(ids.size() + 1));
        }
    }
    return ids;
}

void ApplyValues(host::Instance &instance, const std::vector<ResolvedValue> &values,
                 const std::map<std::string, A_long> &layerIds)
{
    for (const ResolvedValue &v : values) {
        const int index = v.param->index;
        const ParamValue &p = v.value;
        try {
            switch (p.type) {
                case PF_Param_POPUP:
                    instance.setPopup(index, p.integer);
                    break;
                case PF_Param_CHECKBOX:
                    instance.setCheckbox(index, p.integer != 0);
                    break;
                case PF_Param_SLIDER:
                    instance.setSlider(index, p.integer);
                    break;
                case PF_Param_FLOAT_SLIDER:
                    instance.setFloatSlider(index, p.real);
                    break;
                case PF_Param_ANGLE:
                    instance.setAngle(index, p.angle);
                    break;
                case PF_Param_COLOR:
                    instance.setColor(index, p.color);
                    break;
                case PF_Param_POINT:
                    instance.setPoint(index, p.x, p.y);
                    break;
                case PF_Param_LAYER:
                    if (p.layer.kind == LayerValue::kNone) {
                        instance.setLayer(index, host::LayerChoice::None());
                    } else if (p.layer.kind == LayerValue::kSelf) {
                        instance.setLayer(index, host::LayerChoice::ThisLayer());
                    } else {
                        const A_long id = layerIds.at(ResolvePath(p.layer.path, v.baseDir));
                        instance.setLayer(index, host::LayerChoice::Layer(id));
                    }
                    break;
                default:
                    throw Failure(v.param->identifier + ": cannot be set");
            }
        } catch (const host::HostError &e) {
            throw Failure(v.param->identifier + ": the host refused the value: " + e.what());
        }
    }
}

std::vector<host::Instance> NewInstances(Session &session, long count, A_long width, A_long height,
                                         const std::vector<ResolvedValue> &values,
                                         const std::map<std::string, A_long> &layerIds)
{
    std::vector<host::Instance> instances;
    for (long i = 0; i < count; ++i) {
        instances.push_back(session.GetEffect().newInstance(width, height));
        ApplyValues(instances.back(), values, layerIds);
        const host::CommandResult ui = instances.back().updateParamsUI();
        if (!ui.ok()) {
            throw Failure(DescribeFailure(ui));
        }
    }
    return instances;
}

}  // namespace detail

void RunAbout(const CommonOptions &common, std::ostream &out, std::ostream &err)
{
    Session session(detail::PluginPath(common));
    const host::CommandResult about = session.GetEffect().about();
    if (!about.ok()) {
        throw Failure(DescribeFailure(about));
    }
    // The host shows "\r" as a line break.
    std::string text = LegacyTextToUtf8(about.message);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            const bool pair = i + 1 < text.size() && text[i + 1] == '\n';
            text.replace(i, pair ? 2 : 1, "\n");
        }
    }
    // Line breaks at the end (the English text ends in "\r\r") would only
    // leave blank lines on the terminal.
    while (!text.empty() && text.back() == '\n') {
        text.pop_back();
    }
    out << text << "\n";
    session.Shutdown();
    detail::ReportFaults(session, err);
}

void RunParams(const CommonOptions &common, bool json, std::ostream &out, std::ostream &err)
{
    Session session(detail::PluginPath(common));
    const std::vector<ToolParam> &params = session.Params();
    if (json) {
        out << ParamJson(params).dump(2) << "\n";
    } else {
        out << FormatParamTable(params);
    }
    session.Shutdown();
    detail::ReportFaults(session, err);
}

namespace {

// The effect stores and resets its defaults from its options dialog. Where
// there is no dialog, the plug-in takes the dialog's answer from
// STIPPLEX_OPTIONS_ACTION, so the tool still goes through DO_DIALOG like any
// host would.
void RunOptionsAction(host::Instance &instance, const char *answer)
{
    setenv("STIPPLEX_OPTIONS_ACTION", answer, 1);
    const host::CommandResult r = instance.doDialog();
    unsetenv("STIPPLEX_OPTIONS_ACTION");
    if (!r.ok()) {
        throw Failure(std::string("the effect refused its options command: ") + r.message);
    }
}

}  // namespace

void RunDefaultsSave(const CommonOptions &common, const std::vector<std::string> &sets,
                     std::ostream &out, std::ostream &err)
{
    Session session(detail::PluginPath(common));
    const std::vector<detail::ResolvedValue> values = detail::ResolveValues(session, {}, sets);
    for (const detail::ResolvedValue &v : values) {
        if (v.value.type == PF_Param_LAYER) {
            throw UsageError(v.param->identifier + ": layers have no stored default");
        }
    }
    if (!session.StoredDefaultsRead().problem.empty()) {
        // The effect would leave such a file as it is and store nothing.
        throw Failure("cannot store the defaults: " + session.StoredDefaultsFile() + ": " +
                      session.StoredDefaultsRead().problem +
                      "; 'stipplex defaults reset' removes it");
    }
    {
        host::Instance instance = session.GetEffect().newInstance(1920, 1080);
        detail::ApplyValues(instance, values, {});
        RunOptionsAction(instance, "save");
    }
    session.Shutdown();
    detail::ReportFaults(session, err);
    if (common.verbosity != Verbosity::kQuiet) {
        out << "stored the defaults in " << StoredDefaultsPath() << "\n";
    }
}

void RunDefaultsReset(const CommonOptions &common, std::ostream &out, std::ostream &err)
{
    // The effect removes its file (and the folders it leaves empty) through
    // its options command. Whatever the file holds must not stop a reset: if
    // the effect cannot do it, or leaves something under the name, the tool
    // removes it itself; only a folder under the name is left to the user.
    const std::string path = StoredDefaultsPath();
    std::string effectProblem;
    std::vector<std::string> faults;
    try {
        Session session(detail::PluginPath(common));
        {
            host::Instance instance = session.GetEffect().newInstance(1920, 1080);
            RunOptionsAction(instance, "reset");
        }
        session.Shutdown();
        session.TakeWarnings();  // about the file being removed: no longer true
        faults = session.TakeFaults();
        detail::PrintFaults(faults, err);
    } catch (const Failure &e) {
        effectProblem = e.what();
    } catch (const host::HostError &e) {
        effectProblem = e.what();
    }
    struct stat st {};
    const bool left = ::lstat(path.c_str(), &st) == 0;
    if (!left && !effectProblem.empty()) {
        throw Failure(effectProblem);  // nothing to remove: the failure is the answer
    }
    if (left) {
        if (S_ISDIR(st.st_mode)) {
            throw Failure("cannot reset the defaults: " + path +
                          " is a folder, not a defaults file; remove it by hand");
        }
        if (::unlink(path.c_str()) != 0) {
            throw Failure("cannot reset the defaults: cannot remove " + path + ": " +
                          std::strerror(errno));
        }
    }
    if (!effectProblem.empty()) {
        err << "stipplex: warning: the effect could not reset its defaults (" << effectProblem
            << "); the tool removed " << path << " itself\n";
    }
    if (common.verbosity != Verbosity::kQuiet) {
        out << "removed " << path << ": new instances get the factory defaults\n";
    }
    if (!faults.empty()) {
        throw ProtocolFaults("the effect broke the host's rules (" + std::to_string(faults.size()) +
                             (faults.size() == 1 ? " protocol fault" : " protocol faults") +
                             " above); the command did its work");
    }
}

}  // namespace cli
