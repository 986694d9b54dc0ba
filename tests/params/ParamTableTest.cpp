// The declared parameter list against the effect's parameter table, written
// out here on its own rather than taken from the code.
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include "FakeHost.h"
#include "RenderRecord.h"
#include "params/Params.h"

namespace {

using paramtest::FakeHost;

constexpr A_long kPlain = 0x20;       // starts collapsed
constexpr A_long kSupervised = 0x60;  // and USER_CHANGED_PARAM
constexpr A_long kHold = 0x24;        // and no interpolation

struct Row {
    int index;
    A_long id;
    PF_ParamType type;
    std::string name;  // GBK
    A_long flags;
    double limits[4];  // valid min, valid max, slider min, slider max
    double dflt;       // popup choice, checkbox 0/1, angle in degrees, layer -1/0
    int precision, percent, choices;
    const char *items;  // popup items, GBK
    int rgb[3];         // colour; a point's x and y in percent
};

// One maker per builder class: index, id, name, then its settings.
Row P(int i, A_long id, const char *n, int choices, int dflt, const char *items, A_long f = kPlain)
{
    return {i, id, PF_Param_POPUP, n, f, {}, double(dflt), 0, 0, choices, items, {}};
}
Row F(int i, A_long id, const char *n, double v0, double v1, double s0, double s1, double d,
      int prec, int pct)
{
    return {i,       id, PF_Param_FLOAT_SLIDER, n, kPlain, {v0, v1, s0, s1}, d, prec, pct, 0,
            nullptr, {}};
}
Row S(int i, A_long id, const char *n, double vmin, double vmax, double smin, double smax,
      double dflt, A_long f)
{
    return {i, id, PF_Param_SLIDER, n, f, {vmin, vmax, smin, smax}, dflt, 0, 0, 0, nullptr, {}};
}
Row A(int i, A_long id, const char *n, double degrees)
{
    return {i, id, PF_Param_ANGLE, n, kPlain, {}, degrees, 0, 0, 0, nullptr, {}};
}
Row C(int i, A_long id, const char *n, int dflt)
{
    return {i, id, PF_Param_CHECKBOX, n, kPlain, {}, double(dflt), 0, 0, 0, nullptr, {}};
}
Row K(int i, A_long id, const char *n, int r, int g, int b)
{
    return {i, id, PF_Param_COLOR, n, kPlain, {}, 0, 0, 0, 0, nullptr, {r, g, b}};
}
Row T(int i, A_long id, const char *n, int x, int y)
{
    return {i, id, PF_Param_POINT, n, kPlain, {}, 0, 0, 0, 0, nullptr, {x, y, 0}};
}
Row L(int i, A_long id, const char *n, int dflt)
{
    return {i, id, PF_Param_LAYER, n, kPlain, {}, double(dflt), 0, 0, 0, nullptr, {}};
}
Row G(int i, A_long id, const char *n)
{
    return {i, id, PF_Param_GROUP_START, n, kPlain, {}, 0, 0, 0, 0, nullptr, {}};
}
Row E(int i, A_long id)
{
    return {i, id, PF_Param_GROUP_END, "", kPlain, {}, 0, 0, 0, 0, nullptr, {}};
}

// clang-format off
// Popup item lists, one per kind of popup.
// DotShape: 圆形  | 矩形 |圆角矩形    |十字 |星形|菱形
const char kShapeItems[] = "\xD4\xB2\xD0\xCE  | \xBE\xD8\xD0\xCE |\xD4\xB2\xBD\xC7\xBE\xD8\xD0\xCE    |\xCA\xAE\xD7\xD6 |\xD0\xC7\xD0\xCE|\xC1\xE2\xD0\xCE";
// RotationType: 正常  | 朝着中心     |固定点的角度
const char kRotationItems[] = "\xD5\xFD\xB3\xA3  | \xB3\xAF\xD7\xC5\xD6\xD0\xD0\xC4     |\xB9\xCC\xB6\xA8\xB5\xE3\xB5\xC4\xBD\xC7\xB6\xC8";
// SpacingType: 两点|中心
const char kSpacingItems[] = "\xC1\xBD\xB5\xE3|\xD6\xD0\xD0\xC4";
// GlobalRotationCenter: 中心  |FX1|FX2|FX3
const char kCentreItems[] = "\xD6\xD0\xD0\xC4  |FX1|FX2|FX3";
// MaskMode: 正常  | 无 |图层
const char kMaskItems[] = "\xD5\xFD\xB3\xA3  | \xCE\xDE |\xCD\xBC\xB2\xE3";
// EffectMap1: 使用自定义贴图|(-|径向  |径向对称     | 线性 |线性对称
const char kMapItems[] = "\xCA\xB9\xD3\xC3\xD7\xD4\xB6\xA8\xD2\xE5\xCC\xF9\xCD\xBC|(-|\xBE\xB6\xCF\xF2  |\xBE\xB6\xCF\xF2\xB6\xD4\xB3\xC6     | \xCF\xDF\xD0\xD4 |\xCF\xDF\xD0\xD4\xB6\xD4\xB3\xC6";
// Tile1: 无  |重复  |对称  |扩展边缘
const char kTileItems[] = "\xCE\xDE  |\xD6\xD8\xB8\xB4  |\xB6\xD4\xB3\xC6  |\xC0\xA9\xD5\xB9\xB1\xDF\xD4\xB5";
// BlendMode1: 正常  |(-|加 |相减     |相乘    |屏幕  |叠加   |强光      |柔光      |(-|变暗  |变亮   |差值      |排除
const char kBlendItems[] = "\xD5\xFD\xB3\xA3  |(-|\xBC\xD3 |\xCF\xE0\xBC\xF5     |\xCF\xE0\xB3\xCB    |\xC6\xC1\xC4\xBB  |\xB5\xFE\xBC\xD3   |\xC7\xBF\xB9\xE2      |\xC8\xE1\xB9\xE2      |(-|\xB1\xE4\xB0\xB5  |\xB1\xE4\xC1\xC1   |\xB2\xEE\xD6\xB5      |\xC5\xC5\xB3\xFD";

// Indices 1 to 62: the main controls and effector 1.
const Row kTable[] = {
    P(1, 1, "\xB5\xE3\xB5\xC4\xD0\xCE\xD7\xB4", 6, 1, kShapeItems),  // 点的形状
    K(2, 2, "\xB5\xE3\xB5\xC4\xD1\xD5\xC9\xAB", 255, 125, 20),  // 点的颜色
    F(3, 3, "\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1", 0, 1000, 0, 100, 10, 1, 0),  // 点的大小
    F(4, 4, "\xB5\xE3\xB5\xC4\xBF\xED\xB8\xDF\xB1\xC8", -100, 100, -100, 100, 0, 1, 1),  // 点的宽高比
    A(5, 5, "\xB5\xE3\xB5\xC4\xD0\xFD\xD7\xAA", 0),  // 点的旋转
    P(6, 6, "\xD0\xFD\xD7\xAA\xC0\xE0\xD0\xCD", 3, 1, kRotationItems),  // 旋转类型
    F(7, 7, "\xB5\xE3\xB5\xC4\xCD\xB8\xC3\xF7\xB6\xC8", 0, 100, 0, 100, 100, 1, 1),  // 点的透明度
    P(8, 8, "\xBC\xE4\xBE\xE0\xC0\xE0\xD0\xCD", 2, 1, kSpacingItems, kSupervised),  // 间距类型
    F(9, 9, "\xB5\xE3\xB5\xC4X\xD6\xE1\xBC\xE4\xBE\xE0", 0, 10000, 0, 100, 20, 1, 0),  // 点的X轴间距
    F(10, 10, "\xB5\xE3\xB5\xC4Y\xD6\xE1\xBC\xE4\xBE\xE0", 0, 10000, 0, 100, 20, 1, 0),  // 点的Y轴间距
    T(11, 11, "\xD6\xD0\xD0\xC4\xCE\xBB\xD6\xC3", 50, 50),  // 中心位置
    C(12, 125, "\xD6\xD0\xD0\xC4\xB5\xE3\xB5\xBD\xC7\xB0\xC3\xE6", 0),  // 中心点到前面
    A(13, 12, "\xC8\xAB\xBE\xD6\xD0\xFD\xD7\xAA\xD6\xD0\xD0\xC4", 0),  // 全局旋转中心
    P(14, 13, "\xC8\xAB\xBE\xD6\xD0\xFD\xD7\xAA        \xD6\xD0\xD0\xC4", 4, 1, kCentreItems),  // 全局旋转        中心
    P(15, 14, "\xD5\xDA\xD5\xD6", 3, 1, kMaskItems),  // 遮罩
    L(16, 15, "\xC4\xBF\xB1\xEA\xD5\xDA\xD5\xD6\xCD\xBC\xB2\xE3", 0),  // 目标遮罩图层
    C(17, 16, "\xB7\xB4\xD7\xAA\xD5\xDA\xD5\xD6", 0),  // 反转遮罩
    C(18, 17, "\xC7\xE5\xB3\xFD\xB1\xB3\xBE\xB0", 0),  // 清除背景
    G(19, 18, "\xCB\xE6\xBB\xFA\xBB\xAF"),  // 随机化
    S(20, 20, "\xCB\xE6\xBB\xFA\xBC\xE4\xBE\xE0", 0, 1000, 0, 60, 0, kHold),  // 随机间距
    S(21, 132, "\xCB\xE6\xBB\xFA\xC5\xC5\xC1\xD0", 0, 10, 0, 10, 0, kHold),  // 随机排列
    S(22, 21, "\xCB\xE6\xBB\xFA\xD6\xD6\xD7\xD3", 0, 10000, 0, 100, 0, kHold),  // 随机种子
    F(23, 22, "\xB4\xF3\xD0\xA1", 0, 50, 0, 1, 0, 2, 0),  // 大小
    F(24, 23, "\xBF\xED\xB8\xDF\xB1\xC8", 0, 50, 0, 1, 0, 2, 0),  // 宽高比
    F(25, 24, "\xD0\xFD\xD7\xAA", 0, 50, 0, 1, 0, 2, 0),  // 旋转
    F(26, 25, "\xCD\xB8\xC3\xF7\xB6\xC8", 0, 50, 0, 1, 0, 2, 0),  // 透明度
    F(27, 26, "X\xD6\xE1\xBC\xE4\xBE\xE0", 0, 50, 0, 1, 0, 2, 0),  // X轴间距
    F(28, 27, "Y\xD6\xE1\xBC\xE4\xBE\xE0", 0, 50, 0, 1, 0, 2, 0),  // Y轴间距
    A(29, 32, "H", 0),  // H
    F(30, 33, "S", 0, 100, 0, 100, 0, 1, 1),  // S
    F(31, 34, "V", 0, 100, 0, 100, 0, 1, 1),  // V
    E(32, 19),
    G(33, 35, "\xD0\xA7\xB9\xFB\xC6\xF7\x31"),  // 效果器1
    C(34, 37, "\xC6\xF4\xD3\xC3\xD0\xA7\xB9\xFB\xC6\xF7\x31", 0),  // 启用效果器1
    T(35, 41, "\xCE\xBB\xD6\xC3\x31", 50, 50),  // 位置1
    F(36, 42, "\xB4\xF3\xD0\xA1\x31", 0, 5000, 0, 1000, 200, 1, 0),  // 大小1
    A(37, 40, "\xBD\xC7\xB6\xC8\x31", 0),  // 角度1
    F(38, 43, "\xCB\xA5\xBC\xF5\x31", 0, 100, 0, 100, 100, 1, 1),  // 衰减1
    P(39, 136, "\xD0\xA7\xB9\xFB\xCC\xF9\xCD\xBC\x31", 6, 3, kMapItems),  // 效果贴图1
    L(40, 45, "\xD7\xD4\xB6\xA8\xD2\xE5\xCC\xF9\xCD\xBC\xCD\xBC\xB2\xE3\x31", -1),  // 自定义贴图图层1
    C(41, 139, "\xB6\xD4\xD3\xA6\xB5\xBD\xCD\xBC\xB2\xE3\x31", 0),  // 对应到图层1
    C(42, 129, "\xCA\xB0\xC8\xA1\xD7\xCA\xD4\xB4\xD1\xD5\xC9\xAB\x31", 0),  // 拾取资源颜色1
    P(43, 133, "\xB4\xC9\xD7\xA9\x31", 4, 4, kTileItems),  // 瓷砖1
    C(44, 126, "\xD6\xD0\xD0\xC4\xB5\xE3\xB5\xBD\xD5\xFD\xC3\xE6\x31", 0),  // 中心点到正面1
    C(45, 46, "\xBE\xF8\xB6\xD4\xB5\xC4\x31", 0),  // 绝对的1
    F(46, 47, "\xB6\xC0\xC1\xA2\xB4\xF3\xD0\xA1\x31", 0, 1000, 0, 100, 20, 1, 0),  // 独立大小1
    F(47, 48, "\xB6\xC0\xC1\xA2\xBF\xED\xB8\xDF\xB1\xC8\x31", -100, 100, -100, 100, 0, 0, 1),  // 独立宽高比1
    A(48, 49, "\xB6\xC0\xC1\xA2\xD0\xFD\xD7\xAA\x31", 0),  // 独立旋转1
    F(49, 50, "\xB6\xC0\xC1\xA2\xCD\xB8\xC3\xF7\xB6\xC8\x31", 0, 100, 0, 100, 100, 0, 1),  // 独立透明度1
    F(50, 52, "\xB0\xB4\xB1\xC8\xC2\xCA\xCB\xF5\xB7\xC5\x31", 0, 100, 0, 10, 1, 1, 0),  // 按比率缩放1
    F(51, 53, "\xB0\xB4\xB1\xC8\xC2\xCA\xBF\xED\xB8\xDF\xB1\xC8", 0, 100, 0, 10, 1, 1, 0),  // 按比率宽高比
    F(52, 54, "\xB0\xB4\xB1\xC8\xC2\xCA\xD0\xFD\xD7\xAA\x31", 0, 100, 0, 10, 1, 1, 0),  // 按比率旋转1
    F(53, 55, "\xB0\xB4\xB1\xC8\xC2\xCA\xCD\xB8\xC3\xF7\xB6\xC8\x31", 0, 100, 0, 10, 1, 1, 0),  // 按比率透明度1
    F(54, 57, "\xB4\xF3\xD0\xA1\xC6\xAB\xD2\xC6\x31", -100, 100, -100, 100, 0, 1, 0),  // 大小偏移1
    F(55, 58, "\xBF\xED\xB8\xDF\xB1\xC8\xC6\xAB\xD2\xC6\x31", -100, 100, -100, 100, 0, 0, 1),  // 宽高比偏移1
    A(56, 59, "\xD0\xFD\xD7\xAA\xC6\xAB\xD2\xC6\x31", 0),  // 旋转偏移1
    F(57, 60, "\xCD\xB8\xC3\xF7\xB6\xC8\xC6\xAB\xD2\xC6\x31", -100, 100, -100, 100, 0, 0, 1),  // 透明度偏移1
    C(58, 61, "\xD1\xD5\xC9\xAB\x31", 0),  // 颜色1
    P(59, 62, "\xBB\xEC\xBA\xCF\xC4\xA3\xCA\xBD\x31", 14, 1, kBlendItems),  // 混合模式1
    K(60, 63, "\xBB\xEC\xBA\xCF\xD1\xD5\xC9\xAB\x31", 255, 255, 255),  // 混合颜色1
    A(61, 64, "\xC9\xAB\xCF\xE0\xC6\xAB\xD2\xC6\x31", 0),  // 色相偏移1
    E(62, 36),
};
// clang-format on

// Effectors 2 and 3 repeat effector 1 (indices 33 to 62) 30 and 60
// indices on: ids below 126 step by 30, those from 126 up by one, and names
// end in the effector's number (effector 1's 按比率宽高比 lacks its 1).
std::vector<Row> AllRows()
{
    std::vector<Row> rows(std::begin(kTable), std::end(kTable));
    for (int n = 2; n <= 3; ++n) {
        for (int i = 32; i < 62; ++i) {
            Row r = kTable[i];
            r.index += 30 * (n - 1);
            r.id += r.id >= 126 ? n - 1 : 30 * (n - 1);
            if (!r.name.empty() && r.name.back() == '1') {
                r.name.back() = static_cast<char>('0' + n);
            } else if (!r.name.empty()) {
                r.name += static_cast<char>('0' + n);
            }
            rows.push_back(r);
        }
    }
    return rows;
}

// Declares against a host that gets no stored defaults (After Effects
// 12.11), so every value is the factory one.
class DeclaredTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        paramtest::EnsureParamTable();
        host.in.version.major = 12;
        host.in.version.minor = 11;
        ASSERT_EQ(params::DeclareParams(&host.in, &host.out), PF_Err_NONE);
    }
    FakeHost host;
};

