// The stored-defaults file on arbitrary bytes, read both ways: by the
// tool's bounded reader, and by the effect's own reader (the portable
// stand-in of the private-profile functions), for a few of its real keys.
#include <cstdint>
#include <string_view>

#include "FuzzFile.h"
#include "cli/StoredDefaults.h"
#include "platform/Platform.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string &path = fuzz::FileWith(data, size);
    const cli::StoredDefaults file = cli::ReadStoredDefaults(path);
    const cli::StoredDefaults parsed =
        cli::ParseStoredDefaults(std::string_view(reinterpret_cast<const char *>(data), size));
    if (file.problem.empty() && parsed.entries != file.entries) std::abort();

    // 点的形状 (a popup), 点的大小 (a float slider) and 点的颜色.r (a colour part).
    static const char *const keys[] = {"\xB5\xE3\xB5\xC4\xD0\xCE\xD7\xB4",
                                       "\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1",
                                       "\xB5\xE3\xB5\xC4\xD1\xD5\xC9\xAB.r"};
    for (const char *key : keys) {
        (void)platform::ProfileReadInt("Version=1.5", key, 1, path.c_str());
        const std::string text =
            platform::ProfileReadString("Version=1.5", key, "10.000000", 128, path.c_str());
        if (text.size() > 127) std::abort();
    }
    return 0;
}
