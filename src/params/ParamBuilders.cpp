#include "ParamBuilders.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "StoredDefaults.h"
#include "platform/Platform.h"

namespace params {

namespace {

// The record field widths, which ReadValue copies from the value's start.
constexpr A_long kIntSize = sizeof(A_long);
constexpr A_long kDoubleSize = sizeof(double);
constexpr A_long kCheckboxSize = 1;
constexpr A_long kColorSize = sizeof(PF_Pixel);
constexpr A_long kPointSize = 2 * sizeof(PF_Fixed);
constexpr A_long kLayerSize = sizeof(PF_LayerDef *);

int ReadStoredInt(const char *key, int fallback, const char *path)
{
    return platform::ProfileReadInt(DefaultsSection(), key, fallback, path);
}

// A number stored as text; the factory value, written the way the file would
// hold it, is the fallback. Text that is not a number reads as 0.
double ReadStoredNumber(const char *key, double fallback, const char *path)
{
    std::string fallbackText = FormatNumber(fallback);
    if (fallbackText.size() >= kNumberTextCapacity) {
        fallbackText.resize(kNumberTextCapacity - 1);
    }
    const std::string text = platform::ProfileReadString(
        DefaultsSection(), key, fallbackText.c_str(), kNumberTextCapacity, path);
    return ParseNumber(text.c_str());
}

void WriteStored(const char *key, const std::string &text, const char *path)
{
    // Write errors are not reported: the defaults are a convenience.
    platform::ProfileWriteString(DefaultsSection(), key, text.c_str(), path);
}

std::string IntText(A_long value)
{
    char text[kValueTextCapacity];
    std::snprintf(text, sizeof text, "%d", static_cast<int>(value));
    return text;
}

// Degrees to 16.16, truncated toward zero; a stored value beyond the fixed
// range is pinned to it rather than overflowing.
PF_Fixed DegreesToFixed(double degrees)
{
    const double scaled = std::trunc(degrees * 65536.0);
    if (!(scaled >= static_cast<double>(std::numeric_limits<PF_Fixed>::min()))) {
        return std::isnan(scaled) ? 0 : std::numeric_limits<PF_Fixed>::min();
    }
    if (scaled > static_cast<double>(std::numeric_limits<PF_Fixed>::max())) {
        return std::numeric_limits<PF_Fixed>::max();
    }
    return static_cast<PF_Fixed>(scaled);
}

}  // namespace

// ---------------------------------------------------------------- slider

ParamAddSlider::ParamAddSlider(const char *name, ParamTemplate tmpl, A_long valueOffset,
                               A_long validMin, A_long validMax, A_long sliderMin, A_long sliderMax,
                               A_long dephault)
    : BaseParam(name, tmpl, valueOffset, kIntSize),
      validMin_(validMin),
      validMax_(validMax),
      sliderMin_(sliderMin),
      sliderMax_(sliderMax),
      dephault_(dephault)
{
}

PF_Err ParamAddSlider::AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath)
{
    A_long value = dephault_;
    if (UseStoredDefault(in_data, defaultsPath)) {
        value = ReadStoredInt(name_, dephault_, defaultsPath);
    }
    PF_SliderDef &sd = definition_.u.sd;
    sd.value = value;
    sd.dephault = value;
    sd.valid_min = validMin_;
    sd.valid_max = validMax_;
    sd.slider_min = sliderMin_;
    sd.slider_max = sliderMax_;
    sd.value_str[0] = '\0';
    sd.value_desc[0] = '\0';
    return Declare(in_data, PF_Param_SLIDER, paramId);
}

void ParamAddSlider::SaveDefault(PF_InData *, const char *defaultsPath,
                                 const FetchedParams &current)
{
    if (defaultsPath) {
        WriteStored(name_, IntText(current.Definition(Index()).u.sd.value), defaultsPath);
    }
}

// ---------------------------------------------------------------- float slider

ParamAddFloatSlider::ParamAddFloatSlider(const char *name, ParamTemplate tmpl, A_long valueOffset,
                                         PF_FpShort validMin, PF_FpShort validMax,
                                         PF_FpShort sliderMin, PF_FpShort sliderMax,
                                         PF_FpShort dephault, A_short precision,
                                         PF_ValueDisplayFlags displayFlags, bool wantPhase)
    : BaseParam(name, tmpl, valueOffset, kDoubleSize),
      validMin_(validMin),
      validMax_(validMax),
      sliderMin_(sliderMin),
      sliderMax_(sliderMax),
      dephault_(dephault),
      precision_(precision),
      displayFlags_(displayFlags),
      wantPhase_(wantPhase)
{
}