TEST_F(DeclaredTable, EveryDefinitionMatchesTheTable)
{
    const std::vector<Row> rows = AllRows();
    ASSERT_EQ(rows.size(), 122u);
    ASSERT_EQ(host.added.size(), 122u);
    EXPECT_EQ(host.out.num_params, 123);
    EXPECT_EQ(params::ParamCount(), 123);
    for (const Row &row : rows) {
        SCOPED_TRACE("index " + std::to_string(row.index) + ", id " + std::to_string(row.id));
        const PF_ParamDef &def = host.added[static_cast<std::size_t>(row.index - 1)];
        EXPECT_EQ(params::FindParamIndex(static_cast<A_u_long>(row.id)), row.index);
        EXPECT_EQ(def.param_type, row.type);
        EXPECT_EQ(def.uu.id, row.id);
        EXPECT_EQ(def.name, row.name);
        EXPECT_EQ(def.flags, row.flags);
        EXPECT_EQ(def.ui_flags, 0);
        const auto fixed = static_cast<A_long>(row.dflt * 65536);
        switch (row.type) {
            case PF_Param_POPUP:
                EXPECT_EQ(def.u.pd.num_choices, row.choices);
                EXPECT_EQ(def.u.pd.dephault, row.dflt);
                EXPECT_EQ(def.u.pd.value, row.dflt);
                ASSERT_NE(def.u.pd.u.namesptr, nullptr);
                EXPECT_STREQ(def.u.pd.u.namesptr, row.items);
                break;
            case PF_Param_FLOAT_SLIDER: {
                const PF_FloatSliderDef &fs = def.u.fs_d;
                EXPECT_EQ(fs.valid_min, static_cast<float>(row.limits[0]));
                EXPECT_EQ(fs.valid_max, static_cast<float>(row.limits[1]));
                EXPECT_EQ(fs.slider_min, static_cast<float>(row.limits[2]));
                EXPECT_EQ(fs.slider_max, static_cast<float>(row.limits[3]));
                EXPECT_EQ(fs.dephault, static_cast<float>(row.dflt));
                EXPECT_EQ(fs.value, row.dflt);
                EXPECT_EQ(fs.precision, row.precision);
                EXPECT_EQ(fs.display_flags, row.percent ? PF_ValueDisplayFlag_PERCENT : 0);
                EXPECT_EQ(fs.curve_tolerance, 0.05f);
                EXPECT_EQ(fs.fs_flags, 0u);  // no want-phase
                break;
            }
            case PF_Param_SLIDER:
                EXPECT_EQ(def.u.sd.valid_min, row.limits[0]);
                EXPECT_EQ(def.u.sd.valid_max, row.limits[1]);
                EXPECT_EQ(def.u.sd.slider_min, row.limits[2]);
                EXPECT_EQ(def.u.sd.slider_max, row.limits[3]);
                EXPECT_EQ(def.u.sd.dephault, row.dflt);
                EXPECT_EQ(def.u.sd.value, row.dflt);
                EXPECT_STREQ(def.u.sd.value_str, "");
                EXPECT_STREQ(def.u.sd.value_desc, "");
                break;
            case PF_Param_ANGLE:
                EXPECT_EQ(def.u.ad.value, fixed);
                EXPECT_EQ(def.u.ad.dephault, fixed);
                break;
            case PF_Param_CHECKBOX:
                EXPECT_EQ(def.u.bd.value, row.dflt);
                EXPECT_EQ(def.u.bd.dephault, row.dflt);
                ASSERT_NE(def.u.bd.u.nameptr, nullptr);
                EXPECT_STREQ(def.u.bd.u.nameptr, "");
                break;
            case PF_Param_COLOR: {
                const PF_Pixel want{255, static_cast<A_u_char>(row.rgb[0]),
                                    static_cast<A_u_char>(row.rgb[1]),
                                    static_cast<A_u_char>(row.rgb[2])};
                EXPECT_EQ(std::memcmp(&def.u.cd.value, &want, sizeof want), 0);
                EXPECT_EQ(std::memcmp(&def.u.cd.dephault, &want, sizeof want), 0);
                break;
            }
            case PF_Param_POINT:
                EXPECT_EQ(def.u.td.x_value, row.rgb[0] * 65536);
                EXPECT_EQ(def.u.td.x_dephault, row.rgb[0] * 65536);
                EXPECT_EQ(def.u.td.y_value, row.rgb[1] * 65536);
                EXPECT_EQ(def.u.td.y_dephault, row.rgb[1] * 65536);
                EXPECT_EQ(def.u.td.restrict_bounds, 0);
                break;
            case PF_Param_LAYER:
                EXPECT_EQ(def.u.ld.dephault, row.dflt);
                break;
            default:
                break;
        }
    }
}

