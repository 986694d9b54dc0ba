// Our host for effect plug-ins: loads an effect, drives it through the
// command protocol the way After Effects does, serves its callbacks and
// suites, and keeps a list of protocol faults (unpaired checkouts, locks and
// acquisitions, leaked worlds and handles, rejected definitions) that After
// Effects would tolerate or only reveal later.
//
// Typical use:
//
//     host::Effect effect(host::Plugin::load(path));
//     effect.globalSetup();                     // GLOBAL_SETUP (+ PARAMS_SETUP on demand)
//     host::Instance inst = effect.newInstance(1920, 1080);  // SEQUENCE_SETUP
//     inst.setFloatSlider(inst.indexOfId(3), 12.5);
//     host::FrameRequest req;
//     req.input = &layer;                       // full-resolution layer image
//     host::FrameResult frame = inst.render(req);
//     if (!effect.faults().empty()) ...
//
// What the host does where the API leaves it to the host:
//  - layers are delivered at 1/N as the rounded box average of each N x N
//    block (straight channels), points scaled by 1/N while rendering;
//  - transfer_rect composites straight-alpha source over destination (a
//    transparent destination takes the source exactly); a mask multiplies
//    the source alpha by its alpha at destination - offset, 0 outside it;
//    PF_MaskFlag_INVERTED uses full - alpha (details in Compositing.cpp);
//  - layer pixels checked out in smart render are the layer's own pixels,
//    lent read-only (a copy for an effect that sets
//    PF_OutFlag_I_WRITE_INPUT_BUFFER), and need no check-in (as in the
//    real host); the pre-render data handle is disposed after SMART_RENDER
//    unless the effect gave a delete callback;
//  - a sequence handle the effect replaces (flatten, resetup) is disposed of
//    by the host if the effect left it.
//
// Everything here is usable from several threads. Several threads may call
// Instance::render of one instance at once (multi-frame rendering): frames
// of an effect that declares itself thread-safe then render concurrently,
// sharing the instance's sequence data read-only (a render that writes to
// it is a fault); frames of other effects take turns. The instance's other
// commands wait until no frame is rendering. Worlds, handles, checkouts and
// the accounting of each frame are its own; faults of all threads go to the
// effect's one log.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "AESdk.h"

namespace host {

// A failure of the host itself or a misuse of this interface: a plug-in
// that cannot be loaded, an unknown parameter, a value of the wrong type.
// Faults of the effect are not thrown; they are collected (Effect::faults).
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The application id of After Effects, 'FXTC'.
constexpr A_long kAfterEffectsApplId = 0x46585443;

// ---------------------------------------------------------------- plug-in

// An effect's entry point, either from a loaded library or from a function
// linked into the caller (tests).
class Plugin {
public:
    // Loads the library and finds the exported entry point. Throws HostError
    // naming the path and the reason (missing file, not a library, no export).
    static Plugin load(const std::string &path, const std::string &entry_name = "EntryPointFunc");

    // An in-process entry point; `name` only labels messages.
    explicit Plugin(PF_FilterProc entry_point, std::string name = "in-process effect");

    Plugin(Plugin &&other) noexcept;
    Plugin &operator=(Plugin &&other) noexcept;
    Plugin(const Plugin &) = delete;
    Plugin &operator=(const Plugin &) = delete;
    ~Plugin();  // unloads the library, if one was loaded