PF_Err ParamAddFloatSlider::AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath)
{
    double value = dephault_;
    if (UseStoredDefault(in_data, defaultsPath)) {
        value = ReadStoredNumber(name_, dephault_, defaultsPath);
    }
    // The host keeps the default as a float; the value goes through the same
    // float so that both agree.
    const auto single = static_cast<PF_FpShort>(value);
    PF_FloatSliderDef &fs = definition_.u.fs_d;
    fs.value = static_cast<PF_FpLong>(single);
    fs.dephault = single;
    fs.valid_min = validMin_;
    fs.valid_max = validMax_;
    fs.slider_min = sliderMin_;
    fs.slider_max = sliderMax_;
    fs.precision = precision_;
    fs.display_flags = displayFlags_;
    fs.curve_tolerance = 0.05f;
    if (wantPhase_) {
        fs.fs_flags |= PF_FSliderFlag_WANT_PHASE;
    }
    return Declare(in_data, PF_Param_FLOAT_SLIDER, paramId);
}

void ParamAddFloatSlider::SaveDefault(PF_InData *, const char *defaultsPath,
                                      const FetchedParams &current)
{
    if (defaultsPath) {
        WriteStored(name_, FormatNumber(current.Definition(Index()).u.fs_d.value), defaultsPath);
    }
}

// ---------------------------------------------------------------- angle

ParamAddAngle::ParamAddAngle(const char *name, ParamTemplate tmpl, A_long valueOffset,
                             PF_Fixed dephault)
    : BaseParam(name, tmpl, valueOffset, kIntSize), dephault_(dephault)
{
}

PF_Err ParamAddAngle::AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath)
{
    double degrees = dephault_ / 65536.0;
    if (UseStoredDefault(in_data, defaultsPath)) {
        degrees = ReadStoredNumber(name_, degrees, defaultsPath);
    }
    PF_AngleDef &ad = definition_.u.ad;
    ad.value = DegreesToFixed(degrees);
    ad.dephault = ad.value;
    return Declare(in_data, PF_Param_ANGLE, paramId);
}

void ParamAddAngle::SaveDefault(PF_InData *, const char *defaultsPath, const FetchedParams &current)
{
    if (defaultsPath) {
        WriteStored(name_, FormatNumber(current.Definition(Index()).u.ad.value / 65536.0),
                    defaultsPath);
    }
}

// ---------------------------------------------------------------- checkbox

ParamAddCheckbox::ParamAddCheckbox(const char *name, ParamTemplate tmpl, A_long valueOffset,
                                   const char *label, bool dephault, PF_ParamFlags extraFlags)
    : BaseParam(name, tmpl, valueOffset, kCheckboxSize),
      label_(label),
      dephault_(dephault),
      extraFlags_(extraFlags)
{
}

PF_Err ParamAddCheckbox::AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath)
{
    int value = dephault_ ? 1 : 0;
    if (UseStoredDefault(in_data, defaultsPath)) {
        value = ReadStoredInt(name_, value, defaultsPath);
    }
    // Only the low byte counts, as the host's boolean default holds it.
    const auto lowByte = static_cast<A_u_char>(value & 0xFF);
    PF_CheckBoxDef &bd = definition_.u.bd;
    bd.value = lowByte;
    bd.dephault = static_cast<PF_Boolean>(lowByte);
    bd.u.nameptr = label_;
    definition_.flags |= extraFlags_;
    return Declare(in_data, PF_Param_CHECKBOX, paramId);
}

void ParamAddCheckbox::SaveDefault(PF_InData *, const char *defaultsPath,
                                   const FetchedParams &current)
{
    if (defaultsPath) {
        WriteStored(name_, IntText(current.Definition(Index()).u.bd.value), defaultsPath);
    }
}

// ---------------------------------------------------------------- popup

ParamAddPopup::ParamAddPopup(const char *name, ParamTemplate tmpl, A_long valueOffset,
                             A_short numChoices, A_short dephault, const char *items)
    : BaseParam(name, tmpl, valueOffset, kIntSize),
      numChoices_(numChoices),
      dephault_(dephault),
      items_(items)
{
}

PF_Err ParamAddPopup::AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath)
{
    A_long choice = dephault_;
    if (UseStoredDefault(in_data, defaultsPath)) {
        choice = ReadStoredInt(name_, dephault_, defaultsPath);
    }
    PF_PopupDef &pd = definition_.u.pd;
    pd.num_choices = numChoices_;
    pd.dephault = static_cast<A_short>(choice);
    pd.value = choice;
    pd.u.namesptr = items_;
    return Declare(in_data, PF_Param_POPUP, paramId);
}

void ParamAddPopup::SaveDefault(PF_InData *, const char *defaultsPath, const FetchedParams &current)
{
    if (defaultsPath) {
        WriteStored(name_, IntText(current.Definition(Index()).u.pd.value), defaultsPath);
    }
}

// ---------------------------------------------------------------- colour

ParamAddColor::ParamAddColor(const char *name, ParamTemplate tmpl, A_long valueOffset,
                             PF_Pixel dephault)
    : BaseParam(name, tmpl, valueOffset, kColorSize), dephault_(dephault)
{
}

