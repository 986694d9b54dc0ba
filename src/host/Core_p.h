// Private to the host: the state behind Effect and Instance, and the context
// of one command, through which every callback finds out who is calling and
// where to book what it hands out.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <string>
#include <utility>
#include <vector>

#include "host/Host.h"
#include "host/Worlds_p.h"

namespace host {
namespace detail {
class CommandContext;
}
}  // namespace host

// The effect reference (in_data->effect_ref). The API only declares the tag;
// defining it is the host's business. Callbacks look the pointer up among the
// running commands before they trust it.
struct PF_ProgressInfo {
    std::uint64_t magic;
    host::detail::CommandContext *context;
};

namespace host {
namespace detail {

constexpr std::uint64_t kProgressMagic = 0x53544950504C4558ull;

struct InstanceState;

// Everything one loaded effect shares among its instances.
struct EffectCore {
    EffectCore(Plugin p, HostOptions o);

    Plugin plugin;
    HostOptions options;

    mutable std::mutex mutex;  // faults, instances
    std::vector<std::string> faults;
    std::vector<std::weak_ptr<InstanceState>> instances;

    bool global_done = false;
    bool params_done = false;
    bool shut = false;
    PF_Handle global_data = nullptr;
    A_u_long my_version = 0;
    PF_OutFlags out_flags = 0;
    PF_OutFlags2 out_flags2 = 0;
    A_long num_params_reported = 0;

    // Definitions, index 0 (the input layer) first. Written only during
    // PARAMS_SETUP; the texts their pointers refer to live in `texts`, whose
    // elements never move.
    std::vector<ParamInfo> params;
    std::deque<std::string> texts;

    // Handles the effect left behind; freed when the core goes.
    std::vector<PF_Handle> leaked_handles;

    // The buffers of its instances' worlds (prepared layers, pixel and output
    // checkouts, the effect's own worlds), kept from frame to frame and from
    // one instance to the next, as a host keeps its memory.
    std::shared_ptr<BufferPool> buffers = std::make_shared<BufferPool>();

    void addFault(const std::string &text);
    bool withheld(const char *name, A_long version) const;
    void requireOpen() const;  // HostError after shutdown
    int indexOfId(A_long id) const;
};

// One application of the effect.
struct InstanceState {
    std::shared_ptr<EffectCore> core;
    A_long layer_width = 0;
    A_long layer_height = 0;

    mutable std::mutex mutex;         // values, layers, ui_updates
    std::vector<PF_ParamDef> values;  // index-aligned with core->params
    std::vector<LayerChoice> layers;  // meaningful for layer parameters
    std::vector<UiUpdate> ui_updates;

    // Held shared by each render of a frame and exclusively by every other
    // command (and by renders of effects that cannot share the instance), so
    // that concurrent frames see one sequence that nothing changes under them.
    mutable std::shared_mutex commands;
    PF_Handle sequence_data = nullptr;
    bool closed = false;

    A_long current_time = 0;
    A_long time_step = 1;
    A_u_long time_scale = 30;

    // The effect's buffers (EffectCore::buffers).
    std::shared_ptr<BufferPool> buffers;

    void requireOpen() const;
    void requireIndex(int index) const;
};

// Whether several threads may render frames of one instance at once: the
// effect declares it thread-safe (PF_OutFlag2_SUPPORTS_THREADED_RENDERING,
// or the older PF_OutFlag2_I_AM_THREADSAFE) and does not ask for sequence
// data it may change while rendering.
bool RendersConcurrently(const EffectCore &core);

// A layer image prepared for one frame: at the render's depth and
// downsampling, with the size it had before downsampling. Either a world of
// the host's own (origin 0), or, where nothing needs converting and the
// effect only ever gets copies of it, the caller's layer itself.
struct LayerImage {
    World own;
    const World *callers = nullptr;
    A_long full_width = 0;
    A_long full_height = 0;

    const World &world() const { return callers ? *callers : own; }
};

// What one frame's commands share: the request, the prepared layers, and the
// checkouts of pre-render that smart render redeems.
struct FrameState {
    const FrameRequest *request = nullptr;
    Depth depth = Depth::k8;
    LayerImage input;
    std::map<A_long, LayerImage> layers;  // by layer id