    PF_FilterProc entry() const { return entry_; }
    const std::string &path() const { return path_; }
    // The library's module handle (HMODULE on Windows, the dlopen handle
    // elsewhere); null for an in-process entry point.
    void *module() const { return module_; }

private:
    Plugin() = default;
    PF_FilterProc entry_ = nullptr;
    std::string path_;
    void *module_ = nullptr;
};

// ---------------------------------------------------------------- options

// A suite the host pretends not to have, to exercise an effect's fallbacks.
// version < 0 withholds every version of that name.
struct SuiteKey {
    std::string name;
    A_long version = -1;
};

struct HostOptions {
    A_long appl_id = kAfterEffectsApplId;
    A_short spec_major = 13;  // in_data->version offered to the effect
    A_short spec_minor = 28;
    PF_Quality quality = PF_Quality_HI;
    A_long serial_num = 0;
    // Returned for PF_PlatData_MAIN_WND (an HWND on Windows).
    void *main_window = nullptr;
    std::vector<SuiteKey> withheld_suites;
    // Output and new, uncleared worlds are filled with an opaque magenta
    // (full alpha, red and blue, no green) instead of the real host's garbage,
    // so pixels the effect never writes are easy to see and to test. Without
    // it they hold whatever their memory held, as in the real host (the
    // host reuses its buffers from frame to frame).
    bool poison_uncleared_worlds = true;
    // When the effect replaces its sequence handle (flatten, resetup) without
    // disposing of the old one, the host disposes of it. With this set, that
    // is also reported as a fault.
    bool replaced_sequence_data_is_fault = false;
    // checkin_param of a definition that was never checked out: the real host
    // ignores it, and some effects rely on that by handing back every
    // definition they hold, fetched or not. We report it unless this is
    // cleared: an unpaired check-in usually hides an unpaired checkout.
    bool checkin_without_checkout_is_fault = true;
    // What the host does with a definition whose default or value lies
    // outside its valid range or is not a number (a popup choice beyond the
    // list, a checkbox other than 0 or 1): if this holds a definition at the
    // same index with the same type and id whose default is usable (usually the
    // effect's own, from a PARAMS_SETUP in which it used no stored
    // settings), the host takes that one's default and value and notes what
    // it replaced in ParamInfo::replaced_default. Otherwise the definition
    // is refused with PF_Err_BAD_CALLBACK_PARAM and a fault.
    std::vector<PF_ParamDef> fallback_definitions;
};

// ---------------------------------------------------------------- worlds

enum class Depth { k8 = 8, k16 = 16, k32 = 32 };

namespace detail {
class BufferPool;
struct WorldMaker;
// Frees a world's pixel buffer as it was allocated: mapped pages (size
// given) or the heap (size 0).
struct BufferDeleter {
    std::size_t size = 0;
    void operator()(unsigned char *p) const noexcept;
};
using PixelBuffer = std::unique_ptr<unsigned char, BufferDeleter>;
}  // namespace detail

PF_PixelFormat PixelFormatOf(Depth depth);  // 'argb', 'ae16', 'ae32'
std::size_t BytesPerPixel(Depth depth);     // 4, 8, 16

// A host-owned image in the host's layout (channels alpha, red, green, blue).
// Rows are deliberately not tightly packed: every row is followed by 16 to 64
// padding bytes, and the block is preceded by a guard, all filled with
// kPadSentinel, so an effect that ignores rowbytes or writes past a row end
// is caught (paddingIntact). New worlds are transparent black.
class World {
public:
    static constexpr unsigned char kPadSentinel = 0xA5;

    World() = default;  // no pixels: pf()->data is null, width and height 0
    World(A_long width, A_long height, Depth depth);
    // Explicit padding per row, in bytes (a multiple of 16 keeps alignment).
    World(A_long width, A_long height, Depth depth, A_long row_padding);

    World(const World &other);  // deep copy, same geometry and origin
    World &operator=(const World &other);
    World(World &&other) noexcept;
    World &operator=(World &&other) noexcept;
    ~World();

    bool empty() const { return !buffer_; }
    A_long width() const { return world_.width; }
    A_long height() const { return world_.height; }
    A_long rowbytes() const { return world_.rowbytes; }
    Depth depth() const { return depth_; }
    PF_PixelFormat pixelFormat() const { return PixelFormatOf(depth_); }

    // Where the world's top-left pixel sits in layer coordinates
    // (origin_x, origin_y of the record; set on smart-render worlds).
    A_long originX() const { return world_.origin_x; }
    A_long originY() const { return world_.origin_y; }
    void setOrigin(A_long x, A_long y);

    // The record handed to effects. Its data stays valid while this World lives.
    PF_EffectWorld *pf() { return &world_; }
    const PF_EffectWorld *pf() const { return &world_; }

    unsigned char *row(A_long y);
    const unsigned char *row(A_long y) const;

    // Checked pixel access: throws HostError on a wrong depth or position.
    PF_Pixel8 &px8(A_long x, A_long y);
    const PF_Pixel8 &px8(A_long x, A_long y) const;
    PF_Pixel16 &px16(A_long x, A_long y);
    const PF_Pixel16 &px16(A_long x, A_long y) const;
    PF_PixelFloat &pxF(A_long x, A_long y);
    const PF_PixelFloat &pxF(A_long x, A_long y) const;

