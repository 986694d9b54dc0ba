#include "cli/ParamListing.h"

#include <gtest/gtest.h>

#include "cli/ParamCatalog.h"

namespace {

using namespace cli;

// Definitions shaped like the ones the effect adds, with GBK names.
struct Fixture {
    host::ParamInfo shape;
    host::ParamInfo opacity;
    host::ParamInfo colour;
    std::vector<ToolParam> params;

    Fixture()
    {
        shape.index = 1;
        shape.id = 1;
        shape.type = PF_Param_POPUP;
        shape.name = "\xB5\xE3\xB5\xC4\xD0\xCE\xD7\xB4";  // 点的形状
        shape.def.u.pd.num_choices = 3;
        shape.def.u.pd.dephault = 1;
        shape.popup_items = {"\xD4\xB2\xD0\xCE  ", "(-", "FX1"};  // 圆形 with its blanks

        opacity.index = 7;
        opacity.id = 7;
        opacity.type = PF_Param_FLOAT_SLIDER;
        opacity.name = "V";
        opacity.def.u.fs_d.valid_min = 0;
        opacity.def.u.fs_d.valid_max = 100;
        opacity.def.u.fs_d.slider_min = 0;
        opacity.def.u.fs_d.slider_max = 1;
        opacity.def.u.fs_d.dephault = 0.05f;
        opacity.def.u.fs_d.precision = 2;
        opacity.def.u.fs_d.display_flags = PF_ValueDisplayFlag_PERCENT;

        colour.index = 2;
        colour.id = 2;
        colour.type = PF_Param_COLOR;
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
    const nlohmann::ordered_json j = ParamJson(f.params);
    ASSERT_TRUE(j.is_array());
    ASSERT_EQ(j.size(), 3u);

    EXPECT_EQ(j[0]["index"], 1);
    EXPECT_EQ(j[0]["id"], 1);
    EXPECT_EQ(j[0]["identifier"], "DotShape");
    EXPECT_EQ(j[0]["name"], "点的形状");
    EXPECT_EQ(j[0]["meaning"], "dot shape");
    EXPECT_EQ(j[0]["type"], "popup");
    EXPECT_EQ(j[0]["default"], 1);
    ASSERT_EQ(j[0]["items"].size(), 3u);
    EXPECT_EQ(j[0]["items"][0]["value"], 1);
    EXPECT_EQ(j[0]["items"][0]["label"], "圆形");
    EXPECT_EQ(j[0]["items"][1]["separator"], true);
    EXPECT_EQ(j[0]["items"][2]["label"], "FX1");

    EXPECT_EQ(j[1]["type"], "float slider");
    EXPECT_EQ(j[1]["percent"], true);
    EXPECT_EQ(j[1]["precision"], 2);
    EXPECT_EQ(j[1]["valid"], nlohmann::ordered_json({0.0, 100.0}));
    // The float setting 0.05f is given as the decimal it was written as.
    EXPECT_EQ(j[1]["default"].get<double>(), 0.05);
    EXPECT_EQ(j[1]["range"], "0% to 100% (slider 0% to 1%, 2 decimals)");

    EXPECT_EQ(j[2]["default"], nlohmann::ordered_json({255, 125, 20}));
}

TEST(ParamListing, JsonSurvivesADumpAndParse)
{
    Fixture f;
    const std::string text = ParamJson(f.params).dump();
    EXPECT_EQ(nlohmann::ordered_json::parse(text)[0]["name"], "点的形状");
}

TEST(ParamListing, TableShowsEveryFieldAndPopupItems)
{
    Fixture f;
    const std::string table = FormatParamTable(f.params);
    EXPECT_NE(table.find("DotShape"), std::string::npos);
    EXPECT_NE(table.find("点的形状"), std::string::npos);
    EXPECT_NE(table.find("items: 1 圆形, 2 (separator), 3 FX1"), std::string::npos) << table;
    EXPECT_NE(table.find("0.05%"), std::string::npos) << table;
    EXPECT_NE(table.find("255,125,20"), std::string::npos) << table;
    EXPECT_NE(table.find("dot colour"), std::string::npos) << table;
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
    EXPECT_EQ(
        UnknownParameterMessage("DotSiz").rfind("unknown parameter 'DotSiz' (nearest: DotSize", 0),
        0u)
        << UnknownParameterMessage("DotSiz");
    EXPECT_EQ(UnknownParameterMessage("Wobble"),
              "unknown parameter 'Wobble'; 'stipplex params' lists them all");
}

}  // namespace
