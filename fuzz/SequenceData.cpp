// The sequence data's flat form, as a saved project hands it back: arbitrary
// bytes through SEQUENCE_RESETUP, then what follows a project load (the
// interface update, a spacing change, a frame, a save). Whatever the bytes,
// the effect must answer every command and keep the host's rules: a failed
// command or a protocol fault ends the run.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "host/Host.h"

namespace {

struct Effect {
    host::Effect effect{host::Plugin::load(STIPPLEX_PLUGIN_PATH)};
    host::Instance instance = effect.newInstance(24, 16);
    host::World input = host::World(24, 16, host::Depth::k8);
};

void Check(const host::CommandResult &r, const host::Effect &effect)
{
    if (!r.ok() || !effect.faults().empty()) {
        std::fprintf(stderr, "%s: error %d: %s\n", host::CommandName(r.cmd),
                     static_cast<int>(r.err), r.message.c_str());
        for (const std::string &fault : effect.faults())
            std::fprintf(stderr, "fault: %s\n", fault.c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Effect *fx = new Effect;  // lives as long as the process
    host::Instance &inst = fx->instance;
    Check(inst.sequenceResetup(std::vector<unsigned char>(data, data + size)), fx->effect);
    Check(inst.updateParamsUI(), fx->effect);
    // SpacingType (id 8): a change converts the spacings through the data.
    const int spacing = inst.indexOfId(8);
    inst.setPopup(spacing, inst.param(spacing).u.pd.value == 1 ? 2 : 1);
    Check(inst.afterUserEdit(spacing), fx->effect);
    host::FrameRequest request;
    request.input = &fx->input;
    const host::FrameResult frame = inst.render(request);
    Check(frame.render, fx->effect);
    Check(inst.sequenceFlatten(), fx->effect);
    if (inst.sequenceData().size() != 24) std::abort();
    return 0;
}