TEST_F(DeclaredTable, FindParamIndexOfAnUnknownIdIsTheInputLayer)
{
    // Ids that belong to no parameter, below, inside and above the range.
    for (A_u_long id : {0u, 28u, 31u, 38u, 56u, 116u, 142u, 100000u}) {
        EXPECT_EQ(params::FindParamIndex(id), 0) << "id " << id;
    }
}

TEST(DeclareParams, FirstAddParamErrorEndsTheLoopButTheCountIsReported)
{
    paramtest::EnsureParamTable();
    FakeHost host;
    host.addFailAt = 5;
    host.addError = PF_Err_OUT_OF_MEMORY;
    EXPECT_EQ(params::DeclareParams(&host.in, &host.out), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.added.size(), 5u);
    EXPECT_EQ(host.out.num_params, 123);
}

// Every parameter gets a value of its own from the host; each must land in
// the record field named for it.
class DistinctValues : public DeclaredTable {
protected:
    static A_long Int(A_long id) { return id * 10 + 1; }
    static double Real(A_long id) { return id + 0.25; }
    static PF_Fixed Fixed(A_long id) { return id * 65536 + 3; }
    static A_u_char Flag(A_long id) { return static_cast<A_u_char>(id & 1); }

    void SetUp() override
    {
        DeclaredTable::SetUp();
        host.AdoptDeclared();
        for (PF_ParamDef &def : host.current) {
            const A_long id = def.uu.id;
            switch (def.param_type) {
                case PF_Param_POPUP:
                    def.u.pd.value = Int(id);
                    break;
                case PF_Param_SLIDER:
                    def.u.sd.value = Int(id);
                    break;
                case PF_Param_FLOAT_SLIDER:
                    def.u.fs_d.value = Real(id);
                    break;
                case PF_Param_ANGLE:
                    def.u.ad.value = Fixed(id);
                    break;
                case PF_Param_CHECKBOX:
                    def.u.bd.value = Flag(id);
                    break;
                case PF_Param_COLOR:
                    def.u.cd.value =
                        PF_Pixel{255, static_cast<A_u_char>(id), static_cast<A_u_char>(id + 1),
                                 static_cast<A_u_char>(id + 2)};
                    break;
                case PF_Param_POINT:
                    def.u.td.x_value = Fixed(id);
                    def.u.td.y_value = Fixed(id + 1);
                    break;
                default:
                    break;
            }
        }
        params::GetParamByCheckout reader(&host.in, nullptr, true);
        std::memset(&r, 0, sizeof r);
        ASSERT_EQ(params::ReadAllValues(&r, reader), PF_Err_NONE);
        ASSERT_EQ(params::CheckinAllValues(reader), PF_Err_NONE);
    }
    RenderRecord r;
};

