// The command runner: what in_data and out_data hold for each command, how
// the entry point is called, and what the host checks when it returns; and
// the Effect and Instance commands built on it.
#include <algorithm>
#include <cstring>
#include <set>

#include "host/Core_p.h"
#include "host/Handles_p.h"
#include "host/Params_p.h"

namespace host {

const char *CommandName(PF_Cmd cmd)
{
    static const char *const names[] = {"ABOUT",
                                        "GLOBAL_SETUP",
                                        "UNUSED_0",
                                        "GLOBAL_SETDOWN",
                                        "PARAMS_SETUP",
                                        "SEQUENCE_SETUP",
                                        "SEQUENCE_RESETUP",
                                        "SEQUENCE_FLATTEN",
                                        "SEQUENCE_SETDOWN",
                                        "DO_DIALOG",
                                        "FRAME_SETUP",
                                        "RENDER",
                                        "FRAME_SETDOWN",
                                        "USER_CHANGED_PARAM",
                                        "UPDATE_PARAMS_UI",
                                        "EVENT",
                                        "GET_EXTERNAL_DEPENDENCIES",
                                        "COMPLETELY_GENERAL",
                                        "QUERY_DYNAMIC_FLAGS",
                                        "AUDIO_RENDER",
                                        "AUDIO_SETUP",
                                        "AUDIO_SETDOWN",
                                        "ARBITRARY_CALLBACK",
                                        "SMART_PRE_RENDER",
                                        "SMART_RENDER",
                                        "RESERVED1",
                                        "RESERVED2",
                                        "RESERVED3",
                                        "GET_FLATTENED_SEQUENCE_DATA",
                                        "TRANSLATE_PARAMS_TO_PREFS",
                                        "RESERVED4",
                                        "SMART_RENDER_GPU",
                                        "GPU_DEVICE_SETUP",
                                        "GPU_DEVICE_SETDOWN"};
    if (cmd >= 0 && cmd < PF_Cmd_NUM_CMDS) return names[cmd];
    static thread_local std::string other;
    other = "command " + std::to_string(cmd);
    return other.c_str();
}

namespace detail {
namespace {

constexpr unsigned char kGuardByte = 0x5A;

struct LiveCommands {
    std::mutex mutex;
    std::set<const PF_ProgressInfo *> refs;
};

LiveCommands &Live()
{
    static LiveCommands *live = new LiveCommands;
    return *live;
}

thread_local CommandContext *t_current = nullptr;

// Effect references are handed out round a ring, so a stale one stays stale
// for the next kRefSlots commands.
constexpr std::size_t kRefSlots = 4096;

PF_ProgressInfo &NextRefSlot()
{
    static PF_ProgressInfo slots[kRefSlots];
    static std::size_t next = 0;
    std::lock_guard<std::mutex> lock(Live().mutex);
    for (;;) {
        PF_ProgressInfo &slot = slots[next];
        next = (next + 1) % kRefSlots;
        if (!Live().refs.count(&slot)) {
            return slot;
        }
    }
}

std::string Bytes(A_HandleSize n)
{
    return std::to_string(n) + " byte" + (n == 1 ? "" : "s");
}

}  // namespace

CommandContext *CurrentContext()
{
    return t_current;
}

CommandContext *ContextFor(PF_ProgPtr ref, const char *service)
{
    {
        std::lock_guard<std::mutex> lock(Live().mutex);
        if (ref && Live().refs.count(ref) && ref->magic == kProgressMagic) return ref->context;
    }
    if (CommandContext *ctx = CurrentContext()) {
        ctx->fault(std::string(service) +
                   (ref ? " with an effect_ref that belongs to no running command"
                        : " without an effect_ref"));
    }
    return nullptr;
}

// ---------------------------------------------------------------- EffectCore

EffectCore::EffectCore(Plugin p, HostOptions o) : plugin(std::move(p)), options(std::move(o))
{
    params.push_back(InputLayerInfo());
}

void EffectCore::addFault(const std::string &text)
{
    std::lock_guard<std::mutex> lock(mutex);
    faults.push_back(text);
}

bool EffectCore::withheld(const char *name, A_long version) const
{
    for (const SuiteKey &k : options.withheld_suites) {
        if (k.name == name && (k.version < 0 || k.version == version)) return true;
    }
    return false;
}

void EffectCore::requireOpen() const
{
    if (shut) throw HostError("the effect has been shut down (GLOBAL_SETDOWN)");
}

int EffectCore::indexOfId(A_long id) const
{
    for (const ParamInfo &p : params) {
        if (p.id == id) return p.index;
    }
    throw HostError("no parameter has the id " + std::to_string(id));
}

void InstanceState::requireOpen() const
{
    core->requireOpen();
    if (closed) throw HostError("the instance has been set down (SEQUENCE_SETDOWN)");
}

void InstanceState::requireIndex(int index) const
{
    if (index < 0 || index >= static_cast<int>(values.size())) {
        throw HostError("no parameter has the index " + std::to_string(index) + " (there are " +
                        std::to_string(values.size()) + ")");
    }
}

// ---------------------------------------------------------------- CommandContext

CommandContext::CommandContext(EffectCore &c, InstanceState *inst, PF_Cmd command, FrameState *f)
    : core(c), instance(inst), cmd(command), frame(f), ref(NextRefSlot())
{
    std::memset(out_guard, kGuardByte, sizeof out_guard);
    ref.magic = kProgressMagic;
    ref.context = this;
    utils = UtilCallbacks();

    PF_InData &in = in_data;
    in.inter = InteractCallbacks();
    in.utils = &utils;
    in.effect_ref = &ref;
    in.quality = core.options.quality;
    in.version = PF_SpecVersion{core.options.spec_major, core.options.spec_minor};
    in.serial_num = core.options.serial_num;
    in.appl_id = core.options.appl_id;
    in.num_params = static_cast<A_long>(core.params.size());
    in.field = PF_Field_FRAME;
    in.pixel_aspect_ratio = PF_RationalScale{1, 1};
    in.downsample_x = PF_RationalScale{1, 1};
    in.downsample_y = PF_RationalScale{1, 1};
    in.time_step = 1;
    in.local_time_step = 1;
    in.time_scale = 30;
    if (frame) {
        const FrameRequest &r = *frame->request;
        in.width = frame->input.full_width;
        in.height = frame->input.full_height;
        in.current_time = r.current_time;
        in.time_step = r.time_step;
        in.local_time_step = r.time_step;
        in.time_scale = r.time_scale;
        in.total_time = r.total_time;
        in.downsample_x = PF_RationalScale{1, static_cast<A_u_long>(r.downsample_x)};
        in.downsample_y = PF_RationalScale{1, static_cast<A_u_long>(r.downsample_y)};
        in.extent_hint = PF_Rect{0, 0, frame->input.world().width(), frame->input.world().height()};
    } else if (instance) {
        in.width = instance->layer_width;
        in.height = instance->layer_height;
        in.current_time = instance->current_time;
        in.time_step = instance->time_step;
        in.local_time_step = instance->time_step;
        in.time_scale = instance->time_scale;
        in.extent_hint = PF_Rect{0, 0, in.width, in.height};
    }
    in.global_data = core.global_data;
    in.sequence_data = instance ? instance->sequence_data : nullptr;
    in.pica_basicP = BasicSuite();

    out_data.global_data = in.global_data;
    out_data.sequence_data = in.sequence_data;
    out_data.num_params = cmd == PF_Cmd_PARAMS_SETUP ? 0 : in.num_params;
    out_data.width = in.width;
    out_data.height = in.height;

    std::lock_guard<std::mutex> lock(Live().mutex);
    Live().refs.insert(&ref);
}

CommandContext::~CommandContext()
{
    std::lock_guard<std::mutex> lock(Live().mutex);
    Live().refs.erase(&ref);
}

void CommandContext::fault(const std::string &text)
{
    core.addFault(std::string(name()) + ": " + text);
}

void CommandContext::lendParams()
{
    if (!instance) return;
    {
        std::lock_guard<std::mutex> lock(instance->mutex);
        const std::size_t n = instance->values.size();
        lent.resize(n);
        for (std::size_t i = 0; i < n; ++i) {
            lent[i] = LentDefinition(*instance, static_cast<int>(i), frame, cmd);
            lent[i].uu.change_flags = PF_ChangeFlag_NONE;
        }
    }
    lent_as = lent;
    lent_ptrs.clear();
    for (PF_ParamDef &d : lent) lent_ptrs.push_back(&d);
    lent_ptrs.push_back(nullptr);  // the list is null-terminated
    params_lent = true;
}

PF_Err CommandContext::invoke(PF_EffectWorld *output, void *extra)
{
    CommandContext *outer = t_current;
    t_current = this;
    PF_Err err;
    try {
        err = core.plugin.entry()(cmd, &in_data, &out_data,
                                  params_lent ? lent_ptrs.data() : nullptr, output, extra);
    } catch (...) {
        fault("an exception escaped the entry point");
        err = PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
    t_current = outer;
    return err;
}

CommandResult CommandContext::result(PF_Err err)
{
    CommandResult r;
    r.cmd = cmd;
    r.err = err;
    const char *msg = out_data.return_msg;
    const void *end = std::memchr(msg, 0, sizeof out_data.return_msg);
    if (!end) fault("out_data->return_msg is not terminated within its 256 bytes");
    r.message.assign(msg, end ? static_cast<const char *>(end) : msg + sizeof out_data.return_msg);
    r.out_flags = out_data.out_flags;
    r.out_flags2 = out_data.out_flags2;
    TakeParamChanges(*this, r);
    return r;
}

void CommandContext::finish(const std::vector<const void *> &claimed)
{
    for (unsigned char b : out_guard) {
        if (b != kGuardByte) {
            fault("the effect wrote past the end of out_data (an overlong return_msg?)");
            break;
        }
    }
    for (const auto &s : suites) {
        if (s.second.acquired != s.second.released) {
            fault("suite \"" + s.first.first + "\" version " + std::to_string(s.first.second) +
                  " acquired " + std::to_string(s.second.acquired) + " time(s), released " +
                  std::to_string(s.second.released) + " time(s)");
        }
    }
    for (const auto &h : handles) {
        const std::string which = "handle #" + std::to_string(h.second.serial);
        if (h.second.locks > h.second.unlocks) {
            fault(which + " locked " + std::to_string(h.second.locks) + " time(s), unlocked " +
                  std::to_string(h.second.unlocks) + " time(s)");
        }
        const bool handed_over =
            std::find(claimed.begin(), claimed.end(), h.first) != claimed.end();
        if (h.second.allocated && IsLive(h.first) && !handed_over) {
            fault(which + " of " + Bytes(HandleSize(h.first)) +
                  " was neither disposed of nor handed to the host");
            std::lock_guard<std::mutex> lock(core.mutex);
            core.leaked_handles.push_back(h.first);
        }
    }
    for (const OutstandingParam &p : params_out) {
        fault("checkout_param of index " + std::to_string(p.index) + " was not checked in");
    }
    params_out.clear();
    for (const auto &w : effect_worlds) {
        fault("a " + std::to_string(w.second->width()) + " x " +
              std::to_string(w.second->height()) + " world made by the effect was not disposed of");
    }
    effect_worlds.clear();
    for (const auto &w : lent_worlds) {
        if (!w.first->paddingIntact()) {
            fault("the effect wrote outside the rows of " + w.second + " (" +
                  std::to_string(w.first->width()) + " x " + std::to_string(w.first->height()) +
                  ", rowbytes " + std::to_string(w.first->rowbytes()) + ")");
        }
    }
}

namespace {

CommandResult Nothing(PF_Cmd cmd)
{
    return CommandResult{cmd, PF_Err_NONE, {}, 0, 0, {}};
}

std::string Describe(const CommandResult &r)
{
    std::string s = std::string(CommandName(r.cmd)) + " failed with error " + std::to_string(r.err);
    if (!r.message.empty()) s += ": " + r.message;
    return s;
}

// Takes a global data handle the effect handed over.
void TakeGlobalData(CommandContext &ctx)
{
    PF_Handle now = ctx.out_data.global_data;
    if (now == ctx.core.global_data) return;
    if (now && !IsLive(now)) {
        ctx.fault("out_data->global_data is not a live handle of this host");
        return;
    }
    ctx.core.global_data = now;
}

CommandResult RunGlobal(EffectCore &core, PF_Cmd cmd, void *extra, PF_EffectWorld *output)
{
    core.requireOpen();
    if (cmd == PF_Cmd_PARAMS_SETUP) {
        std::lock_guard<std::mutex> lock(core.mutex);
        for (const auto &w : core.instances) {
            if (auto inst = w.lock()) {
                if (!inst->closed) {
                    throw HostError("PARAMS_SETUP while instances of the effect are live");
                }
            }
        }
        core.params.resize(1);  // the input layer stays
    }
    CommandContext ctx(core, nullptr, cmd, nullptr);
    const PF_Err err = ctx.invoke(output, extra);
    CommandResult r = ctx.result(err);
    switch (cmd) {
        case PF_Cmd_GLOBAL_SETUP:
            core.global_done = err == PF_Err_NONE;
            core.my_version = ctx.out_data.my_version;
            core.out_flags = ctx.out_data.out_flags;
            core.out_flags2 = ctx.out_data.out_flags2;
            if ((core.out_flags2 & PF_OutFlag2_FLOAT_COLOR_AWARE) &&
                !(core.out_flags2 & PF_OutFlag2_SUPPORTS_SMART_RENDER)) {
                ctx.fault(
                    "PF_OutFlag2_FLOAT_COLOR_AWARE without "
                    "PF_OutFlag2_SUPPORTS_SMART_RENDER: float frames only come through "
                    "smart render");
            }
            TakeGlobalData(ctx);
            break;
        case PF_Cmd_PARAMS_SETUP:
            CheckParamsSetup(ctx);
            core.params_done = err == PF_Err_NONE;
            break;
        case PF_Cmd_GLOBAL_SETDOWN:
            if (IsLive(core.global_data)) {
                ctx.fault("global data (handle #" + std::to_string(HandleSerial(core.global_data)) +
                          ") was not disposed of");
                DisposeHostHandle(core.global_data);
            }
            core.global_data = nullptr;
            core.shut = true;
            break;
        default:
            TakeGlobalData(ctx);
            break;
    }
    ctx.finish({ctx.out_data.global_data, ctx.out_data.sequence_data});
    return r;
}

bool LendsParams(PF_Cmd cmd)
{
    switch (cmd) {
        case PF_Cmd_SEQUENCE_SETUP:
        case PF_Cmd_SEQUENCE_RESETUP:
        case PF_Cmd_SEQUENCE_FLATTEN:
        case PF_Cmd_SEQUENCE_SETDOWN:
        case PF_Cmd_SMART_PRE_RENDER:
        case PF_Cmd_SMART_RENDER:
            return false;
        default:
            return true;
    }
}

}  // namespace

bool RendersConcurrently(const EffectCore &core)
{
    const PF_OutFlags2 safe = PF_OutFlag2_SUPPORTS_THREADED_RENDERING | PF_OutFlag2_I_AM_THREADSAFE;
    return (core.out_flags2 & safe) != 0 &&
           !(core.out_flags2 & PF_OutFlag2_MUTABLE_RENDER_SEQUENCE_DATA_SLOWER);
}

// Runs one command of an instance outside rendering.
CommandResult RunInstance(InstanceState &inst, PF_Cmd cmd, void *extra, PF_EffectWorld *output)
{
    std::unique_lock<std::shared_mutex> lock(inst.commands);
    return RunInstanceHeld(inst, cmd, extra, output);
}

CommandResult RunInstanceHeld(InstanceState &inst, PF_Cmd cmd, void *extra, PF_EffectWorld *output)
{
    inst.requireOpen();
    EffectCore &core = *inst.core;
    CommandContext ctx(core, &inst, cmd, nullptr);
    const PF_Handle before = inst.sequence_data;
    if (LendsParams(cmd)) ctx.lendParams();
    if (cmd == PF_Cmd_QUERY_DYNAMIC_FLAGS) {
        ctx.out_data.out_flags = core.out_flags;
        ctx.out_data.out_flags2 = core.out_flags2;
    }
    const PF_Err err = ctx.invoke(output, extra);
    CommandResult r = ctx.result(err);
    if (cmd == PF_Cmd_QUERY_DYNAMIC_FLAGS) {
        const PF_OutFlags dynamic = PF_OutFlag_WIDE_TIME_INPUT | PF_OutFlag_NON_PARAM_VARY |
                                    PF_OutFlag_PIX_INDEPENDENT | PF_OutFlag_I_USE_SHUTTER_ANGLE;
        const PF_OutFlags changed = (ctx.out_data.out_flags ^ core.out_flags) & ~dynamic;
        if (changed) {
            ctx.fault("out_flags " + std::to_string(changed) +
                      " changed, which QUERY_DYNAMIC_FLAGS may not change");
        }
    }
    TakeGlobalData(ctx);

    const PF_Handle now = ctx.out_data.sequence_data;
    if (cmd == PF_Cmd_SEQUENCE_SETDOWN) {
        if (IsLive(before)) {
            ctx.fault("sequence data (handle #" + std::to_string(HandleSerial(before)) +
                      ") was not disposed of");
            DisposeHostHandle(before);
        }
        inst.sequence_data = nullptr;
        inst.closed = true;
    } else if (now != before) {
        if (now && !IsLive(now)) {
            ctx.fault("out_data->sequence_data is not a live handle of this host");
        } else {
            // The effect replaced its data (flatten, resetup): the host takes
            // the old handle back if the effect left it.
            if (IsLive(before)) {
                if (core.options.replaced_sequence_data_is_fault) {
                    ctx.fault("the replaced sequence data (handle #" +
                              std::to_string(HandleSerial(before)) + ") was not disposed of");
                }
                DisposeHostHandle(before);
            }
            inst.sequence_data = now;
        }
    }
    ctx.finish({ctx.out_data.sequence_data, ctx.out_data.global_data});
    return r;
}

}  // namespace detail

// ---------------------------------------------------------------- Effect

using detail::EffectCore;
using detail::InstanceState;
using detail::RunGlobal;
using detail::RunInstance;

Effect::Effect(Plugin plugin, HostOptions options)
    : core_(std::make_shared<EffectCore>(std::move(plugin), std::move(options)))
{
}

Effect::Effect(Effect &&) noexcept = default;
Effect &Effect::operator=(Effect &&) noexcept = default;

Effect::~Effect()
{
    if (!core_ || core_->shut) return;
    try {
        shutdown();
    } catch (...) {
        // Nothing more can be done for an effect that fails its set-down.
    }
}

const HostOptions &Effect::options() const
{
    return core_->options;
}

CommandResult Effect::globalSetup()
{
    core_->requireOpen();
    if (core_->global_done) throw HostError("GLOBAL_SETUP has already run");
    return RunGlobal(*core_, PF_Cmd_GLOBAL_SETUP, nullptr, nullptr);
}

namespace {

void EnsureGlobal(Effect &e, EffectCore &core)
{
    if (core.global_done) return;
    const CommandResult r = e.globalSetup();
    if (!r.ok()) throw HostError(detail::Describe(r));
}

}  // namespace

CommandResult Effect::about()
{
    core_->requireOpen();
    EnsureGlobal(*this, *core_);
    return RunGlobal(*core_, PF_Cmd_ABOUT, nullptr, nullptr);
}

CommandResult Effect::paramsSetup()
{
    core_->requireOpen();
    EnsureGlobal(*this, *core_);
    if (core_->params_done) throw HostError("PARAMS_SETUP has already run");
    return RunGlobal(*core_, PF_Cmd_PARAMS_SETUP, nullptr, nullptr);
}

CommandResult Effect::shutdown()
{
    CommandResult r = detail::Nothing(PF_Cmd_GLOBAL_SETDOWN);
    if (core_->shut) return r;
    std::vector<std::shared_ptr<InstanceState>> live;
    {
        std::lock_guard<std::mutex> lock(core_->mutex);
        for (const auto &w : core_->instances) {
            if (auto inst = w.lock()) live.push_back(inst);
        }
        core_->instances.clear();
    }
    for (const auto &inst : live) {
        if (!inst->closed) RunInstance(*inst, PF_Cmd_SEQUENCE_SETDOWN, nullptr, nullptr);
    }
    if (core_->global_done) {
        r = RunGlobal(*core_, PF_Cmd_GLOBAL_SETDOWN, nullptr, nullptr);
    } else {
        core_->shut = true;
    }
    std::lock_guard<std::mutex> lock(core_->mutex);
    for (PF_Handle h : core_->leaked_handles) {
        if (detail::IsLive(h)) detail::DisposeHostHandle(h);
    }
    core_->leaked_handles.clear();
    return r;
}

bool Effect::globallySetUp() const
{
    return core_->global_done;
}
A_u_long Effect::version() const
{
    return core_->my_version;
}
PF_OutFlags Effect::outFlags() const
{
    return core_->out_flags;
}
PF_OutFlags2 Effect::outFlags2() const
{
    return core_->out_flags2;
}
const std::vector<ParamInfo> &Effect::params() const
{
    return core_->params;
}
int Effect::numParams() const
{
    return static_cast<int>(core_->params.size());
}
int Effect::indexOfId(A_long id) const
{
    return core_->indexOfId(id);
}
A_long Effect::numParamsReported() const
{
    return core_->num_params_reported;
}

Instance Effect::newInstance(A_long layer_width, A_long layer_height)
{
    core_->requireOpen();
    if (layer_width <= 0 || layer_height <= 0) {
        throw HostError("a layer of " + std::to_string(layer_width) + " x " +
                        std::to_string(layer_height) + " pixels");
    }
    EnsureGlobal(*this, *core_);
    if (!core_->params_done) {
        const CommandResult r = paramsSetup();
        if (!r.ok()) {
            // The faults say which definition the host refused, and why.
            std::string text = detail::Describe(r);
            for (const std::string &fault : faults()) text += "; " + fault;
            throw HostError(text);
        }
    }
    auto state = std::make_shared<InstanceState>();
    state->core = core_;
    state->layer_width = layer_width;
    state->layer_height = layer_height;
    state->buffers = core_->buffers;
    detail::InitialValues(*core_, *state);
    {
        std::lock_guard<std::mutex> lock(core_->mutex);
        core_->instances.push_back(state);
    }
    const CommandResult r = RunInstance(*state, PF_Cmd_SEQUENCE_SETUP, nullptr, nullptr);
    if (!r.ok()) {
        state->closed = true;
        throw HostError(detail::Describe(r));
    }
    return Instance(state);
}

CommandResult Effect::send(PF_Cmd cmd, void *extra, PF_EffectWorld *output)
{
    return RunGlobal(*core_, cmd, extra, output);
}

std::vector<std::string> Effect::faults() const
{
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->faults;
}

void Effect::clearFaults()
{
    std::lock_guard<std::mutex> lock(core_->mutex);
    core_->faults.clear();
}

// ---------------------------------------------------------------- Instance

Instance::Instance(std::shared_ptr<InstanceState> state) : state_(std::move(state)) {}
Instance::Instance(Instance &&) noexcept = default;
Instance &Instance::operator=(Instance &&) noexcept = default;

Instance::~Instance()
{
    if (!state_ || state_->closed || state_->core->shut) return;
    try {
        RunInstance(*state_, PF_Cmd_SEQUENCE_SETDOWN, nullptr, nullptr);
    } catch (...) {
        // A destructor has no one to tell.
    }
}

A_long Instance::layerWidth() const
{
    return state_->layer_width;
}
A_long Instance::layerHeight() const
{
    return state_->layer_height;
}
int Instance::numParams() const
{
    return static_cast<int>(state_->values.size());
}
int Instance::indexOfId(A_long id) const
{
    return state_->core->indexOfId(id);
}

const ParamInfo &Instance::info(int index) const
{
    state_->requireIndex(index);
    return state_->core->params[static_cast<std::size_t>(index)];
}

void Instance::setTime(A_long current_time, A_long time_step, A_u_long time_scale)
{
    if (time_scale == 0) throw HostError("a time scale of 0");
    state_->current_time = current_time;
    state_->time_step = time_step;
    state_->time_scale = time_scale;
}

CommandResult Instance::updateParamsUI()
{
    return RunInstance(*state_, PF_Cmd_UPDATE_PARAMS_UI, nullptr, nullptr);
}

CommandResult Instance::userChangedParam(int index)
{
    state_->requireIndex(index);
    PF_UserChangedParamExtra extra{index};
    return RunInstance(*state_, PF_Cmd_USER_CHANGED_PARAM, &extra, nullptr);
}

CommandResult Instance::afterUserEdit(int index)
{
    state_->requireIndex(index);
    CommandResult r = detail::Nothing(PF_Cmd_USER_CHANGED_PARAM);
    if (state_->core->params[static_cast<std::size_t>(index)].def.flags & PF_ParamFlag_SUPERVISE) {
        r = userChangedParam(index);
        if (!r.ok()) return r;
    }
    if (state_->core->out_flags & PF_OutFlag_SEND_UPDATE_PARAMS_UI) r = updateParamsUI();
    return r;
}

CommandResult Instance::doDialog()
{
    return RunInstance(*state_, PF_Cmd_DO_DIALOG, nullptr, nullptr);
}

CommandResult Instance::queryDynamicFlags()
{
    return RunInstance(*state_, PF_Cmd_QUERY_DYNAMIC_FLAGS, nullptr, nullptr);
}

CommandResult Instance::sequenceFlatten()
{
    return RunInstance(*state_, PF_Cmd_SEQUENCE_FLATTEN, nullptr, nullptr);
}

CommandResult Instance::sequenceResetup()
{
    return RunInstance(*state_, PF_Cmd_SEQUENCE_RESETUP, nullptr, nullptr);
}

CommandResult Instance::sequenceResetup(const std::vector<unsigned char> &flat)
{
    std::unique_lock<std::shared_mutex> lock(state_->commands);
    state_->requireOpen();
    // As when a project is opened: the instance's data is what was saved.
    if (detail::IsLive(state_->sequence_data)) detail::DisposeHostHandle(state_->sequence_data);
    PF_Handle h = detail::NewHostHandle(flat.size());
    if (!flat.empty()) std::memcpy(detail::HandleData(h), flat.data(), flat.size());
    state_->sequence_data = h;
    return detail::RunInstanceHeld(*state_, PF_Cmd_SEQUENCE_RESETUP, nullptr, nullptr);
}

CommandResult Instance::sequenceSetdown()
{
    return RunInstance(*state_, PF_Cmd_SEQUENCE_SETDOWN, nullptr, nullptr);
}

CommandResult Instance::send(PF_Cmd cmd, void *extra, PF_EffectWorld *output)
{
    return RunInstance(*state_, cmd, extra, output);
}

bool Instance::hasSequenceData() const
{
    std::shared_lock<std::shared_mutex> lock(state_->commands);
    return state_->sequence_data != nullptr;
}

std::vector<unsigned char> Instance::sequenceData() const
{
    std::shared_lock<std::shared_mutex> lock(state_->commands);
    PF_Handle h = state_->sequence_data;
    if (!detail::IsLive(h)) return {};
    const auto *p = static_cast<const unsigned char *>(detail::HandleData(h));
    return std::vector<unsigned char>(p, p + detail::HandleSize(h));
}

bool Instance::closed() const
{
    std::shared_lock<std::shared_mutex> lock(state_->commands);
    return state_->closed;
}

const std::vector<UiUpdate> &Instance::uiUpdates() const
{
    return state_->ui_updates;
}

void Instance::clearUiUpdates()
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->ui_updates.clear();
}

std::vector<std::string> Instance::faults() const
{
    std::lock_guard<std::mutex> lock(state_->core->mutex);
    return state_->core->faults;
}

}  // namespace host
