// The builder classes, one per host parameter type. Each holds its factory
// settings and knows how to declare them, how its stored default is read and
// how its value is written back to the defaults file.
#pragma once

#include "BaseParam.h"

namespace params {

// Integer slider. Record value: A_long. Stored as "%d".
class ParamAddSlider : public BaseParam {
public:
    ParamAddSlider(const char *name, ParamTemplate tmpl, A_long valueOffset, A_long validMin,
                   A_long validMax, A_long sliderMin, A_long sliderMax, A_long dephault);
    PF_Err AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath) override;
    void SaveDefault(PF_InData *in_data, const char *defaultsPath,
                     const FetchedParams &current) override;

private:
    A_long validMin_, validMax_, sliderMin_, sliderMax_, dephault_;
};

// Floating-point slider. Record value: double. Stored as "%f".
class ParamAddFloatSlider : public BaseParam {
public:
    ParamAddFloatSlider(const char *name, ParamTemplate tmpl, A_long valueOffset,
                        PF_FpShort validMin, PF_FpShort validMax, PF_FpShort sliderMin,
                        PF_FpShort sliderMax, PF_FpShort dephault, A_short precision,
                        PF_ValueDisplayFlags displayFlags, bool wantPhase = false);
    PF_Err AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath) override;
    void SaveDefault(PF_InData *in_data, const char *defaultsPath,
                     const FetchedParams &current) override;

private:
    PF_FpShort validMin_, validMax_, sliderMin_, sliderMax_, dephault_;
    A_short precision_;
    PF_ValueDisplayFlags displayFlags_;
    bool wantPhase_;
};

// Angle, 16.16 fixed degrees. Record value: PF_Fixed. Stored in degrees, "%f".
class ParamAddAngle : public BaseParam {
public:
    ParamAddAngle(const char *name, ParamTemplate tmpl, A_long valueOffset, PF_Fixed dephault);
    PF_Err AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath) override;
    void SaveDefault(PF_InData *in_data, const char *defaultsPath,
                     const FetchedParams &current) override;

private:
    PF_Fixed dephault_;
};

// Checkbox. Record value: one byte, 0 or 1. Stored as "%d".
class ParamAddCheckbox : public BaseParam {
public:
    ParamAddCheckbox(const char *name, ParamTemplate tmpl, A_long valueOffset, const char *label,
                     bool dephault, PF_ParamFlags extraFlags = 0);
    PF_Err AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath) override;
    void SaveDefault(PF_InData *in_data, const char *defaultsPath,
                     const FetchedParams &current) override;

private:
    const char *label_;
    bool dephault_;
    PF_ParamFlags extraFlags_;
};

// Popup menu; `items` separated by '|', values counted from 1. Record value:
// A_long. Stored as "%d".
class ParamAddPopup : public BaseParam {
public:
    ParamAddPopup(const char *name, ParamTemplate tmpl, A_long valueOffset, A_short numChoices,
                  A_short dephault, const char *items);
    PF_Err AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath) override;
    void SaveDefault(PF_InData *in_data, const char *defaultsPath,
                     const FetchedParams &current) override;

private:
    A_short numChoices_, dephault_;
    const char *items_;
};

// 8-bit colour; the default's alpha is not used, the host gets 255. Record
// value: PF_Pixel. Stored as four keys "<name>.r", ".g", ".b", ".a".
class ParamAddColor : public BaseParam {
public:
    ParamAddColor(const char *name, ParamTemplate tmpl, A_long valueOffset, PF_Pixel dephault);
    PF_Err AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath) override;
    void SaveDefault(PF_InData *in_data, const char *defaultsPath,
                     const FetchedParams &current) override;

private:
    PF_Pixel dephault_;
};

// Point; the default is in percent of the layer size (16.16). Record value:
// FixedPoint. No stored form.
class ParamAddPoint : public BaseParam {
public:
    ParamAddPoint(const char *name, ParamTemplate tmpl, A_long valueOffset, PF_Fixed dephaultX,
                  PF_Fixed dephaultY, bool restrictBounds = false);
    PF_Err AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath) override;

private:
    PF_Fixed dephaultX_, dephaultY_;
    bool restrictBounds_;
};

// Layer. Record value: a pointer to the fetched layer, or null when the
// parameter is disabled or the reader skips layers. No stored form.
class ParamAddLayer : public BaseParam {
public:
    ParamAddLayer(const char *name, ParamTemplate tmpl, A_long valueOffset, A_long dephault);
    PF_Err ReadValue(RenderRecord *record, ParamGetter &getter) override;
    PF_Err AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath) override;

private:
    A_long dephault_;
};

// Start of a group; `endId` is the id of the ParamEndTopic that closes it.
class ParamAddTopic : public BaseParam {
public:
    ParamAddTopic(const char *name, ParamTemplate tmpl, A_u_long endId);
    PF_Err AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath) override;
    A_u_long EndId() const { return endId_; }

private:
    A_u_long endId_;
};

// End of a group. It has no name.
class ParamEndTopic : public BaseParam {
public:
    explicit ParamEndTopic(ParamTemplate tmpl);
    PF_Err AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath) override;
};

}  // namespace params
