// The parameter value parser on arbitrary text, for every parameter the
// effect defines: the first byte picks the parameter, the rest is the value.
// A value is parsed or refused with a usage error; a parsed value is one the
// host accepts (a refusal escapes as an exception and ends the run).
#include <cstdint>
#include <memory>

#include "cli/Commands_p.h"
#include "cli/Errors.h"
#include "cli/ParamValue.h"
#include "cli/Session.h"

namespace {

struct Effect {
    cli::Session session{STIPPLEX_PLUGIN_PATH};
    const std::vector<cli::ToolParam> &params = session.Params();
    host::Instance instance = session.GetEffect().newInstance(64, 48);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static Effect *effect = new Effect;  // lives as long as the process
    if (size == 0) return 0;
    const cli::ToolParam &param = effect->params[data[0] % effect->params.size()];
    const std::string_view text(reinterpret_cast<const char *>(data + 1), size - 1);
    cli::detail::ResolvedValue resolved;
    resolved.param = &param;
    try {
        resolved.value = cli::ParseParamValue(*param.info, param.identifier, text);
    } catch (const cli::UsageError &) {
        return 0;
    }
    if (resolved.value.type == PF_Param_LAYER) {
        return 0;  // an image path: what it names is the image readers' part
    }
    // Throws Failure (and so aborts the run) if the host refuses the value.
    cli::detail::ApplyValues(effect->instance, {resolved}, {});
    return 0;
}