    // Every padding and guard byte still holds kPadSentinel.
    bool paddingIntact() const;
    // Same size, depth and pixel bytes (padding and origin are not compared).
    bool samePixels(const World &other) const;

private:
    friend struct detail::WorldMaker;
    // How a new buffer's pixels start out: transparent black, or as the
    // buffer came (for pixels that are written over at once).
    enum class Pixels { kClear, kAsFound };
    void allocate(A_long width, A_long height, Depth depth, A_long row_padding, Pixels pixels,
                  const std::shared_ptr<detail::BufferPool> &pool);
    // Gives the buffer back to its pool (if any); `zeroed` says every byte
    // between its guards is zero.
    void release(bool zeroed = false);
    template <typename P>
    P &at(A_long x, A_long y, Depth want) const;

    PF_EffectWorld world_{};
    Depth depth_ = Depth::k8;
    A_long padding_ = 0;
    detail::PixelBuffer buffer_;
    std::size_t buffer_size_ = 0;
    // Where the buffer came from and goes back to (an effect's buffers
    // reused from frame to frame); empty for buffers of their own.
    std::weak_ptr<detail::BufferPool> pool_;
};

// A layer downsampled 1/nx by 1/ny as the host hands it to a render at that
// downsampling (box average; each side N times smaller, rounded as effects
// compute it, at least one pixel), with its top-left pixel at (0, 0).
World DownsampleLayer(const World &full, A_long nx, A_long ny);

// ---------------------------------------------------------------- commands

// The outcome of one command sent to the effect.
struct CommandResult {
    PF_Cmd cmd = 0;
    PF_Err err = PF_Err_NONE;
    std::string message;  // out_data->return_msg up to its terminator (bytes as written)
    PF_OutFlags out_flags = 0;
    PF_OutFlags2 out_flags2 = 0;
    // Parameters whose value the effect changed in the params array with
    // PF_ChangeFlag_CHANGED_VALUE (USER_CHANGED_PARAM, DO_DIALOG, EVENT).
    std::vector<int> changed_params;
    bool ok() const { return err == PF_Err_NONE; }
};

const char *CommandName(PF_Cmd cmd);           // "SMART_RENDER", or "command 42"
const char *ParamTypeName(PF_ParamType type);  // "float slider", "popup", "unknown type"

// ---------------------------------------------------------------- parameters

// One definition as the effect gave it to add_param, with the strings it
// pointed to copied at that moment (the effect's own strings may only live
// during the call). Index 0 is the input layer, which the host adds itself.
struct ParamInfo {
    int index = 0;
    A_long id = 0;  // uu.id
    PF_ParamType type = PF_Param_RESERVED;
    std::string name;  // the name bytes up to their terminator
    // The definition as added. Its popup and checkbox text pointers are
    // re-pointed to the copies below, which live as long as the Effect.
    PF_ParamDef def{};
    std::string popup_text;                // PF_PopupDef namesptr, whole
    std::vector<std::string> popup_items;  // split at '|'
    std::string checkbox_label;            // PF_CheckBoxDef nameptr
    // Why the default and value were taken from HostOptions::
    // fallback_definitions ("default 99 is outside 1..6"); empty if not.
    std::string replaced_default;
};

// What a layer parameter refers to.
struct LayerChoice {
    enum Kind { kNone, kThisLayer, kLayer };
    Kind kind = kNone;
    A_long layer_id = 0;  // for kLayer: key into FrameRequest::layers
    static LayerChoice None() { return {kNone, 0}; }
    static LayerChoice ThisLayer() { return {kThisLayer, 0}; }
    static LayerChoice Layer(A_long id) { return {kLayer, id}; }
};

// A call of PF_UpdateParamUI, as the host took it.
struct UiUpdate {
    PF_Cmd during = 0;
    int index = 0;
    PF_ParamUIFlags ui_flags = 0;  // the flags the parameter has afterwards
};

// ---------------------------------------------------------------- rendering

enum class RenderPath { kAuto, kSmart, kLegacy };

struct FrameRequest {
    // The layer the effect is applied to, at full resolution; its depth is
    // the render depth. Required.
    const World *input = nullptr;
    // Other layers that layer parameters may name (LayerChoice::Layer(id)).
    // Converted to the input's depth when they differ.
    std::map<A_long, const World *> layers;
    A_long current_time = 0;
    A_long time_step = 1;
    A_u_long time_scale = 30;
    A_long total_time = 300;
    // Downsampling 1/N in each direction (N >= 1).
    A_long downsample_x = 1;
    A_long downsample_y = 1;
    // Optional: the input already at this downsampling, as DownsampleLayer
    // makes it, so that a caller rendering many drafts of one frame averages
    // the input once instead of the host doing it for every draft.
    const World *input_downsampled = nullptr;
    RenderPath path = RenderPath::kAuto;
    // Called for every inter.progress; return true to interrupt
    // (the callback then answers PF_Interrupt_CANCEL).
    std::function<bool(A_long current, A_long total)> progress;
    // Asked for every inter.abort; return true to interrupt.
    std::function<bool()> abort;
};

// One checkout_layer of smart pre-render.
struct LayerCheckout {
    A_long checkout_id = 0;
    int index = 0;
    PF_RenderRequest request{};
    A_long what_time = 0;
    A_long time_step = 0;
    A_u_long time_scale = 0;
    PF_CheckoutResult result{};
};

// One checkout_param.
struct ParamCheckout {
    PF_Cmd during = 0;
    int index = 0;
    A_long what_time = 0;
    A_long time_step = 0;
    A_u_long time_scale = 0;
};

struct FrameResult {
    CommandResult pre_render;  // SMART_PRE_RENDER (smart path only)
    CommandResult render;      // SMART_RENDER or RENDER
    bool smart = false;
    // The output world the effect rendered into, with its origin in layer
    // coordinates at the render's downsampling; empty if the effect never
    // checked one out.
    World output;
    // What pre-render told the host (pre_render_data is no longer valid).
    PF_PreRenderOutput pre_render_output{};
    std::vector<LayerCheckout> layer_checkouts;
    std::vector<A_long> pixel_checkouts;  // checkout_layer_pixels ids, in order
    std::vector<A_long> pixel_checkins;   // checkin_layer_pixels ids, in order
    std::vector<ParamCheckout> param_checkouts;
    int progress_calls = 0;
    bool interrupted = false;  // progress or abort answered PF_Interrupt_CANCEL
    bool ok() const { return pre_render.ok() && render.ok(); }
};

// ---------------------------------------------------------------- effect

namespace detail {
struct EffectCore;
struct InstanceState;
}  // namespace detail

class Instance;

// One loaded effect: its global commands, its parameter definitions and the
// fault log shared by all its instances. Destroying it (or shutdown()) sets
// down every live instance and then the effect.
class Effect {
public:
    explicit Effect(Plugin plugin, HostOptions options = {});
    Effect(Effect &&) noexcept;
    Effect &operator=(Effect &&) noexcept;
    ~Effect();

