#include "cli/ParamListing.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "TestDir.h"
#include "cli/ParamCatalog.h"

namespace {

using ::testing::HasSubstr;

using namespace cli;

// Definitions shaped like the ones the effect adds, with GBK names.
struct Fixture {
    host::ParamInfo shape =
        clitest::Popup({"\xD4\xB2\xD0\xCE  ", "(-", "FX1"});  // 圆形 with its blanks
    host::ParamInfo opacity = clitest::FloatSlider(0, 100, true);
    host::ParamInfo colour = clitest::Info(PF_Param_COLOR);
    std::vector<ToolParam> params;

    Fixture()
    {
        shape.index = shape.id = 1;
        shape.name = "\xB5\xE3\xB5\xC4\xD0\xCE\xD7\xB4";  // 点的形状
        opacity.index = opacity.id = 7;
        opacity.name = "V";
        opacity.def.u.fs_d.slider_max = 1;
        opacity.def.u.fs_d.dephault = 0.05f;
        opacity.def.u.fs_d.precision = 2;
        colour.index = colour.id = 2;
        colour.name = "C";
        colour.def.u.cd.dephault = PF_Pixel{255, 255, 125, 20};
        params = {{1, &shape, "DotShape", "dot shape"},
                  {7, &opacity, "DotOpacity", "dot opacity"},
                  {2, &colour, "DotColor", "dot colour"}};
    }
};

TEST(ParamListing, JsonCarriesIdentityNameAndTypedSettings)
{
    Fixture f;
    // Through text and back, so the names are valid UTF-8 as written.
    const auto j = nlohmann::ordered_json::parse(ParamJson(f.params).dump());
    ASSERT_EQ(j.size(), 3u);
    const auto want = nlohmann::ordered_json::parse(R"json([
        {"index": 1, "id": 1, "identifier": "DotShape", "name": "点的形状",
         "meaning": "dot shape", "type": "popup", "default": 1,
         "items": [{"value": 1, "label": "圆形", "separator": false},
                   {"value": 2, "label": "", "separator": true},
                   {"value": 3, "label": "FX1", "separator": false}]},
        {"type": "float slider", "percent": true, "precision": 2, "valid": [0.0, 100.0],
         "range": "0% to 100% (slider 0% to 1%, 2 decimals)"}])json");
    for (std::size_t i = 0; i < want.size(); ++i) {
        for (const auto &[key, value] : want[i].items()) EXPECT_EQ(j[i][key], value) << key;
    }
    // The float setting 0.05f is given as the decimal it was written as.
    EXPECT_EQ(j[1]["default"].get<double>(), 0.05);
    EXPECT_EQ(j[2]["default"], nlohmann::ordered_json({255, 125, 20}));
}

TEST(ParamListing, TableShowsEveryFieldAndPopupItems)
{
    Fixture f;
    const std::string table = FormatParamTable(f.params);
    for (const char *part : {"DotShape", "点的形状", "items: 1 圆形, 2 (separator), 3 FX1", "0.05%",
                             "255,125,20", "dot colour"}) {
        EXPECT_THAT(table, HasSubstr(part));
    }
}

TEST(ParamListing, WideCharactersTakeTwoColumns)
{
    EXPECT_EQ(DisplayWidth("abc"), 3u);
    EXPECT_EQ(DisplayWidth("点的形状"), 8u);
    EXPECT_EQ(DisplayWidth("效果1"), 5u);
    EXPECT_EQ(DisplayWidth(""), 0u);
}

TEST(ParamListing, UnknownNameMessageOffersTheNearestNames)
{
    EXPECT_EQ(UnknownParameterMessage("Wobble"),
              "unknown parameter 'Wobble'; 'stipplex params' lists them all");
}

}  // namespace