PF_Err ParamAddColor::AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath)
{
    PF_Pixel color = dephault_;
    color.alpha = 255;
    if (UseStoredDefault(in_data, defaultsPath)) {
        char key[kColorKeyCapacity];
        std::snprintf(key, sizeof key, "%s.r", name_);
        color.red = static_cast<A_u_char>(ReadStoredInt(key, dephault_.red, defaultsPath));
        std::snprintf(key, sizeof key, "%s.g", name_);
        color.green = static_cast<A_u_char>(ReadStoredInt(key, dephault_.green, defaultsPath));
        std::snprintf(key, sizeof key, "%s.b", name_);
        color.blue = static_cast<A_u_char>(ReadStoredInt(key, dephault_.blue, defaultsPath));
        // The ".a" key is written but never read: a colour control has no
        // alpha of its own.
    }
    definition_.u.cd.value = color;
    definition_.u.cd.dephault = color;
    return Declare(in_data, PF_Param_COLOR, paramId);
}

void ParamAddColor::SaveDefault(PF_InData *, const char *defaultsPath, const FetchedParams &current)
{
    if (!defaultsPath) {
        return;
    }
    const PF_Pixel &color = current.Definition(Index()).u.cd.value;
    char key[kColorKeyCapacity];
    std::snprintf(key, sizeof key, "%s.r", name_);
    WriteStored(key, IntText(color.red), defaultsPath);
    std::snprintf(key, sizeof key, "%s.g", name_);
    WriteStored(key, IntText(color.green), defaultsPath);
    std::snprintf(key, sizeof key, "%s.b", name_);
    WriteStored(key, IntText(color.blue), defaultsPath);
    std::snprintf(key, sizeof key, "%s.a", name_);
    WriteStored(key, IntText(color.alpha), defaultsPath);
}

// ---------------------------------------------------------------- point

ParamAddPoint::ParamAddPoint(const char *name, ParamTemplate tmpl, A_long valueOffset,
                             PF_Fixed dephaultX, PF_Fixed dephaultY, bool restrictBounds)
    : BaseParam(name, tmpl, valueOffset, kPointSize),
      dephaultX_(dephaultX),
      dephaultY_(dephaultY),
      restrictBounds_(restrictBounds)
{
}

PF_Err ParamAddPoint::AddToHost(PF_InData *in_data, A_long paramId, const char *)
{
    // The host takes whole percentages only: the fraction bits are cleared.
    const auto wholePart = [](PF_Fixed v) {
        return static_cast<PF_Fixed>(static_cast<A_u_long>(v) & 0xFFFF0000u);
    };
    PF_PointDef &td = definition_.u.td;
    td.x_value = wholePart(dephaultX_);
    td.x_dephault = td.x_value;
    td.y_value = wholePart(dephaultY_);
    td.y_dephault = td.y_value;
    td.restrict_bounds = static_cast<PF_Boolean>(restrictBounds_ ? 1 : 0);
    return Declare(in_data, PF_Param_POINT, paramId);
}

// ---------------------------------------------------------------- layer

ParamAddLayer::ParamAddLayer(const char *name, ParamTemplate tmpl, A_long valueOffset,
                             A_long dephault)
    : BaseParam(name, tmpl, valueOffset, kLayerSize), dephault_(dephault)
{
}

PF_Err ParamAddLayer::ReadValue(RenderRecord *record, ParamGetter &getter)
{
    if (valueSize_ == 0) {
        return PF_Err_NONE;
    }
    char *field = record ? reinterpret_cast<char *>(record) + valueOffset_ : nullptr;
    PF_LayerDef *layer = nullptr;
    if (field) {
        std::memcpy(field, &layer, sizeof layer);
    }
    // A disabled layer control reaches the renderer as no layer, whatever
    // the user picked in it.
    if (!getter.IsEnabled(Index()) || getter.SkipsLayers()) {
        return PF_Err_NONE;
    }
    const PF_Err err = Fetch(getter);
    if (err != PF_Err_NONE) {
        return err;
    }
    if (field) {
        layer = &getter.Fetched().Definition(Index()).u.ld;
        std::memcpy(field, &layer, sizeof layer);
    }
    return PF_Err_NONE;
}

PF_Err ParamAddLayer::AddToHost(PF_InData *in_data, A_long paramId, const char *)
{
    definition_.u.ld.dephault = dephault_;
    return Declare(in_data, PF_Param_LAYER, paramId);
}

// ---------------------------------------------------------------- groups

ParamAddTopic::ParamAddTopic(const char *name, ParamTemplate tmpl, A_u_long endId)
    : BaseParam(name, tmpl, 0, 0), endId_(endId)
{
}

PF_Err ParamAddTopic::AddToHost(PF_InData *in_data, A_long paramId, const char *)
{
    return Declare(in_data, PF_Param_GROUP_START, paramId);
}

ParamEndTopic::ParamEndTopic(ParamTemplate tmpl) : BaseParam("", tmpl, 0, 0) {}

PF_Err ParamEndTopic::AddToHost(PF_InData *in_data, A_long paramId, const char *)
{
    return Declare(in_data, PF_Param_GROUP_END, paramId, false);
}

}  // namespace params
