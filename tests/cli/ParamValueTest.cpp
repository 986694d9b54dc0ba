#include "cli/ParamValue.h"

#include <gtest/gtest.h>

#include "cli/Errors.h"

namespace {

using namespace cli;

host::ParamInfo Info(PF_ParamType type)
{
    host::ParamInfo info;
    info.type = type;
    info.def.param_type = type;
    return info;
}

host::ParamInfo FloatSlider(float validMin, float validMax, bool percent)
{
    host::ParamInfo info = Info(PF_Param_FLOAT_SLIDER);
    info.def.u.fs_d.valid_min = validMin;
    info.def.u.fs_d.valid_max = validMax;
    info.def.u.fs_d.slider_min = validMin;
    info.def.u.fs_d.slider_max = validMax / 10;
    info.def.u.fs_d.dephault = 10;
    info.def.u.fs_d.precision = 1;
    info.def.u.fs_d.display_flags = percent ? PF_ValueDisplayFlag_PERCENT : 0;
    return info;
}

host::ParamInfo Slider(A_long validMin, A_long validMax)
{
    host::ParamInfo info = Info(PF_Param_SLIDER);
    info.def.u.sd.valid_min = validMin;
    info.def.u.sd.valid_max = validMax;
    info.def.u.sd.slider_min = validMin;
    info.def.u.sd.slider_max = 60;
    return info;
}

host::ParamInfo Popup(std::vector<std::string> items)
{
    host::ParamInfo info = Info(PF_Param_POPUP);
    info.def.u.pd.num_choices = static_cast<A_short>(items.size());
    info.def.u.pd.dephault = 1;
    info.popup_items = std::move(items);
    return info;
}

// The message of the UsageError that parsing throws, or "".
std::string Refusal(const host::ParamInfo &info, const std::string &text)
{
    try {
        ParseParamValue(info, "Name", text);
    } catch (const UsageError &e) {
        return e.what();
    }
    return "";
}

TEST(ParamValue, PercentSliderTakesPercentWithOrWithoutSign)
{
    const host::ParamInfo opacity = FloatSlider(0, 100, true);
    EXPECT_DOUBLE_EQ(ParseParamValue(opacity, "DotOpacity", "50").real, 50.0);
    EXPECT_DOUBLE_EQ(ParseParamValue(opacity, "DotOpacity", "50%").real, 50.0);
    EXPECT_DOUBLE_EQ(ParseParamValue(opacity, "DotOpacity", "12.5%").real, 12.5);
    EXPECT_DOUBLE_EQ(ParseParamValue(opacity, "DotOpacity", "100").real, 100.0);
}

TEST(ParamValue, OutOfRangeValueIsRefusedWithTheValidRange)
{
    const host::ParamInfo opacity = FloatSlider(0, 100, true);
    EXPECT_EQ(Refusal(opacity, "150%"), "Name: 150% is out of range (valid 0% to 100%)");
    EXPECT_EQ(Refusal(opacity, "-0.5"), "Name: -0.5 is out of range (valid 0% to 100%)");

    const host::ParamInfo size = FloatSlider(0, 1000, false);
    EXPECT_EQ(Refusal(size, "2000"), "Name: 2000 is out of range (valid 0 to 1000)");
    EXPECT_DOUBLE_EQ(ParseParamValue(size, "DotSize", "1000").real, 1000.0);
    // Above the slider's own maximum is fine while within the valid range.
    EXPECT_DOUBLE_EQ(ParseParamValue(size, "DotSize", "250.25").real, 250.25);

    const host::ParamInfo aspect = FloatSlider(-100, 100, true);
    EXPECT_DOUBLE_EQ(ParseParamValue(aspect, "DotAspect", "-100").real, -100.0);
    EXPECT_EQ(Refusal(aspect, "-101"), "Name: -101 is out of range (valid -100% to 100%)");
}

TEST(ParamValue, PercentSignOnlyForPercentControls)
{
    EXPECT_NE(Refusal(FloatSlider(0, 1000, false), "10%"), "");
}

TEST(ParamValue, FloatSliderRefusesNonNumbers)
{
    const host::ParamInfo size = FloatSlider(0, 1000, false);
    EXPECT_NE(Refusal(size, "abc").find("is not a number"), std::string::npos);
    EXPECT_NE(Refusal(size, "1,5"), "");
    EXPECT_NE(Refusal(size, "nan"), "");
    EXPECT_NE(Refusal(size, ""), "");
}

TEST(ParamValue, IntegerSliderTakesWholeNumbersInTheValidRange)
{
    const host::ParamInfo interval = Slider(0, 1000);
    EXPECT_EQ(ParseParamValue(interval, "RandomInterval", "61").integer, 61);
    EXPECT_EQ(ParseParamValue(interval, "RandomInterval", "+7").integer, 7);
    EXPECT_NE(Refusal(interval, "1.5").find("not an integer"), std::string::npos);
    EXPECT_EQ(Refusal(interval, "1001"), "Name: 1001 is out of range (valid 0 to 1000)");
    EXPECT_EQ(Refusal(interval, "-1"), "Name: -1 is out of range (valid 0 to 1000)");
}

TEST(ParamValue, PopupTakesItemNumbersButNotSeparators)
{
    const host::ParamInfo map =
        Popup({"custom", "(-", "radial", "radial sym", "linear", "linear sym"});
    EXPECT_EQ(ParseParamValue(map, "EffectMap1", "3").integer, 3);
    EXPECT_EQ(ParseParamValue(map, "EffectMap1", "6").integer, 6);
    EXPECT_EQ(Refusal(map, "7"), "Name: 7 is out of range (valid 1 to 6)");
    EXPECT_EQ(Refusal(map, "0"), "Name: 0 is out of range (valid 1 to 6)");
    EXPECT_NE(Refusal(map, "2").find("separator"), std::string::npos);
    EXPECT_NE(Refusal(map, "radial"), "");
}

TEST(ParamValue, CheckboxTakesZeroOrOne)
{
    const host::ParamInfo box = Info(PF_Param_CHECKBOX);
    EXPECT_EQ(ParseParamValue(box, "InvertMask", "1").integer, 1);
    EXPECT_EQ(ParseParamValue(box, "InvertMask", "0").integer, 0);
    EXPECT_EQ(ParseParamValue(box, "InvertMask", "on").integer, 1);
    EXPECT_NE(Refusal(box, "2").find("0 or 1"), std::string::npos);
}

TEST(ParamValue, AnglesAreDegreesInFixedPoint)
{
    const host::ParamInfo angle = Info(PF_Param_ANGLE);
    EXPECT_EQ(ParseParamValue(angle, "DotRotation", "45").angle, 45 * 65536);
    // -90.5 * 65536 = -5931008
    EXPECT_EQ(ParseParamValue(angle, "DotRotation", "-90.5").angle, -5931008);
    EXPECT_EQ(ParseParamValue(angle, "DotRotation", "720").angle, 720 * 65536);
    EXPECT_NE(Refusal(angle, "40000"), "");
}

TEST(ParamValue, ColoursAsChannelsOrHex)
{
    const host::ParamInfo colour = Info(PF_Param_COLOR);
    const PF_Pixel a = ParseParamValue(colour, "DotColor", "255,125,20").color;
    EXPECT_EQ(a.alpha, 255);
    EXPECT_EQ(a.red, 255);
    EXPECT_EQ(a.green, 125);
    EXPECT_EQ(a.blue, 20);
    const PF_Pixel b = ParseParamValue(colour, "DotColor", "#FF8014").color;
    EXPECT_EQ(b.alpha, 255);
    EXPECT_EQ(b.red, 0xFF);
    EXPECT_EQ(b.green, 0x80);
    EXPECT_EQ(b.blue, 0x14);
    const PF_Pixel c = ParseParamValue(colour, "DotColor", "#0a0B0c").color;
    EXPECT_EQ(c.red, 10);
    EXPECT_EQ(c.green, 11);
    EXPECT_EQ(c.blue, 12);
    const PF_Pixel d = ParseParamValue(colour, "DotColor", "0, 1 ,2").color;
    EXPECT_EQ(d.green, 1);
    EXPECT_EQ(d.blue, 2);
}

TEST(ParamValue, BadColoursAreRefused)
{
    const host::ParamInfo colour = Info(PF_Param_COLOR);
    EXPECT_EQ(Refusal(colour, "256,0,0"),
              "Name: 256,0,0 is out of range (valid 0 to 255 for each of R, G, B)");
    EXPECT_NE(Refusal(colour, "1,2"), "");
    EXPECT_NE(Refusal(colour, "1,2,3,4"), "");
    EXPECT_NE(Refusal(colour, "#FF80"), "");
    EXPECT_NE(Refusal(colour, "#GG8014"), "");
    EXPECT_NE(Refusal(colour, "1.5,2,3"), "");
}

TEST(ParamValue, PointsAreLayerPixelsInFixedPoint)
{
    const host::ParamInfo point = Info(PF_Param_POINT);
    const ParamValue v = ParseParamValue(point, "CenterPosition", "100.5,-20");
    EXPECT_EQ(v.x, 6586368);   // 100.5 * 65536
    EXPECT_EQ(v.y, -1310720);  // -20 * 65536
    const ParamValue w = ParseParamValue(point, "CenterPosition", " 3 , 4 ");
    EXPECT_EQ(w.x, 3 * 65536);
    EXPECT_EQ(w.y, 4 * 65536);
    EXPECT_NE(Refusal(point, "3"), "");
    EXPECT_NE(Refusal(point, "3,4,5"), "");
    EXPECT_NE(Refusal(point, "x,4"), "");
    EXPECT_NE(Refusal(point, "40000,0"), "");
}

TEST(ParamValue, LayersAreNoneSelfOrAFile)
{
    const host::ParamInfo layer = Info(PF_Param_LAYER);
    EXPECT_EQ(ParseParamValue(layer, "MaskLayer", "none").layer.kind, LayerValue::kNone);
    EXPECT_EQ(ParseParamValue(layer, "MaskLayer", "self").layer.kind, LayerValue::kSelf);
    const ParamValue f = ParseParamValue(layer, "MaskLayer", "masks/m.png");
    EXPECT_EQ(f.layer.kind, LayerValue::kFile);
    EXPECT_EQ(f.layer.path, "masks/m.png");
}

TEST(ParamValue, GroupMarkersTakeNoValue)
{
    EXPECT_NE(Refusal(Info(PF_Param_GROUP_START), "1").find("group"), std::string::npos);
    EXPECT_NE(Refusal(Info(PF_Param_GROUP_END), "1"), "");
}

TEST(ParamValue, DescriptionsUseTheUnitsValuesAreTypedIn)
{
    host::ParamInfo opacity = FloatSlider(0, 100, true);
    EXPECT_EQ(DescribeRange(opacity), "0% to 100% (slider 0% to 10%, 1 decimal)");
    EXPECT_EQ(DescribeDefault(opacity), "10%");

    host::ParamInfo colour = Info(PF_Param_COLOR);
    colour.def.u.cd.dephault = PF_Pixel{255, 255, 125, 20};
    EXPECT_EQ(DescribeDefault(colour), "255,125,20");

    host::ParamInfo angle = Info(PF_Param_ANGLE);
    angle.def.u.ad.dephault = -(45 * 65536 + 32768);
    EXPECT_EQ(DescribeDefault(angle), "-45.5");

    host::ParamInfo point = Info(PF_Param_POINT);
    point.def.u.td.x_dephault = 50 * 65536;
    point.def.u.td.y_dephault = 25 * 65536;
    EXPECT_EQ(DescribeDefault(point), "50%,25% of the layer");

    host::ParamInfo layer = Info(PF_Param_LAYER);
    layer.def.u.ld.dephault = PF_LayerDefault_MYSELF;
    EXPECT_EQ(DescribeDefault(layer), "self");
    EXPECT_EQ(TypeName(PF_Param_FLOAT_SLIDER), "float slider");
}

TEST(ParamValue, NumbersAreFormattedWithoutLocale)
{
    EXPECT_EQ(FormatNumber(0.05f), "0.05");
    EXPECT_EQ(FormatNumber(-100.0f), "-100");
    EXPECT_EQ(FormatNumber(2.5), "2.5");
}

}  // namespace