    std::vector<LayerCheckout> checkouts;
    // The layer pixels handed out in smart render: one record for each
    // prepared image and rectangle, shared by the checkouts that ask for it.
    // It shows the prepared image's own pixels, or a copy of them for an
    // effect that may write into its input (PF_OutFlag_I_WRITE_INPUT_BUFFER).
    struct LayerPixels {
        const LayerImage *image;
        PF_LRect rect;
        std::unique_ptr<World> copy;  // null when the pixels are lent
        PF_EffectWorld record;        // what the effect gets
        std::size_t lent_entry;       // its entry in the command's lent_worlds
    };
    std::deque<LayerPixels> layer_pixels;             // elements never move
    std::map<A_long, PF_EffectWorld *> pixel_worlds;  // by checkout id
    std::vector<A_long> pixel_checkouts;
    std::vector<A_long> pixel_checkins;
    std::map<A_long, int> pixel_outstanding;

    PF_Rect output_rect{};
    bool output_checked_out = false;
    World output;

    std::vector<ParamCheckout> param_checkouts;
    int progress_calls = 0;
    bool interrupted = false;

    // The prepared image a layer parameter (or index 0) refers to, or null
    // for "none".
    const LayerImage *imageFor(const InstanceState &inst, int index) const;
};

// One command sent to the effect, from the records handed over to the
// accounting checked when it returns.
class CommandContext {
public:
    CommandContext(EffectCore &core, InstanceState *instance, PF_Cmd cmd, FrameState *frame);
    ~CommandContext();
    CommandContext(const CommandContext &) = delete;
    CommandContext &operator=(const CommandContext &) = delete;

    // Lends the instance's current values as the params array (a fresh copy
    // per command; layer entries carry pixels only for RENDER).
    void lendParams();
    // Calls the entry point; anything thrown through it is a fault.
    PF_Err invoke(PF_EffectWorld *output, void *extra);
    // The result record of the call, with the parameter changes taken.
    CommandResult result(PF_Err err);
    // Checks that everything handed out was handed back. `claimed` are
    // handles the effect passed to the host (sequence, global, pre-render
    // data), which are not leaks.
    void finish(const std::vector<const void *> &claimed);

    void fault(const std::string &text);
    const char *name() const { return CommandName(cmd); }

    EffectCore &core;
    InstanceState *instance;
    const PF_Cmd cmd;
    FrameState *frame;

    // A slot of a ring, not a member: an effect that keeps the reference of
    // an ended command must not find it alive again in the next command
    // built at the same stack address.
    PF_ProgressInfo &ref;
    PF_InData in_data{};
    PF_OutData out_data{};
    unsigned char out_guard[1024];  // catches messages that overrun return_msg
    PF_UtilCallbacks utils{};

    std::mutex mutex;  // everything below

    struct SuiteCount {
        int acquired = 0;
        int released = 0;
    };
    std::map<std::pair<std::string, A_long>, SuiteCount> suites;

    struct HandleUse {
        std::uint64_t serial = 0;
        int locks = 0;
        int unlocks = 0;
        bool allocated = false;
    };
    std::map<PF_Handle, HandleUse> handles;

    struct OutstandingParam {
        const PF_ParamDef *where;
        PF_ParamDef copy;
        int index;
    };
    std::vector<OutstandingParam> params_out;
    int unmatched_checkins = 0;

    std::map<const void *, std::unique_ptr<World>> effect_worlds;  // by data pointer
    int group_depth = 0;

    bool params_lent = false;
    std::vector<PF_ParamDef> lent;     // what the effect received
    std::vector<PF_ParamDef> lent_as;  // a copy, to see what it wrote
    std::vector<PF_ParamDef *> lent_ptrs;
    // Worlds lent for this command, with what they were lent as; their
    // padding is checked when it returns.
    std::vector<std::pair<const World *, std::string>> lent_worlds;
};

// The command a callback belongs to. Records a fault (on the command running
// on this thread, if any) and returns null when `ref` is not a running
// command's reference.
CommandContext *ContextFor(PF_ProgPtr ref, const char *service);
// The command running on this thread, or null.
CommandContext *CurrentContext();

// Runs one command of an instance outside rendering: params array, sequence
// data handover, accounting. It holds the instance's command lock; the Held
// variant expects the caller to hold it exclusively.
CommandResult RunInstance(InstanceState &inst, PF_Cmd cmd, void *extra, PF_EffectWorld *output);
CommandResult RunInstanceHeld(InstanceState &inst, PF_Cmd cmd, void *extra, PF_EffectWorld *output);

// The static callback tables.
const PF_InteractCallbacks &InteractCallbacks();
const PF_UtilCallbacks &UtilCallbacks();
SPBasicSuite *BasicSuite();

}  // namespace detail
}  // namespace host
