// A scriptable in-process effect for the host's tests: each command runs the
// handler the test installed for it, or a plain default (global set-up with
// the test's flags, parameter set-up adding the test's definitions, sequence
// set-down disposing of whatever sequence data there is).
#pragma once

#include <functional>
#include <map>
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
};

using Handler = std::function<PF_Err(Call &)>;

// Only one is live at a time: its entry point is a plain function.
class FakeEffect {
public:
    FakeEffect();
    ~FakeEffect();
    FakeEffect(const FakeEffect &) = delete;
    FakeEffect &operator=(const FakeEffect &) = delete;

    void on(PF_Cmd cmd, Handler handler) { handlers_[cmd] = std::move(handler); }
    host::Plugin plugin() const;

    PF_OutFlags out_flags = PF_OutFlag_DEEP_COLOR_AWARE;
    PF_OutFlags2 out_flags2 = PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE;
    std::vector<PF_ParamDef> defs;  // added in order at PARAMS_SETUP
    std::vector<PF_Cmd> calls;      // every command received

private:
    static PF_Err Entry(PF_Cmd cmd, PF_InData *in, PF_OutData *out, PF_ParamList params,
                        PF_LayerDef *output, void *extra);
    std::map<PF_Cmd, Handler> handlers_;
};

// Definitions as an effect fills them.
PF_ParamDef Slider(const char *name, A_long id, A_long lo, A_long hi, A_long dflt);
PF_ParamDef FloatSlider(const char *name, A_long id, float lo, float hi, float dflt);
PF_ParamDef Popup(const char *name, A_long id, const char *items, A_short choices, A_short dflt);
PF_ParamDef Checkbox(const char *name, A_long id, bool dflt);
PF_ParamDef Point(const char *name, A_long id, A_long x_percent, A_long y_percent);
PF_ParamDef Layer(const char *name, A_long id, A_long dflt);
PF_ParamDef Group(const char *name, A_long id);
PF_ParamDef GroupEnd(A_long id);

// A suite from the basic suite, or null.
template <typename Suite>
const Suite *Acquire(PF_InData *in, const char *name, A_long version)
{
    const void *p = nullptr;
    if (in->pica_basicP->AcquireSuite(name, version, &p) != 0) return nullptr;
    return static_cast<const Suite *>(p);
}

bool HasFault(const std::vector<std::string> &faults, const std::string &part);
std::string Joined(const std::vector<std::string> &faults);

}  // namespace fake