    const HostOptions &options() const;

    // ABOUT, after GLOBAL_SETUP if that has not run (HostError if it fails);
    // the text is in .message.
    CommandResult about();
    // GLOBAL_SETUP; records version and flags. HostError if it already ran.
    CommandResult globalSetup();
    // PARAMS_SETUP (after GLOBAL_SETUP if needed); records every definition.
    // HostError if it already ran.
    CommandResult paramsSetup();
    // Sets down every live instance (SEQUENCE_SETDOWN), then GLOBAL_SETDOWN,
    // and checks that the effect released everything. Idempotent.
    CommandResult shutdown();

    bool globallySetUp() const;
    A_u_long version() const;  // out_data->my_version of GLOBAL_SETUP
    PF_OutFlags outFlags() const;
    PF_OutFlags2 outFlags2() const;

    // Definitions recorded at PARAMS_SETUP, index 0 (input layer) first.
    const std::vector<ParamInfo> &params() const;
    int numParams() const;  // including the input layer
    // The index of the parameter with this uu.id; throws HostError if none.
    int indexOfId(A_long id) const;
    A_long numParamsReported() const;  // out_data->num_params of PARAMS_SETUP

    // A new application of the effect to a layer of this full size. Runs
    // GLOBAL_SETUP and PARAMS_SETUP first if they have not run (HostError if
    // they fail), then SEQUENCE_SETUP (HostError if it fails).
    Instance newInstance(A_long layer_width, A_long layer_height);

    // A raw command with no instance (in_data without sequence data, no
    // params array). The command is accounted like any other.
    CommandResult send(PF_Cmd cmd, void *extra = nullptr, PF_EffectWorld *output = nullptr);

