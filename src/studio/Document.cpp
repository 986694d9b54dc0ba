#include "Document.h"

#include <cmath>
#include <cstdio>

#include "cli/Errors.h"
#include "cli/FramePattern.h"
#include "cli/ParamListing.h"
#include "cli/ParamValue.h"
#include "cli/Preset.h"

namespace studio {

namespace {

// How many undo steps are kept.
constexpr std::size_t kUndoDepth = 200;

bool HasValue(const host::ParamInfo &info)
{
    return info.index > 0 && !cli::IsGroupMarker(info);
}

bool SameValue(const host::ParamInfo &info, const PF_ParamDef &a, const PF_ParamDef &b,
               const host::LayerChoice &la, const host::LayerChoice &lb)
{
    switch (info.type) {
        case PF_Param_POPUP:
            return a.u.pd.value == b.u.pd.value;
        case PF_Param_CHECKBOX:
            return a.u.bd.value == b.u.bd.value;
        case PF_Param_SLIDER:
            return a.u.sd.value == b.u.sd.value;
        case PF_Param_FLOAT_SLIDER:
            return a.u.fs_d.value == b.u.fs_d.value;
        case PF_Param_ANGLE:
            return a.u.ad.value == b.u.ad.value;
        case PF_Param_COLOR:
            return a.u.cd.value.red == b.u.cd.value.red &&
                   a.u.cd.value.green == b.u.cd.value.green &&
                   a.u.cd.value.blue == b.u.cd.value.blue;
        case PF_Param_POINT:
            return a.u.td.x_value == b.u.td.x_value && a.u.td.y_value == b.u.td.y_value;
        case PF_Param_LAYER:
            return la.kind == lb.kind && la.layer_id == lb.layer_id;
        default:
            return true;
    }
}

std::string Fixed(PF_Fixed value)
{
    return cli::FormatNumber(value / 65536.0);
}

}  // namespace

std::string ShellQuote(const std::string &word)
{
    if (!word.empty() &&
        word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                               "0123456789_-+=.,/:%@") == std::string::npos) {
        return word;
    }
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

Document::Document(cli::Session &session, std::shared_ptr<InputSource> input)
    : session_(session), input_(std::move(input))
{
    session_.Params();
    instance_ = std::make_unique<host::Instance>(
        session_.GetEffect().newInstance(input_->Width(), input_->Height()));
    defaults_ = Snapshot();
    const host::CommandResult ui = instance_->updateParamsUI();
    if (!ui.ok()) {
        throw cli::Failure(cli::DescribeFailure(ui));
    }
}

Values Document::Snapshot() const
{
    Values v;
    for (int i = 0; i < instance_->numParams(); ++i) {
        v.defs.push_back(instance_->param(i));
        v.layers.push_back(instance_->layer(i));
    }
    return v;
}

void Document::Restore(const Values &values)
{
    auto fresh = std::make_unique<host::Instance>(
        session_.GetEffect().newInstance(input_->Width(), input_->Height()));
    for (const cli::ToolParam &p : session_.Params()) {
        const auto i = static_cast<std::size_t>(p.index);
        if (!HasValue(*p.info) || i >= values.defs.size()) {
            continue;
        }
        if (p.info->type == PF_Param_LAYER) {
            fresh->setLayer(p.index, values.layers[i]);
        } else {
            fresh->setRaw(p.index, values.defs[i]);
        }
    }
    // A new application of the effect with these values: the host sends
    // UPDATE_PARAMS_UI, which also notes the spacing type afresh.
    const host::CommandResult ui = fresh->updateParamsUI();
    if (!ui.ok()) {
        throw cli::Failure(cli::DescribeFailure(ui));
    }
    instance_ = std::move(fresh);
}

void Document::SetInput(std::shared_ptr<InputSource> input)
{
    const Values values = Snapshot();
    input_ = std::move(input);
    instance_ = std::make_unique<host::Instance>(
        session_.GetEffect().newInstance(input_->Width(), input_->Height()));
    defaults_ = Snapshot();
    Restore(values);
}

void Document::BeginStep()
{
    if (gestureOpen_) {
        return;
    }
    undo_.push_back(Snapshot());
    if (undo_.size() > kUndoDepth) {
        undo_.erase(undo_.begin());
    }
    redo_.clear();
}

void Document::Apply(const cli::ToolParam &param, const std::string &text)
{
    const cli::ParamValue v = cli::ParseParamValue(*param.info, param.identifier, text);
    const int index = param.index;
    try {
        switch (v.type) {
            case PF_Param_POPUP:
                instance_->setPopup(index, v.integer);
                break;
            case PF_Param_CHECKBOX:
                instance_->setCheckbox(index, v.integer != 0);
                break;
            case PF_Param_SLIDER:
                instance_->setSlider(index, v.integer);
                break;
            case PF_Param_FLOAT_SLIDER:
                instance_->setFloatSlider(index, v.real);
                break;
            case PF_Param_ANGLE:
                instance_->setAngle(index, v.angle);
                break;
            case PF_Param_COLOR:
                instance_->setColor(index, v.color);
                break;
            case PF_Param_POINT:
                instance_->setPoint(index, v.x, v.y);
                break;
            case PF_Param_LAYER:
                if (v.layer.kind == cli::LayerValue::kNone) {
                    instance_->setLayer(index, host::LayerChoice::None());
                } else if (v.layer.kind == cli::LayerValue::kSelf) {
                    instance_->setLayer(index, host::LayerChoice::ThisLayer());
                } else {
                    for (const LayerFile &f : layerFiles_) {
                        if (f.name == v.layer.path) {
                            instance_->setLayer(index, host::LayerChoice::Layer(f.id));
                            return;
                        }
                    }
                    throw cli::UsageError(param.identifier + ": no image named '" + v.layer.path +
                                          "' was opened here; choose one with the layer control");
                }
                break;
            default:
                throw cli::UsageError(param.identifier + " cannot be set");
        }
    } catch (const host::HostError &e) {
        throw cli::UsageError(param.identifier + ": " + e.what());
    }
}

void Document::Edit(const std::string &identifier, const std::string &value, bool gesture)
{
    const cli::ToolParam &param = session_.Find(identifier);
    if (!HasValue(*param.info)) {
        throw cli::UsageError(identifier + " is a group marker and takes no value");
    }
    const Values before = Snapshot();
    const bool wasOpen = gestureOpen_;
    BeginStep();
    try {
        Apply(param, value);
    } catch (...) {
        if (!wasOpen) {
            undo_.pop_back();
        }
        throw;
    }
    gestureOpen_ = gesture;
    const host::CommandResult r = instance_->afterUserEdit(param.index);
    instance_->clearUiUpdates();  // the host's log of them would only grow
    if (!r.ok()) {
        Restore(before);
        throw cli::Failure(cli::DescribeFailure(r));
    }
}

void Document::Reset(const std::string &identifier)
{
    const cli::ToolParam &param = session_.Find(identifier);
    if (!HasValue(*param.info)) {
        throw cli::UsageError(identifier + " is a group marker and has no value");
    }
    const auto i = static_cast<std::size_t>(param.index);
    Edit(identifier, ValueText(param.index, defaults_.defs[i], defaults_.layers[i]), false);
}

void Document::ResetAll()
{
    gestureOpen_ = false;
    BeginStep();
    Restore(defaults_);
}

bool Document::Undo()
{
    gestureOpen_ = false;
    if (undo_.empty()) {
        return false;
    }
    redo_.push_back(Snapshot());
    Restore(undo_.back());
    undo_.pop_back();
    return true;
}

bool Document::Redo()
{
    gestureOpen_ = false;
    if (redo_.empty()) {
        return false;
    }
    undo_.push_back(Snapshot());
    Restore(redo_.back());
    redo_.pop_back();
    return true;
}

std::string Document::ValueText(int index) const
{
    return ValueText(index, instance_->param(index), instance_->layer(index));
}

std::string Document::ValueText(int index, const PF_ParamDef &d, const host::LayerChoice &l) const
{
    const host::ParamInfo &info = instance_->info(index);
    switch (info.type) {
        case PF_Param_POPUP:
            return std::to_string(d.u.pd.value);
        case PF_Param_CHECKBOX:
            return d.u.bd.value ? "1" : "0";
        case PF_Param_SLIDER:
            return std::to_string(d.u.sd.value);
        case PF_Param_FLOAT_SLIDER:
            return cli::FormatNumber(static_cast<double>(d.u.fs_d.value));
        case PF_Param_ANGLE:
            return Fixed(d.u.ad.value);
        case PF_Param_COLOR: {
            char hex[8];
            std::snprintf(hex, sizeof hex, "#%02x%02x%02x", d.u.cd.value.red, d.u.cd.value.green,
                          d.u.cd.value.blue);
            return hex;
        }
        case PF_Param_POINT:
            return Fixed(d.u.td.x_value) + "," + Fixed(d.u.td.y_value);
        case PF_Param_LAYER:
            if (l.kind == host::LayerChoice::kThisLayer) {
                return "self";
            }
            if (l.kind == host::LayerChoice::kLayer) {
                for (const LayerFile &f : layerFiles_) {
                    if (f.id == l.layer_id) {
                        return f.name;
                    }
                }
            }
            return "none";
        default:
            return "";
    }
}

nlohmann::json Document::Definitions(cli::Session &session)
{
    const std::vector<cli::ToolParam> &params = session.Params();
    nlohmann::json all = nlohmann::json::parse(cli::ParamJson(params).dump());
    for (std::size_t i = 0; i < params.size(); ++i) {
        const PF_ParamDef &d = params[i].info->def;
        all[i]["collapsed"] = (d.flags & PF_ParamFlag_START_COLLAPSED) != 0;
        all[i]["supervised"] = (d.flags & PF_ParamFlag_SUPERVISE) != 0;
        if (params[i].info->type == PF_Param_FLOAT_SLIDER) {
            all[i]["pixel"] = (d.u.fs_d.display_flags & PF_ValueDisplayFlag_PIXEL) != 0;
        }
    }
    return all;
}

nlohmann::json Document::State() const
{
    nlohmann::json values = nlohmann::json::object();
    nlohmann::json defaults = nlohmann::json::object();
    nlohmann::json disabled = nlohmann::json::array();
    nlohmann::json hidden = nlohmann::json::array();
    for (const cli::ToolParam &p : session_.Params()) {
        const PF_ParamUIFlags flags = instance_->param(p.index).ui_flags;
        if (flags & PF_PUI_DISABLED) {
            disabled.push_back(p.identifier);
        }
        if (flags & PF_PUI_INVISIBLE) {
            hidden.push_back(p.identifier);
        }
        if (HasValue(*p.info)) {
            const auto i = static_cast<std::size_t>(p.index);
            values[p.identifier] = ValueText(p.index);
            defaults[p.identifier] = ValueText(p.index, defaults_.defs[i], defaults_.layers[i]);
        }
    }
    nlohmann::json layers = nlohmann::json::array();
    for (const LayerFile &f : layerFiles_) {
        layers.push_back({{"name", f.name}, {"width", f.width}, {"height", f.height}});
    }
    return {{"values", values},          {"defaults", defaults},  {"disabled", disabled},
            {"hidden", hidden},          {"layers", layers},      {"canUndo", !undo_.empty()},
            {"canRedo", !redo_.empty()}, {"preset", PresetText()}};
}

std::vector<std::string> Document::LoadPreset(const std::string &text, const std::string &fileName)
{
    const std::vector<cli::Assignment> assignments = cli::ParsePreset(text, fileName);
    // Everything is checked before anything changes.
    struct Checked {
        const cli::ToolParam *param;
        std::string value;
    };
    std::vector<Checked> checked;
    std::vector<std::string> skipped;
    for (const cli::Assignment &a : assignments) {
        const cli::ToolParam *param = nullptr;
        try {
            param = &session_.Find(a.name);
            const cli::ParamValue v =
                cli::ParseParamValue(*param->info, param->identifier, a.value);
            if (v.type == PF_Param_LAYER && v.layer.kind == cli::LayerValue::kFile) {
                bool known = false;
                for (const LayerFile &f : layerFiles_) {
                    known = known || f.name == v.layer.path;
                }
                if (!known) {
                    skipped.push_back(a.origin + ": " + param->identifier + "=" + a.value +
                                      ": open that image with the layer control; the layer "
                                      "stays at its default");
                    continue;
                }
            }
        } catch (const cli::UsageError &e) {
            throw cli::UsageError(a.origin + ": " + e.what());
        }
        checked.push_back({param, a.value});
    }
    gestureOpen_ = false;
    BeginStep();
    Restore(defaults_);
    for (const Checked &c : checked) {
        Apply(*c.param, c.value);
    }
    const host::CommandResult ui = instance_->updateParamsUI();
    if (!ui.ok()) {
        throw cli::Failure(cli::DescribeFailure(ui));
    }
    return skipped;
}

std::string Document::PresetText() const
{
    std::string text;
    for (const cli::ToolParam &p : session_.Params()) {
        const auto i = static_cast<std::size_t>(p.index);
        if (!HasValue(*p.info) || SameValue(*p.info, instance_->param(p.index), defaults_.defs[i],
                                            instance_->layer(p.index), defaults_.layers[i])) {
            continue;
        }
        text += p.identifier + "=" + ValueText(p.index) + "\n";
    }
    return text;
}

std::string Document::CommandLine(long frame, int fps) const
{
    const bool sequence = input_->IsSequence();
    std::string line = "stipplex render " + ShellQuote(input_->DisplayName()) + " " +
                       (sequence ? "out.png --frame " + std::to_string(frame) : "out.png");
    if (fps != 30 && !input_->IsClip()) {
        line += " --fps " + std::to_string(fps);
    }
    const std::string preset = PresetText();
    std::size_t start = 0;
    while (start < preset.size()) {
        const std::size_t end = preset.find('\n', start);
        line += " --set " + ShellQuote(preset.substr(start, end - start));
        start = end + 1;
    }
    return line;
}

const LayerFile &Document::AddLayerFile(const std::string &name, const std::string &path, int width,
                                        int height)
{
    std::string unique = name;
    const std::size_t dot = name.find_last_of('.');
    const std::string stem = dot == std::string::npos ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos ? "" : name.substr(dot);
    for (int n = 2;; ++n) {
        bool taken = unique == "none" || unique == "self";
        for (const LayerFile &f : layerFiles_) {
            taken = taken || f.name == unique;
        }
        if (!taken) {
            break;
        }
        unique = stem + "-" + std::to_string(n) + ext;
    }
    LayerFile f;
    f.id = static_cast<A_long>(layerFiles_.size() + 1);
    f.name = unique;
    f.path = path;
    f.width = width;
    f.height = height;
    layerFiles_.push_back(f);
    return layerFiles_.back();
}

}  // namespace studio
