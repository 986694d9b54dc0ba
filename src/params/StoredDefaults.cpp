#include "StoredDefaults.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Platform.h"

namespace params {

namespace {

// 'FXTC', the application id of the host that stored defaults depend on.
constexpr A_long kAfterEffectsApplId = 0x46585443;

char g_section[kSectionCapacity] = "";

}  // namespace

bool StoredDefaultsAllowed(const PF_InData *in_data)
{
    if (in_data->appl_id != kAfterEffectsApplId) {
        return true;
    }
    const A_short major = in_data->version.major;
    const A_short minor = in_data->version.minor;
    return !(major < 12 || (major == 12 && minor <= 11));
}

const char *DefaultsSection()
{
    return g_section;
}

void SetDefaultsSection(bool storedDefaultsUsed)
{
    if (storedDefaultsUsed) {
        std::snprintf(g_section, sizeof g_section, "Version=%d.%d", kDefaultsMajorVersion,
                      kDefaultsMinorVersion);
    } else {
        g_section[0] = '\0';
    }
}

bool GetDefaultsPath(char (&path)[kDefaultsPathCapacity])
{
    path[0] = '\0';
    std::string full;
    if (!platform::AppDataFolder(full)) {
        return false;
    }
    const char sep = platform::kPathSeparator;
    full += sep;
    full += "Tavro";
    full += sep;
    full += "Panelry";
    full += sep;
    full += "Stipplex.ini";
    const std::size_t n = std::min(full.size(), kDefaultsPathCapacity - 1);
    std::memcpy(path, full.data(), n);
    path[n] = '\0';
    return full.size() < kDefaultsPathCapacity;
}

void DeleteDefaultsFile(const char *path)
{
    std::string appData;
    const bool haveAppData = platform::AppDataFolder(appData);
    platform::RemoveFile(path);
    if (!haveAppData) {
        return;
    }
    // Walk up from the file's folder, removing folders until one is not
    // empty or the application-data folder itself is reached.
    std::string folder = path;
    if (!platform::StripLastComponent(folder)) {
        return;
    }
    while (folder != appData) {
        if (!platform::RemoveFolder(folder) || !platform::StripLastComponent(folder)) {
            break;
        }
    }
}

std::string FormatNumber(double value)
{
    char text[kValueTextCapacity];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

double ParseNumber(const char *text)
{
    return std::strtod(text, nullptr);
}

}  // namespace params
