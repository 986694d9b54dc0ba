#include "cli/ParamValue.h"

#include <gtest/gtest.h>

#include "TestDir.h"

namespace {

using namespace cli;

using clitest::FloatSlider;
using clitest::Info;
using clitest::Popup;
using clitest::Slider;

ParamValue Parse(const host::ParamInfo &info, const std::string &text)
{
    return ParseParamValue(info, "Name", text);
}

const host::ParamInfo kOpacity = FloatSlider(0, 100, true);
const host::ParamInfo kSize = FloatSlider(0, 1000, false);
const host::ParamInfo kAspect = FloatSlider(-100, 100, true);
const host::ParamInfo kInterval = Slider(0, 1000);
const host::ParamInfo kMap =
    Popup({"custom", "(-", "radial", "radial sym", "linear", "linear sym"});

TEST(ParamValue, ValuesAreTakenInTheUnitsOfEachKindOfControl)
{
    // Percent with or without the sign; above the slider's maximum is fine
    // within the valid range.
    EXPECT_EQ(Parse(kOpacity, "50").real, 50.0);
    EXPECT_EQ(Parse(kOpacity, "12.5%").real, 12.5);
    EXPECT_EQ(Parse(kSize, "250.25").real, 250.25);
    EXPECT_EQ(Parse(kSize, "1000").real, 1000.0);
    EXPECT_EQ(Parse(kAspect, "-100").real, -100.0);
    EXPECT_EQ(Parse(kInterval, "+7").integer, 7);
    EXPECT_EQ(Parse(kMap, "6").integer, 6);
    EXPECT_EQ(Parse(Info(PF_Param_CHECKBOX), "0").integer, 0);
    EXPECT_EQ(Parse(Info(PF_Param_CHECKBOX), "on").integer, 1);
    // Angles and points in 16.16 fixed point: -90.5 * 65536, 100.5 * 65536.
    EXPECT_EQ(Parse(Info(PF_Param_ANGLE), "-90.5").angle, -5931008);
    EXPECT_EQ(Parse(Info(PF_Param_ANGLE), "720").angle, 720 * 65536);
    const ParamValue point = Parse(Info(PF_Param_POINT), " 100.5 , -20 ");
    EXPECT_EQ(std::make_pair(point.x, point.y), std::make_pair(6586368, -20 * 65536));
    // Colours as channels or hex, always opaque.
    const host::ParamInfo colour = Info(PF_Param_COLOR);
    for (const char *text : {"255,128,20", "#FF8014", "#ff8014", " 255, 128 ,20"}) {
        const PF_Pixel c = Parse(colour, text).color;
        EXPECT_EQ(std::make_tuple(c.alpha, c.red, c.green, c.blue),
                  std::make_tuple(255, 255, 128, 20))
            << text;
    }
    const host::ParamInfo layer = Info(PF_Param_LAYER);
    EXPECT_EQ(Parse(layer, "none").layer.kind, LayerValue::kNone);
    EXPECT_EQ(Parse(layer, "self").layer.kind, LayerValue::kSelf);
    EXPECT_EQ(Parse(layer, "masks/m.png").layer.kind, LayerValue::kFile);
    EXPECT_EQ(Parse(layer, "masks/m.png").layer.path, "masks/m.png");
}

TEST(ParamValue, RefusalsSayWhatIsWrongAndTheValidRange)
{
    const host::ParamInfo colour = Info(PF_Param_COLOR), point = Info(PF_Param_POINT),
                          checkbox = Info(PF_Param_CHECKBOX), angle = Info(PF_Param_ANGLE),
                          groupStart = Info(PF_Param_GROUP_START),
                          groupEnd = Info(PF_Param_GROUP_END);
    struct Case {
        const host::ParamInfo &info;
        std::vector<const char *> texts;
        const char *message;
    };
    const Case cases[] = {
        {kOpacity, {"150%"}, "Name: 150% is out of range (valid 0% to 100%)"},
        {kOpacity, {"-0.5"}, "Name: -0.5 is out of range (valid 0% to 100%)"},
        {kSize, {"2000"}, "Name: 2000 is out of range (valid 0 to 1000)"},
        {kAspect, {"-101"}, "Name: -101 is out of range (valid -100% to 100%)"},
        {kSize, {"abc"}, "is not a number"},
        {kSize, {"10%", "1,5", "nan", ""}, ""},  // the sign only for percent controls
        {kInterval, {"1.5"}, "not an integer"},
        {kInterval, {"1001"}, "Name: 1001 is out of range (valid 0 to 1000)"},
        {kInterval, {"-1"}, "Name: -1 is out of range (valid 0 to 1000)"},
        {kMap, {"7"}, "Name: 7 is out of range (valid 1 to 6)"},
        {kMap, {"0"}, "Name: 0 is out of range (valid 1 to 6)"},
        {kMap, {"2"}, "separator"},
        {kMap, {"radial"}, ""},
        {checkbox, {"2"}, "0 or 1"},
        {angle, {"40000"}, ""},
        {colour, {"256,0,0"}, "Name: 256,0,0 is out of range (valid 0 to 255 for each of R, G, B)"},
        {colour, {"1,2", "1,2,3,4", "#FF80", "#GG8014", "1.5,2,3"}, ""},
        {point, {"3", "3,4,5", "x,4", "40000,0"}, ""},
        {groupStart, {"1"}, "group"},
        {groupEnd, {"1"}, ""},
    };
    for (const Case &c : cases) {
        for (const char *text : c.texts) {
            const std::string e = clitest::FailureOf<UsageError>([&] { Parse(c.info, text); });
            EXPECT_TRUE(!e.empty() && e.find(c.message) != std::string::npos) << text << ": " << e;
        }
    }
}

TEST(ParamValue, DescriptionsUseTheUnitsValuesAreTypedIn)
{
    EXPECT_EQ(DescribeRange(kOpacity), "0% to 100% (slider 0% to 10%, 1 decimal)");
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
    EXPECT_EQ(FormatNumber(2.5), "2.5");
}

}  // namespace
