// The preset parser on arbitrary text: every line is an assignment or an
// error naming the line.
#include <cstdint>
#include <string_view>

#include "cli/Errors.h"
#include "cli/Preset.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    try {
        for (const cli::Assignment &a : cli::ParsePreset(text, "/fuzz/look.preset")) {
            if (a.name.empty() || a.value.empty()) std::abort();
        }
    } catch (const cli::UsageError &) {
    } catch (const cli::Failure &) {
    }
    return 0;
}
