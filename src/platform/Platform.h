// The operating-system services the effect uses, each behind one small
// function with the meaning of the Win32 call it stands for. The Windows
// build calls Win32 itself (Platform_win32.cpp); elsewhere a portable
// stand-in gives the same results (Platform_posix.cpp, ProfileFile_posix.cpp),
// so that the parameter code and its tests run unchanged on Linux.
//
// Strings are bytes in the process's multibyte encoding, as the ...A calls
// of Win32 take them.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// Separator between the folders of a path.
#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// ---------------------------------------------------------------- INI files
// GetPrivateProfileIntA: the leading decimal integer of the key's value; the
// fallback when the file, the section or the key is missing or the value is
// empty; 0 when the value does not start with a number.
int ProfileReadInt(const char *section, const char *key, int fallback, const char *path);

// GetPrivateProfileStringA with a result buffer of `capacity` bytes: the
// key's value (blanks around it and one pair of enclosing quotes removed) or
// the fallback, cut to capacity - 1 bytes.
std::string ProfileReadString(const char *section, const char *key, const char *fallback,
                              std::size_t capacity, const char *path);

// WritePrivateProfileStringA: sets key=value in the section, creating the
// file, the section and the key as needed and keeping every other line. The
// folder must exist. Returns false when the file could not be written.
bool ProfileWriteString(const char *section, const char *key, const char *value, const char *path);

// ---------------------------------------------------------------- files and folders
// The user's roaming application-data folder (SHGetSpecialFolderPathA with
// folder 26, not created), without a separator at the end. Elsewhere the
// per-user configuration folder: $XDG_CONFIG_HOME, else ~/.config.
bool AppDataFolder(std::string &folder);

// SHCreateDirectoryExA: creates the folder and every missing parent. True
// when the folder exists afterwards, also when it existed before.
bool CreateFolderPath(const std::string &folder);

// DeleteFileA.
bool RemoveFile(const std::string &path);

// RemoveDirectoryA: removes the folder only if it is empty.
bool RemoveFolder(const std::string &folder);

// PathRemoveFileSpecA: drops the last component and the separator before
// it ("a\b\c" -> "a\b", "a\b\" -> "a\b"); a root stays a root. True when the
// path changed.
bool StripLastComponent(std::string &path);

// ---------------------------------------------------------------- process
// GetCommandLineA. Elsewhere the arguments of /proc/self/cmdline joined by
// blanks, an argument holding a blank or a tab put in double quotes.
std::string CommandLine();

// GetACP. Elsewhere derived from the locale the environment names: 932 for a
// Japanese locale, 936 for simplified Chinese, 1252 otherwise.
unsigned AnsiCodePage();

// High bit of GetKeyState(VK_SHIFT). Elsewhere there is no keyboard to ask:
// true only when the environment variable STIPPLEX_SHIFT_KEY is "1", which
// lets tests and scripts play a held Shift key.
bool ShiftKeyDown();

}  // namespace platform