    // Protocol faults seen so far, in order, as readable sentences.
    std::vector<std::string> faults() const;
    void clearFaults();

private:
    std::shared_ptr<detail::EffectCore> core_;
};

// One application of the effect to a layer: its sequence data, its current
// parameter values and the commands about them.
class Instance {
public:
    Instance(Instance &&) noexcept;
    Instance &operator=(Instance &&) noexcept;
    ~Instance();  // sets down the sequence (SEQUENCE_SETDOWN) if still live

    A_long layerWidth() const;
    A_long layerHeight() const;

    // ---- parameter values (the host's, at the current time)
    int numParams() const;
    int indexOfId(A_long id) const;
    const ParamInfo &info(int index) const;
    // The current definition: value, ui_flags as the effect last set them
    // with PF_UpdateParamUI, and everything else as added.
    const PF_ParamDef &param(int index) const;
    LayerChoice layer(int index) const;

    // Typed setters; each throws HostError for a wrong type, an index out of
    // range, or a value outside the definition's valid range, and then
    // changes nothing.
    void setSlider(int index, A_long value);
    void setFixedSlider(int index, PF_Fixed value);
    void setFloatSlider(int index, double value);
    void setAngle(int index, PF_Fixed degrees);  // 16.16 degrees
    void setCheckbox(int index, bool value);
    void setPopup(int index, A_long choice);  // 1-based
    void setColor(int index, PF_Pixel color);
    void setPoint(int index, PF_Fixed x, PF_Fixed y);  // 16.16 full-size layer pixels
    void setPoint3D(int index, double x, double y, double z);
    void setLayer(int index, LayerChoice choice);
    // Any type: copies the value part (u) of `def` except for layers and
    // text pointers. No range check.
    void setRaw(int index, const PF_ParamDef &def);

    // ---- time used by non-render commands (checkout_param, in_data)
    void setTime(A_long current_time, A_long time_step, A_u_long time_scale);

    // ---- commands
    CommandResult updateParamsUI();             // UPDATE_PARAMS_UI
    CommandResult userChangedParam(int index);  // USER_CHANGED_PARAM
    // What the real host does after the user edits a parameter: the
    // parameter's USER_CHANGED_PARAM if it was added with
    // PF_ParamFlag_SUPERVISE, then UPDATE_PARAMS_UI if the effect asked for
    // it (PF_OutFlag_SEND_UPDATE_PARAMS_UI). Returns the first failure, or
    // the last result.
    CommandResult afterUserEdit(int index);
    CommandResult doDialog();           // DO_DIALOG
    CommandResult queryDynamicFlags();  // QUERY_DYNAMIC_FLAGS, from the global flags
    CommandResult sequenceFlatten();    // SEQUENCE_FLATTEN
    CommandResult sequenceResetup();    // SEQUENCE_RESETUP of the current handle
    // SEQUENCE_RESETUP of a handle holding these bytes (a saved project).
    CommandResult sequenceResetup(const std::vector<unsigned char> &flat);
    CommandResult sequenceSetdown();  // SEQUENCE_SETDOWN; the instance is closed afterwards
    // A raw command with this instance's in_data and params array.
    CommandResult send(PF_Cmd cmd, void *extra = nullptr, PF_EffectWorld *output = nullptr);

    // ---- sequence data
    bool hasSequenceData() const;
    std::vector<unsigned char> sequenceData() const;  // a copy of the handle's bytes
    bool closed() const;

    // ---- UI updates and checkouts seen so far
    const std::vector<UiUpdate> &uiUpdates() const;
    void clearUiUpdates();

    // ---- rendering: SMART_PRE_RENDER + SMART_RENDER, or RENDER
    // Callable from several threads at once (see the top of this file).
    FrameResult render(const FrameRequest &request);
    // Whether frames of this instance render concurrently: the effect sets
    // PF_OutFlag2_SUPPORTS_THREADED_RENDERING or PF_OutFlag2_I_AM_THREADSAFE
    // and not PF_OutFlag2_MUTABLE_RENDER_SEQUENCE_DATA_SLOWER.
    bool rendersConcurrently() const;

    std::vector<std::string> faults() const;  // the effect's fault log

private:
    friend class Effect;
    explicit Instance(std::shared_ptr<detail::InstanceState> state);
    std::shared_ptr<detail::InstanceState> state_;
};

}  // namespace host
