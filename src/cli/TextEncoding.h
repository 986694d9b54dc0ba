// The effect's texts are byte strings in Windows code pages: display names
// and popup items in GBK, the about notice in Shift-JIS. The terminal wants
// UTF-8; these conversions go through the C library's iconv.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace cli {

// `bytes` converted from `encoding` (an iconv name such as "GBK") to UTF-8,
// or none when they are not valid in that encoding or iconv lacks it.
std::optional<std::string> ConvertToUtf8(std::string_view bytes, const char *encoding);

// A GBK text for display: converted to UTF-8; bytes that do not convert are
// shown as \xNN escapes.
std::string GbkToUtf8(std::string_view bytes);

// A text that is ASCII or in one of the Windows code pages of the effect's
// languages: tried as Shift-JIS (CP932), then GBK; escapes as a last resort.
std::string LegacyTextToUtf8(std::string_view bytes);

}  // namespace cli
