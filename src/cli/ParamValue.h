// Parameter values as a person types them, checked against the definition the
// effect gave the host, in the units its controls show:
//
//   popup          the item number, counting from 1 (separators refused)
//   checkbox       0 or 1 (also off/on, false/true)
//   slider         an integer within the valid range
//   float slider   a number within the valid range, as shown: a percent
//                  slider in percent, with or without a trailing '%'
//   angle          degrees
//   colour         R,G,B with channels 0..255, or #RRGGBB
//   point          X,Y in pixels of the full-size layer
//   layer          the path of an image, "none", or "self" (this layer)
//
// Group headings and ends take no value.
#pragma once

#include <string>
#include <string_view>

#include "host/Host.h"

namespace cli {

struct LayerValue {
    enum Kind { kNone, kSelf, kFile };
    Kind kind = kNone;
    std::string path;  // for kFile, as typed
};

struct ParamValue {
    PF_ParamType type = PF_Param_RESERVED;
    A_long integer = 0;  // slider, popup, checkbox (0 or 1)
    double real = 0;     // float slider
    PF_Fixed angle = 0;  // degrees, 16.16
    PF_Pixel color{};    // alpha 255
    PF_Fixed x = 0;      // point, 16.16 layer pixels
    PF_Fixed y = 0;
    LayerValue layer;
};

// Parses `text` for the parameter `info` (named `identifier` in messages).
// Throws UsageError saying what is wrong and what is accepted, with the
// valid range for values outside it.
ParamValue ParseParamValue(const host::ParamInfo &info, const std::string &identifier,
                           std::string_view text);

// Descriptions for listings, in the units ParseParamValue accepts.
std::string TypeName(PF_ParamType type);  // "float slider", "popup", ...
std::string DescribeRange(const host::ParamInfo &info);
std::string DescribeDefault(const host::ParamInfo &info);
bool IsPercent(const host::ParamInfo &info);  // a float slider shown in percent
bool IsGroupMarker(const host::ParamInfo &info);
bool IsSeparatorItem(std::string_view item);  // "(-", a separator line in a popup

// A number in the shortest form that reads back as the same float, without
// depending on the process's locale (the effect sets its own).
std::string FormatNumber(double value);
std::string FormatNumber(float value);

}  // namespace cli
