// The PNG or the EXR reader (FUZZ_EXR) on arbitrary bytes: every input is
// read or refused with Failure, within libFuzzer's memory limit. As in the
// tool, the header is read first and a frame beyond a memory budget (here
// 4096 x 4096) is refused before the reader allocates it.
#include <cstdint>

#include "FuzzFile.h"
#include "cli/Errors.h"
#include "cli/ImageFormats_p.h"
#include "cli/ImageIO.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string &path = fuzz::FileWith(data, size);
    try {
        const cli::ImageInfo info = cli::ReadImageInfo(path);
        if (static_cast<std::int64_t>(info.width) * info.height > 4096 * 4096) {
            return 0;
        }
        const cli::detail::Bytes bytes = cli::ReadFileBytes(path);
#ifdef FUZZ_EXR
        const cli::Image image =
            cli::detail::DecodeExr(path, bytes, std::nullopt, cli::ExrAlpha::kPremultiplied);
#else
        const cli::Image image = cli::detail::DecodePng(path, bytes, std::nullopt);
#endif
        (void)image;
    } catch (const cli::Failure &) {
    }
    return 0;
}
