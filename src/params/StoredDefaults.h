// The stored defaults: a per-user INI file under the application-data folder
// ("Tavro", "Panelry", "Stipplex.ini") whose section "Version=1.5" holds one
// key per parameter, named by the parameter's display name.
#pragma once

#include <cstddef>
#include <string>

#include "AEUtil/AESdk.h"

namespace params {

// Buffer sizes the file's users work with.
constexpr std::size_t kDefaultsPathCapacity = 260;  // the full path
constexpr std::size_t kSectionCapacity = 128;
constexpr std::size_t kNumberTextCapacity = 128;  // a number read from the file
constexpr std::size_t kValueTextCapacity = 256;   // a value written to the file
constexpr std::size_t kColorKeyCapacity = 1024;   // "<name>.r" and friends

// The effect's major and minor version, which name the section.
constexpr int kDefaultsMajorVersion = 1;
constexpr int kDefaultsMinorVersion = 5;

// Whether this host gets stored defaults: not After Effects before API
// version 12.12; every other host does.
bool StoredDefaultsAllowed(const PF_InData *in_data);

// The section the keys live in: "Version=1.5" once parameter set-up has
// decided to use stored defaults, empty otherwise. Written only at parameter
// set-up.
const char *DefaultsSection();
void SetDefaultsSection(bool storedDefaultsUsed);

// The full path of the defaults file, cut to the buffer; true when all of
// it fit (false as well when there is no application-data folder).
bool GetDefaultsPath(char (&path)[kDefaultsPathCapacity]);

// Deletes the file at `path`, then the folders above it while they are empty,
// up to (not including) the application-data folder.
void DeleteDefaultsFile(const char *path);

// Numbers as the file holds them: "%f" and the C library's parsing, both in
// the process's locale (the effect adopts the user's locale at start, so a
// decimal comma reads and writes as a comma). Text that is not a number
// parses as 0.
std::string FormatNumber(double value);
double ParseNumber(const char *text);

}  // namespace params
