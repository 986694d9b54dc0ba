// The tool's names for the effect's parameters: for each of the 122 the
// identifier used on the command line and in presets, its parameter id (the
// identity the effect gives it, stable across versions) and what it means.
// Everything else about a parameter (type, range, default, display name,
// popup items) comes from the definitions the effect hands the host.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct CatalogEntry {
    std::string identifier;  // DotShape ... HueOffset3
    int id = 0;              // the definition's uu.id
    std::string meaning;     // in English
};

// All 122 entries in the effect's control order.
const std::vector<CatalogEntry> &ParamCatalog();

// The entry with this parameter id, or null.
const CatalogEntry *FindCatalogEntryById(int id);

// The entry with this identifier, compared exactly and, failing that,
// without regard to case. Null when there is none.
const CatalogEntry *FindCatalogEntry(std::string_view identifier);

// Up to `count` identifiers closest to `name` by edit distance (ignoring
// case), nearest first, only those close enough to be a plausible typo.
std::vector<std::string> NearestIdentifiers(std::string_view name, std::size_t count = 3);

// "unknown parameter 'DotSiz' (nearest: DotSize, ...)", or a pointer to the
// full list when nothing is near.
std::string UnknownParameterMessage(std::string_view name);

// Levenshtein distance, ignoring ASCII case.
std::size_t EditDistance(std::string_view a, std::string_view b);

}  // namespace cli
