#include "ParamValue.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <vector>

#include "Errors.h"

namespace cli {

namespace {

// 16.16 fixed point holds -32768 up to just below 32768.
constexpr double kFixedLimit = 32767.0;

std::string_view Trim(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// A whole decimal number, locale-independent, or none.
std::optional<double> ParseReal(std::string_view text)
{
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<long> ParseInteger(std::string_view text)
{
    text = Trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    long value = 0;
    const char *end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> SplitCommas(std::string_view text)
{
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            return parts;
        }
        start = comma + 1;
    }
}

PF_Fixed ToFixed(double value)
{
    return static_cast<PF_Fixed>(std::lround(value * 65536.0));
}

class Parser {
public:
    Parser(const host::ParamInfo &info, const std::string &identifier, std::string_view text)
        : info_(info), def_(info.def), identifier_(identifier), text_(Trim(text))
    {
    }

    ParamValue Parse()
    {
        ParamValue v;
        v.type = info_.type;
        switch (info_.type) {
            case PF_Param_POPUP:
                v.integer = Popup();
                break;
            case PF_Param_CHECKBOX:
                v.integer = Checkbox();
                break;
            case PF_Param_SLIDER:
                v.integer = Slider();
                break;
            case PF_Param_FLOAT_SLIDER:
                v.real = FloatSlider();
                break;
            case PF_Param_ANGLE:
                v.angle = Angle();
                break;
            case PF_Param_COLOR:
                v.color = Colour();
                break;
            case PF_Param_POINT:
                Point(v.x, v.y);
                break;
            case PF_Param_LAYER:
                v.layer = Layer();
                break;
            case PF_Param_GROUP_START:
            case PF_Param_GROUP_END:
                throw UsageError(identifier_ + " is a group marker and takes no value");
            default:
                throw UsageError(identifier_ + " is of a type (" + TypeName(info_.type) +
                                 ") that cannot be set");
        }
        return v;
    }

private:
    [[noreturn]] void Fail(const std::string &what) const
    {
        throw UsageError(identifier_ + ": " + what);
    }
    [[noreturn]] void Expected(const std::string &what) const
    {
        Fail("'" + std::string(text_) + "' is not " + what);
    }
    [[noreturn]] void OutOfRange(const std::string &range) const
    {
        Fail(std::string(text_) + " is out of range (valid " + range + ")");
    }

    A_long Popup() const
    {
        const std::optional<long> n = ParseInteger(text_);
        if (!n) {
            Expected("an item number");
        }
        const long count = def_.u.pd.num_choices;
        if (*n < 1 || *n > count) {
            OutOfRange("1 to " + std::to_string(count));
        }
        const std::size_t item = static_cast<std::size_t>(*n - 1);
        if (item < info_.popup_items.size() && IsSeparatorItem(info_.popup_items[item])) {
            Fail("item " + std::to_string(*n) + " is a separator line, not a choice");
        }
        return static_cast<A_long>(*n);
    }

    A_long Checkbox() const
    {
        if (text_ == "1" || text_ == "on" || text_ == "true") {
            return 1;
        }
        if (text_ == "0" || text_ == "off" || text_ == "false") {
            return 0;
        }
        Expected("0 or 1");
    }

    A_long Slider() const
    {
        const std::optional<long> n = ParseInteger(text_);
        if (!n) {
            Expected("an integer");
        }
        const PF_SliderDef &sd = def_.u.sd;
        if (*n < sd.valid_min || *n > sd.valid_max) {
            OutOfRange(std::to_string(sd.valid_min) + " to " + std::to_string(sd.valid_max));
        }
        return static_cast<A_long>(*n);
    }

    double FloatSlider() const
    {
        std::string_view number = text_;
        const bool percent = IsPercent(info_);
        if (!number.empty() && number.back() == '%') {
            if (!percent) {
                Fail("'" + std::string(text_) + "': this control is not shown in percent");
            }
            number.remove_suffix(1);
        }
        const std::optional<double> value = ParseReal(number);
        if (!value) {
            Expected("a number");
        }
        const PF_FloatSliderDef &fs = def_.u.fs_d;
        if (*value < fs.valid_min || *value > fs.valid_max) {
            const std::string unit = percent ? "%" : "";
            OutOfRange(FormatNumber(fs.valid_min) + unit + " to " + FormatNumber(fs.valid_max) +
                       unit);
        }
        return *value;
    }

    PF_Fixed Angle() const
    {
        const std::optional<double> degrees = ParseReal(text_);
        if (!degrees) {
            Expected("an angle in degrees");
        }
        if (std::fabs(*degrees) > kFixedLimit) {
            OutOfRange("-32767 to 32767 degrees");
        }
        return ToFixed(*degrees);
    }

    PF_Pixel Colour() const
    {
        PF_Pixel p{};
        p.alpha = 255;
        if (!text_.empty() && text_.front() == '#') {
            const std::string_view hex = text_.substr(1);
            unsigned value = 0;
            const auto [ptr, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
            if (hex.size() != 6 || ec != std::errc() || ptr != hex.data() + hex.size()) {
                Expected("a colour (#RRGGBB or R,G,B with 0..255)");
            }
            p.red = static_cast<A_u_char>(value >> 16);
            p.green = static_cast<A_u_char>((value >> 8) & 0xFF);
            p.blue = static_cast<A_u_char>(value & 0xFF);
            return p;
        }
        const std::vector<std::string_view> parts = SplitCommas(text_);
        if (parts.size() != 3) {
            Expected("a colour (R,G,B with 0..255, or #RRGGBB)");
        }
        A_u_char channels[3];
        for (int i = 0; i < 3; ++i) {
            const std::optional<long> c = ParseInteger(parts[static_cast<std::size_t>(i)]);
            if (!c) {
                Expected("a colour (R,G,B with 0..255, or #RRGGBB)");
            }
            if (*c < 0 || *c > 255) {
                OutOfRange("0 to 255 for each of R, G, B");
            }
            channels[i] = static_cast<A_u_char>(*c);
        }
        p.red = channels[0];
        p.green = channels[1];
        p.blue = channels[2];
        return p;
    }

    void Point(PF_Fixed &x, PF_Fixed &y) const
    {
        const std::vector<std::string_view> parts = SplitCommas(text_);
        std::optional<double> px;
        std::optional<double> py;
        if (parts.size() == 2) {
            px = ParseReal(parts[0]);
            py = ParseReal(parts[1]);
        }
        if (!px || !py) {
            Expected("a point (X,Y in layer pixels)");
        }
        if (std::fabs(*px) > kFixedLimit || std::fabs(*py) > kFixedLimit) {
            OutOfRange("-32767 to 32767 pixels for X and Y");
        }
        x = ToFixed(*px);
        y = ToFixed(*py);
    }

    LayerValue Layer() const
    {
        LayerValue layer;
        if (text_ == "none") {
            layer.kind = LayerValue::kNone;
        } else if (text_ == "self") {
            layer.kind = LayerValue::kSelf;
        } else {
            layer.kind = LayerValue::kFile;
            layer.path = std::string(text_);
        }
        return layer;
    }

    const host::ParamInfo &info_;
    const PF_ParamDef &def_;
    const std::string &identifier_;
    std::string_view text_;
};

}  // namespace

ParamValue ParseParamValue(const host::ParamInfo &info, const std::string &identifier,
                           std::string_view text)
{
    return Parser(info, identifier, text).Parse();
}

std::string FormatNumber(double value)
{
    char buf[64];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("?");
}

std::string FormatNumber(float value)
{
    char buf[64];
    const auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, value);
    return ec == std::errc() ? std::string(buf, ptr) : std::string("?");
}

bool IsPercent(const host::ParamInfo &info)
{
    return info.type == PF_Param_FLOAT_SLIDER &&
           (info.def.u.fs_d.display_flags & PF_ValueDisplayFlag_PERCENT) != 0;
}

bool IsGroupMarker(const host::ParamInfo &info)
{
    return info.type == PF_Param_GROUP_START || info.type == PF_Param_GROUP_END;
}

bool IsSeparatorItem(std::string_view item)
{
    return item == "(-";
}

std::string TypeName(PF_ParamType type)
{
    return host::ParamTypeName(type);
}

std::string DescribeRange(const host::ParamInfo &info)
{
    const PF_ParamDef &d = info.def;
    switch (info.type) {
        case PF_Param_SLIDER:
            return std::to_string(d.u.sd.valid_min) + " to " + std::to_string(d.u.sd.valid_max) +
                   " (slider " + std::to_string(d.u.sd.slider_min) + " to " +
                   std::to_string(d.u.sd.slider_max) + ")";
        case PF_Param_FLOAT_SLIDER: {
            const std::string unit = IsPercent(info) ? "%" : "";
            const PF_FloatSliderDef &fs = d.u.fs_d;
            return FormatNumber(fs.valid_min) + unit + " to " + FormatNumber(fs.valid_max) + unit +
                   " (slider " + FormatNumber(fs.slider_min) + unit + " to " +
                   FormatNumber(fs.slider_max) + unit + ", " + std::to_string(fs.precision) +
                   (fs.precision == 1 ? " decimal)" : " decimals)");
        }
        case PF_Param_POPUP:
            return "1 to " + std::to_string(d.u.pd.num_choices);
        case PF_Param_CHECKBOX:
            return "0 or 1";
        case PF_Param_ANGLE:
            return "degrees";
        case PF_Param_COLOR:
            return "R,G,B 0 to 255, or #RRGGBB";
        case PF_Param_POINT:
            return "X,Y in layer pixels";
        case PF_Param_LAYER:
            return "image path, none or self";
        default:
            return "";
    }
}

std::string DescribeDefault(const host::ParamInfo &info)
{
    const PF_ParamDef &d = info.def;
    switch (info.type) {
        case PF_Param_SLIDER:
            return std::to_string(d.u.sd.dephault);
        case PF_Param_FLOAT_SLIDER:
            return FormatNumber(d.u.fs_d.dephault) + (IsPercent(info) ? "%" : "");
        case PF_Param_POPUP:
            return std::to_string(d.u.pd.dephault);
        case PF_Param_CHECKBOX:
            return d.u.bd.dephault ? "1" : "0";
        case PF_Param_ANGLE:
            return FormatNumber(d.u.ad.dephault / 65536.0);
        case PF_Param_COLOR: {
            const PF_Pixel &c = d.u.cd.dephault;
            return std::to_string(c.red) + "," + std::to_string(c.green) + "," +
                   std::to_string(c.blue);
        }
        case PF_Param_POINT:
            // Point defaults are given in percent of the layer's size.
            return FormatNumber(d.u.td.x_dephault / 65536.0) + "%," +
                   FormatNumber(d.u.td.y_dephault / 65536.0) + "% of the layer";
        case PF_Param_LAYER:
            return d.u.ld.dephault == PF_LayerDefault_MYSELF ? "self" : "none";
        default:
            return "";
    }
}

}  // namespace cli
