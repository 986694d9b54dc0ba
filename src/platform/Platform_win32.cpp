// The Win32 calls behind Platform.h.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <vector>

#include "Platform.h"

namespace platform {

int ProfileReadInt(const char *section, const char *key, int fallback, const char *path)
{
    return static_cast<int>(GetPrivateProfileIntA(section, key, fallback, path));
}

std::string ProfileReadString(const char *section, const char *key, const char *fallback,
                              std::size_t capacity, const char *path)
{
    if (capacity == 0) {
        return std::string();
    }
    std::vector<char> buffer(capacity, '\0');
    const DWORD length = GetPrivateProfileStringA(section, key, fallback, buffer.data(),
                                                  static_cast<DWORD>(capacity), path);
    return std::string(buffer.data(), length);
}

bool ProfileWriteString(const char *section, const char *key, const char *value, const char *path)
{
    return WritePrivateProfileStringA(section, key, value, path) != FALSE;
}

bool AppDataFolder(std::string &folder)
{
    char buffer[MAX_PATH] = {};
    // CSIDL_APPDATA (26), the roaming folder; not created if missing.
    if (!SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_APPDATA, FALSE)) {
        folder.clear();
        return false;
    }
    folder = buffer;
    return true;
}

bool CreateFolderPath(const std::string &folder)
{
    const int result = SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
    return result == ERROR_SUCCESS || result == ERROR_ALREADY_EXISTS || result == ERROR_FILE_EXISTS;
}

bool RemoveFile(const std::string &path)
{
    return DeleteFileA(path.c_str()) != FALSE;
}

bool RemoveFolder(const std::string &folder)
{
    return RemoveDirectoryA(folder.c_str()) != FALSE;
}

// PathRemoveFileSpecA, step by step as shlwapi takes it, so that the platform
// code needs no import library beyond the default ones. CharNextA keeps a
// double-byte character whole: its second byte may be 0x5C, a backslash.
bool StripLastComponent(std::string &path)
{
    std::vector<char> buffer(path.begin(), path.end());
    buffer.push_back('\0');
    char *p = buffer.data();
    char *spec = p;
    // A leading "\\" (UNC) or "\" stays.
    if (*p == '\\') {
        spec = ++p;
    }
    if (*p == '\\') {
        spec = ++p;
    }
    while (*p) {
        if (*p == '\\') {
            spec = p;  // a folder separator
        } else if (*p == ':') {
            spec = ++p;  // past the drive; "C:\" keeps its backslash
            if (*p == '\\') {
                ++spec;
            }
        }
        char *next = CharNextA(p);
        if (next == p) {
            break;
        }
        p = next;
    }
    if (!*spec) {
        return false;
    }
    *spec = '\0';
    path = buffer.data();
    return true;
}

std::string CommandLine()
{
    const char *line = GetCommandLineA();
    return line ? std::string(line) : std::string();
}

unsigned AnsiCodePage()
{
    return GetACP();
}

bool ShiftKeyDown()
{
    return (GetKeyState(VK_SHIFT) & 0x8000) != 0;
}

}  // namespace platform
