// A scriptable in-process effect for the host's tests: each command runs the
// handler the test installed for it, or a plain default (global set-up with
// the test's flags, parameter set-up adding the test's definitions, sequence
// set-down disposing of whatever sequence data there is).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "host/Host.h"

namespace fake {

struct Call {
    PF_Cmd cmd;
    PF_InData *in;
    PF_OutData *out;
    PF_ParamDef **params;
    PF_LayerDef *output;
    void *extra;

    PF_ProgPtr ref() const { return in->effect_ref; }
    PF_PreRenderExtra *preRender() const { return static_cast<PF_PreRenderExtra *>(extra); }
    PF_SmartRenderExtra *smartRender() const { return static_cast<PF_SmartRenderExtra *>(extra); }
    // Smart pre-render: checkout_layer of parameter `index` as `id`, by
    // default all of it.
    PF_Err checkout(int index, A_long id, const PF_RenderRequest *request = nullptr,
                    PF_CheckoutResult *result = nullptr) const;
    // Smart render: the pixels of checkout `id`, or the output; null if refused.
    PF_EffectWorld *pixels(A_long id) const;
    PF_EffectWorld *smartOutput() const;
};

using Handler = std::function<PF_Err(Call &)>;

// Only one is live at a time: its entry point is a plain function.
class FakeEffect {
public:
    FakeEffect() { current_ = this; }
    ~FakeEffect() { current_ = nullptr; }
    FakeEffect(const FakeEffect &) = delete;
    FakeEffect &operator=(const FakeEffect &) = delete;

    void on(PF_Cmd cmd, Handler handler) { handlers_[cmd] = std::move(handler); }
    // A handler that always succeeds.
    void does(PF_Cmd cmd, std::function<void(Call &)> body)
    {
        on(cmd, [body](Call &c) {
            body(c);
            return PF_Err{PF_Err_NONE};
        });
    }
    host::Plugin plugin() const { return host::Plugin(&FakeEffect::Entry, "fake effect"); }

    PF_OutFlags out_flags = PF_OutFlag_DEEP_COLOR_AWARE;
    PF_OutFlags2 out_flags2 = PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE;
    std::vector<PF_ParamDef> defs;  // added in order at PARAMS_SETUP
    std::vector<PF_Cmd> calls;      // every command received

private:
    std::mutex calls_mutex_;  // frames may render on several threads
    static PF_Err Entry(PF_Cmd cmd, PF_InData *in, PF_OutData *out, PF_ParamList params,
                        PF_LayerDef *output, void *extra);
    static FakeEffect *current_;
    std::map<PF_Cmd, Handler> handlers_;
};

// Definitions as an effect fills them.
PF_ParamDef Slider(const char *name, A_long id, A_long lo, A_long hi, A_long dflt);
PF_ParamDef FloatSlider(const char *name, A_long id, float lo, float hi, float dflt);
PF_ParamDef Popup(const char *name, A_long id, const char *items, A_short choices, A_short dflt);
PF_ParamDef Point(const char *name, A_long id, A_long x_percent, A_long y_percent);
PF_ParamDef Layer(const char *name, A_long id, A_long dflt);
PF_ParamDef Def(const char *name, A_long id, PF_ParamType type);  // the rest zero

// A suite from the basic suite, or null.
template <typename Suite>
const Suite *Acquire(PF_InData *in, const char *name, A_long version)
{
    const void *p = nullptr;
    if (in->pica_basicP->AcquireSuite(name, version, &p) != 0) return nullptr;
    return static_cast<const Suite *>(p);
}

// Pre-render of the plainest smart effect: the input as asked for, as id 0.
PF_Err CheckoutInput(Call &c);
// A pixel of a world the host lent or made.
PF_Pixel8 &Px8(const PF_EffectWorld *w, A_long x, A_long y);

// The effect's faults are exactly one containing each part, in any order.
::testing::AssertionResult FaultsAre(const host::Effect &effect,
                                     const std::vector<std::string> &parts);

// A fixture: a fake effect and the host's effect for it.
template <typename Base = ::testing::Test>
class WithEffect : public Base {
protected:
    // Runs `body` inside ABOUT, where the effect may call the host's services.
    void during(std::function<void(PF_InData *)> body)
    {
        fx.does(PF_Cmd_ABOUT, [body](Call &c) { body(c.in); });
        effect.about();
    }

    FakeEffect fx;
    host::Effect effect{fx.plugin()};
};

}  // namespace fake
