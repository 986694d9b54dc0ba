// The PNG or the EXR reader (FUZZ_EXR) on arbitrary bytes: every input is
// read or refused with Failure, within libFuzzer's memory limit.
#include <cstdint>

#include "FuzzFile.h"
#include "cli/Errors.h"
#include "cli/ImageFormats_p.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string &path = fuzz::FileWith(data, size);
    try {
#ifdef FUZZ_EXR
        const cli::Image image =
            cli::detail::ReadExr(path, std::nullopt, cli::ExrAlpha::kPremultiplied);
#else
        const cli::Image image = cli::detail::ReadPng(path, std::nullopt);
#endif
        (void)image;
    } catch (const cli::Failure &) {
    }
    return 0;
}