// Each field against the value the host gave its parameter, a kind of
// parameter at a time: the main and randomise fields, then each effector's.
TEST_F(DistinctValues, EveryValueLandsInTheFieldNamedForIt)
{
    using std::make_tuple;
    EXPECT_EQ(r.MaskLayer, nullptr);  // this reader skips layers
    EXPECT_EQ(make_tuple(r.DotShape, r.RotationType, r.SpacingType, r.GlobalRotationCenter,
                         r.MaskMode, r.RandomInterval, r.RandomCycle, r.RandomSeed),
              make_tuple(Int(1), Int(6), Int(8), Int(13), Int(14), Int(20), Int(132), Int(21)));
    EXPECT_EQ(make_tuple(r.DotSize, r.DotAspect, r.DotOpacity, r.DotSpacingX, r.DotSpacingY,
                         r.RandomSize, r.RandomAspect, r.RandomRotation, r.RandomOpacity,
                         r.RandomSpacingX, r.RandomSpacingY, r.RandomSaturation, r.RandomValue),
              make_tuple(Real(3), Real(4), Real(7), Real(9), Real(10), Real(22), Real(23), Real(24),
                         Real(25), Real(26), Real(27), Real(33), Real(34)));
    EXPECT_EQ(make_tuple(r.DotRotation, r.CenterPosition.x, r.CenterPosition.y, r.GlobalRotation,
                         r.RandomHue),
              make_tuple(Fixed(5), Fixed(11), Fixed(12), Fixed(12), Fixed(32)));
    EXPECT_EQ(make_tuple(r.CenterDotToFront, r.InvertMask, r.ClearBackground),
              make_tuple(Flag(125), Flag(16), Flag(17)));
    EXPECT_EQ(make_tuple(r.DotColor.red, r.DotColor.green, r.DotColor.blue), make_tuple(2, 3, 4));

    // Ids of effector 1; effector 2 adds 30 (60 for effector 3) to the older
    // ids and 1 (2) to those from 126 up.
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE("effector " + std::to_string(k + 1));
        const EffectorSettings &e = r.Effectors[k];
        const A_long s = 30 * k;
        EXPECT_EQ(e.mapLayer, nullptr);
        EXPECT_EQ(make_tuple(e.mapType, e.tile, e.blendMode),
                  make_tuple(Int(136 + k), Int(133 + k), Int(62 + s)));
        EXPECT_EQ(
            make_tuple(e.size, e.falloff, e.independentSize, e.independentAspect,
                       e.independentOpacity, e.sizeByRatio, e.aspectByRatio, e.rotationByRatio,
                       e.opacityByRatio, e.sizeOffset, e.aspectOffset, e.opacityOffset),
            make_tuple(Real(42 + s), Real(43 + s), Real(47 + s), Real(48 + s), Real(50 + s),
                       Real(52 + s), Real(53 + s), Real(54 + s), Real(55 + s), Real(57 + s),
                       Real(58 + s), Real(60 + s)));
        EXPECT_EQ(make_tuple(e.angle, e.position.x, e.position.y, e.independentRotation,
                             e.rotationOffset, e.hueOffset),
                  make_tuple(Fixed(40 + s), Fixed(41 + s), Fixed(42 + s), Fixed(49 + s),
                             Fixed(59 + s), Fixed(64 + s)));
        EXPECT_EQ(make_tuple(e.enable, e.centerDotToFront, e.fitToLayer, e.pickSourceColor,
                             e.absolute, e.colorize),
                  make_tuple(Flag(37 + s), Flag(126 + k), Flag(139 + k), Flag(129 + k),
                             Flag(46 + s), Flag(61 + s)));
        EXPECT_EQ(make_tuple(e.blendColor.red, e.blendColor.blue),
                  make_tuple(static_cast<A_u_char>(63 + s), static_cast<A_u_char>(65 + s)));
    }
}

}  // namespace
