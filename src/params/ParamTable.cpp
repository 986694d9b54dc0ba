#include "ParamTable.h"

#include <cstddef>
#include <memory>
#include <utility>

#include "ParamBuilders.h"
#include "ParamIds.h"
#include "ParamRegistry.h"
#include "RenderRecord.h"

namespace params {

namespace {

// Where a value goes in the RenderRecord. The type parameter is the field's
// type, so a builder can only be pointed at a field of its own width.
template <typename T>
struct Field {
    A_long offset;
};

#define MAIN_FIELD(member)                                  \
    Field<decltype(RenderRecord::member)>                   \
    {                                                       \
        static_cast<A_long>(offsetof(RenderRecord, member)) \
    }

// Effector k (0 to 2) is the k-th EffectorSettings block of the record.
#define EFFECTOR_FIELD(k, member)                                                    \
    Field<decltype(EffectorSettings::member)>                                        \
    {                                                                                \
        static_cast<A_long>(offsetof(RenderRecord, Effectors) +                      \
                            sizeof(EffectorSettings) * static_cast<std::size_t>(k) + \
                            offsetof(EffectorSettings, member))                      \
    }

constexpr ParamTemplate kPlain = ParamTemplate::Plain;
constexpr ParamTemplate kSupervised = ParamTemplate::Supervised;
constexpr ParamTemplate kHold = ParamTemplate::Hold;

constexpr PF_ValueDisplayFlags kNumber = PF_ValueDisplayFlag_NONE;
constexpr PF_ValueDisplayFlags kPercent = PF_ValueDisplayFlag_PERCENT;

constexpr PF_Fixed kHalfLayer = 50 << 16;  // 50 % of the layer, a point's default

// Creates the builders in host order and appends them to the registry.
class TableBuilder {
public:
    void Slider(A_long id, Field<A_long> f, const char *name, A_long validMin, A_long validMax,
                A_long sliderMin, A_long sliderMax, A_long dephault, ParamTemplate tmpl)
    {
        Add<ParamAddSlider>(id, name, tmpl, f.offset, validMin, validMax, sliderMin, sliderMax,
                            dephault);
    }
    void Float(A_long id, Field<double> f, const char *name, float validMin, float validMax,
               float sliderMin, float sliderMax, float dephault, A_short precision,
               PF_ValueDisplayFlags display)
    {
        Add<ParamAddFloatSlider>(id, name, kPlain, f.offset, validMin, validMax, sliderMin,
                                 sliderMax, dephault, precision, display);
    }
    void Angle(A_long id, Field<PF_Fixed> f, const char *name, A_long degrees)
    {
        Add<ParamAddAngle>(id, name, kPlain, f.offset, static_cast<PF_Fixed>(degrees * 65536));
    }
    void Checkbox(A_long id, Field<A_u_char> f, const char *name, bool dephault)
    {
        Add<ParamAddCheckbox>(id, name, kPlain, f.offset, "", dephault);
    }
    void Popup(A_long id, Field<A_long> f, const char *name, A_short choices, A_short dephault,
               const char *items, ParamTemplate tmpl = kPlain)
    {
        Add<ParamAddPopup>(id, name, tmpl, f.offset, choices, dephault, items);
    }
    void Color(A_long id, Field<PF_Pixel> f, const char *name, A_u_char red, A_u_char green,
               A_u_char blue)
    {
        // The alpha byte of a colour default is not used: the host always gets 255.
        Add<ParamAddColor>(id, name, kPlain, f.offset, PF_Pixel{0, red, green, blue});
    }
    void Point(A_long id, Field<FixedPoint> f, const char *name, PF_Fixed x, PF_Fixed y)
    {
        Add<ParamAddPoint>(id, name, kPlain, f.offset, x, y);
    }
    void Layer(A_long id, Field<PF_LayerDef *> f, const char *name, A_long dephault)
    {
        Add<ParamAddLayer>(id, name, kPlain, f.offset, dephault);
    }
    // A group start; its end follows when CloseGroup is called.
    void OpenGroup(A_long id, A_long endId, const char *name)
    {
        Add<ParamAddTopic>(id, name, kPlain, static_cast<A_u_long>(endId));
        openEndId_ = endId;
    }
    void CloseGroup()
    {
        Add<ParamEndTopic>(openEndId_, kPlain);
        openEndId_ = 0;
    }

private:
    template <typename Builder, typename... Args>
    void Add(A_long id, Args &&...args)
    {
        auto builder = std::make_unique<Builder>(std::forward<Args>(args)...);
        builder->SetId(static_cast<A_u_long>(id));
        AppendParam(std::move(builder));
    }

    A_long openEndId_ = 0;
};

// ---------------------------------------------------------------- popup items
// Items are separated by '|'; "(-" is a separator line that still takes a
// number. The blanks inside the items are part of the host's menu text.

// 圆形  | 矩形 |圆角矩形    |十字 |星形|菱形
const char kDotShapeItems[] =
    "\xD4\xB2\xD0\xCE  | \xBE\xD8\xD0\xCE |\xD4\xB2\xBD\xC7\xBE\xD8\xD0\xCE    "
    "|\xCA\xAE\xD7\xD6 |\xD0\xC7\xD0\xCE|\xC1\xE2\xD0\xCE";
// 正常  | 朝着中心     |固定点的角度
const char kRotationTypeItems[] =
    "\xD5\xFD\xB3\xA3  | \xB3\xAF\xD7\xC5\xD6\xD0\xD0\xC4     "
    "|\xB9\xCC\xB6\xA8\xB5\xE3\xB5\xC4\xBD\xC7\xB6\xC8";
// 两点|中心
const char kSpacingTypeItems[] = "\xC1\xBD\xB5\xE3|\xD6\xD0\xD0\xC4";
// 中心  |FX1|FX2|FX3
const char kGlobalRotationCenterItems[] = "\xD6\xD0\xD0\xC4  |FX1|FX2|FX3";
// 正常  | 无 |图层
const char kMaskModeItems[] = "\xD5\xFD\xB3\xA3  | \xCE\xDE |\xCD\xBC\xB2\xE3";
// 使用自定义贴图|(-|径向  |径向对称     | 线性 |线性对称
const char kEffectMapItems[] =
    "\xCA\xB9\xD3\xC3\xD7\xD4\xB6\xA8\xD2\xE5\xCC\xF9\xCD\xBC|(-|\xBE\xB6\xCF\xF2  "
    "|\xBE\xB6\xCF\xF2\xB6\xD4\xB3\xC6     | \xCF\xDF\xD0\xD4 |\xCF\xDF\xD0\xD4\xB6\xD4\xB3\xC6";
// 无  |重复  |对称  |扩展边缘
const char kTileItems[] =
    "\xCE\xDE  |\xD6\xD8\xB8\xB4  |\xB6\xD4\xB3\xC6  |\xC0\xA9\xD5\xB9\xB1\xDF\xD4\xB5";
// 正常  |(-|加 |相减     |相乘    |屏幕  |叠加   |强光      |柔光      |(-|变暗  |变亮   |差值
// |排除
const char kBlendModeItems[] =
    "\xD5\xFD\xB3\xA3  |(-|\xBC\xD3 |\xCF\xE0\xBC\xF5     |\xCF\xE0\xB3\xCB    "
    "|\xC6\xC1\xC4\xBB  |\xB5\xFE\xBC\xD3   |\xC7\xBF\xB9\xE2      |\xC8\xE1\xB9\xE2      "
    "|(-|\xB1\xE4\xB0\xB5  |\xB1\xE4\xC1\xC1   |\xB2\xEE\xD6\xB5      |\xC5\xC5\xB3\xFD";

// ---------------------------------------------------------------- effector names
// One name per effector; each ends in the effector's digit, except that the
// first effector's 按比率宽高比 has none.
struct EffectorNames {
    const char *Effector[3];
    const char *EnableEffector[3];
    const char *EffectorPosition[3];
    const char *EffectorSize[3];
    const char *EffectorAngle[3];
    const char *EffectorFalloff[3];
    const char *EffectMap[3];
    const char *CustomMapLayer[3];
    const char *FitToLayer[3];
    const char *PickSourceColor[3];
    const char *Tile[3];
    const char *EffectorCenterDotToFront[3];
    const char *Absolute[3];
    const char *IndependentSize[3];
    const char *IndependentAspect[3];
    const char *IndependentRotation[3];
    const char *IndependentOpacity[3];
    const char *SizeByRatio[3];
    const char *AspectByRatio[3];
    const char *RotationByRatio[3];
    const char *OpacityByRatio[3];
    const char *SizeOffset[3];
    const char *AspectOffset[3];
    const char *RotationOffset[3];
    const char *OpacityOffset[3];
    const char *EffectorColor[3];
    const char *BlendMode[3];
    const char *BlendColor[3];
    const char *HueOffset[3];
};

#define EFFECTOR_NAMES(gbk)       \
    {                             \
        gbk "1", gbk "2", gbk "3" \
    }

const EffectorNames kEffectorNames = {
    EFFECTOR_NAMES("\xD0\xA7\xB9\xFB\xC6\xF7"),                                  // 效果器N
    EFFECTOR_NAMES("\xC6\xF4\xD3\xC3\xD0\xA7\xB9\xFB\xC6\xF7"),                  // 启用效果器N
    EFFECTOR_NAMES("\xCE\xBB\xD6\xC3"),                                          // 位置N
    EFFECTOR_NAMES("\xB4\xF3\xD0\xA1"),                                          // 大小N
    EFFECTOR_NAMES("\xBD\xC7\xB6\xC8"),                                          // 角度N
    EFFECTOR_NAMES("\xCB\xA5\xBC\xF5"),                                          // 衰减N
    EFFECTOR_NAMES("\xD0\xA7\xB9\xFB\xCC\xF9\xCD\xBC"),                          // 效果贴图N
    EFFECTOR_NAMES("\xD7\xD4\xB6\xA8\xD2\xE5\xCC\xF9\xCD\xBC\xCD\xBC\xB2\xE3"),  // 自定义贴图图层N
    EFFECTOR_NAMES("\xB6\xD4\xD3\xA6\xB5\xBD\xCD\xBC\xB2\xE3"),                  // 对应到图层N
    EFFECTOR_NAMES("\xCA\xB0\xC8\xA1\xD7\xCA\xD4\xB4\xD1\xD5\xC9\xAB"),  // 拾取资源颜色N
    EFFECTOR_NAMES("\xB4\xC9\xD7\xA9"),                                  // 瓷砖N
    EFFECTOR_NAMES("\xD6\xD0\xD0\xC4\xB5\xE3\xB5\xBD\xD5\xFD\xC3\xE6"),  // 中心点到正面N
    EFFECTOR_NAMES("\xBE\xF8\xB6\xD4\xB5\xC4"),                          // 绝对的N
    EFFECTOR_NAMES("\xB6\xC0\xC1\xA2\xB4\xF3\xD0\xA1"),                  // 独立大小N
    EFFECTOR_NAMES("\xB6\xC0\xC1\xA2\xBF\xED\xB8\xDF\xB1\xC8"),          // 独立宽高比N
    EFFECTOR_NAMES("\xB6\xC0\xC1\xA2\xD0\xFD\xD7\xAA"),                  // 独立旋转N
    EFFECTOR_NAMES("\xB6\xC0\xC1\xA2\xCD\xB8\xC3\xF7\xB6\xC8"),          // 独立透明度N
    EFFECTOR_NAMES("\xB0\xB4\xB1\xC8\xC2\xCA\xCB\xF5\xB7\xC5"),          // 按比率缩放N
    {"\xB0\xB4\xB1\xC8\xC2\xCA\xBF\xED\xB8\xDF\xB1\xC8",                 // 按比率宽高比
     "\xB0\xB4\xB1\xC8\xC2\xCA\xBF\xED\xB8\xDF\xB1\xC8"
     "2",  // 按比率宽高比2
     "\xB0\xB4\xB1\xC8\xC2\xCA\xBF\xED\xB8\xDF\xB1\xC8"
     "3"},                                                               // 按比率宽高比3
    EFFECTOR_NAMES("\xB0\xB4\xB1\xC8\xC2\xCA\xD0\xFD\xD7\xAA"),          // 按比率旋转N
    EFFECTOR_NAMES("\xB0\xB4\xB1\xC8\xC2\xCA\xCD\xB8\xC3\xF7\xB6\xC8"),  // 按比率透明度N
    EFFECTOR_NAMES("\xB4\xF3\xD0\xA1\xC6\xAB\xD2\xC6"),                  // 大小偏移N
    EFFECTOR_NAMES("\xBF\xED\xB8\xDF\xB1\xC8\xC6\xAB\xD2\xC6"),          // 宽高比偏移N
    EFFECTOR_NAMES("\xD0\xFD\xD7\xAA\xC6\xAB\xD2\xC6"),                  // 旋转偏移N
    EFFECTOR_NAMES("\xCD\xB8\xC3\xF7\xB6\xC8\xC6\xAB\xD2\xC6"),          // 透明度偏移N
    EFFECTOR_NAMES("\xD1\xD5\xC9\xAB"),                                  // 颜色N
    EFFECTOR_NAMES("\xBB\xEC\xBA\xCF\xC4\xA3\xCA\xBD"),                  // 混合模式N
    EFFECTOR_NAMES("\xBB\xEC\xBA\xCF\xD1\xD5\xC9\xAB"),                  // 混合颜色N
    EFFECTOR_NAMES("\xC9\xAB\xCF\xE0\xC6\xAB\xD2\xC6"),                  // 色相偏移N
};

void BuildMainParams(TableBuilder &t)
{
    // 点的形状
    t.Popup(id::DotShape, MAIN_FIELD(DotShape), "\xB5\xE3\xB5\xC4\xD0\xCE\xD7\xB4", 6, 1,
            kDotShapeItems);
    // 点的颜色
    t.Color(id::DotColor, MAIN_FIELD(DotColor), "\xB5\xE3\xB5\xC4\xD1\xD5\xC9\xAB", 255, 125, 20);
    // 点的大小
    t.Float(id::DotSize, MAIN_FIELD(DotSize), "\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1", 0, 1000, 0, 100,
            10, 1, kNumber);
    // 点的宽高比
    t.Float(id::DotAspect, MAIN_FIELD(DotAspect), "\xB5\xE3\xB5\xC4\xBF\xED\xB8\xDF\xB1\xC8", -100,
            100, -100, 100, 0, 1, kPercent);
    // 点的旋转
    t.Angle(id::DotRotation, MAIN_FIELD(DotRotation), "\xB5\xE3\xB5\xC4\xD0\xFD\xD7\xAA", 0);
    // 旋转类型
    t.Popup(id::RotationType, MAIN_FIELD(RotationType), "\xD0\xFD\xD7\xAA\xC0\xE0\xD0\xCD", 3, 1,
            kRotationTypeItems);
    // 点的透明度
    t.Float(id::DotOpacity, MAIN_FIELD(DotOpacity), "\xB5\xE3\xB5\xC4\xCD\xB8\xC3\xF7\xB6\xC8", 0,
            100, 0, 100, 100, 1, kPercent);
    // 间距类型; supervised: a change converts the spacings
    t.Popup(id::SpacingType, MAIN_FIELD(SpacingType), "\xBC\xE4\xBE\xE0\xC0\xE0\xD0\xCD", 2, 1,
            kSpacingTypeItems, kSupervised);
    // 点的X轴间距
    t.Float(id::DotSpacingX, MAIN_FIELD(DotSpacingX), "\xB5\xE3\xB5\xC4X\xD6\xE1\xBC\xE4\xBE\xE0",
            0, 10000, 0, 100, 20, 1, kNumber);
    // 点的Y轴间距
    t.Float(id::DotSpacingY, MAIN_FIELD(DotSpacingY), "\xB5\xE3\xB5\xC4Y\xD6\xE1\xBC\xE4\xBE\xE0",
            0, 10000, 0, 100, 20, 1, kNumber);
    // 中心位置
    t.Point(id::CenterPosition, MAIN_FIELD(CenterPosition), "\xD6\xD0\xD0\xC4\xCE\xBB\xD6\xC3",
            kHalfLayer, kHalfLayer);
    // 中心点到前面
    t.Checkbox(id::CenterDotToFront, MAIN_FIELD(CenterDotToFront),
               "\xD6\xD0\xD0\xC4\xB5\xE3\xB5\xBD\xC7\xB0\xC3\xE6", false);
    // 全局旋转中心 (the grid's rotation angle, whatever the name says)
    t.Angle(id::GlobalRotation, MAIN_FIELD(GlobalRotation),
            "\xC8\xAB\xBE\xD6\xD0\xFD\xD7\xAA\xD6\xD0\xD0\xC4", 0);
    // 全局旋转        中心
    t.Popup(id::GlobalRotationCenter, MAIN_FIELD(GlobalRotationCenter),
            "\xC8\xAB\xBE\xD6\xD0\xFD\xD7\xAA        \xD6\xD0\xD0\xC4", 4, 1,
            kGlobalRotationCenterItems);
    // 遮罩
    t.Popup(id::MaskMode, MAIN_FIELD(MaskMode), "\xD5\xDA\xD5\xD6", 3, 1, kMaskModeItems);
    // 目标遮罩图层
    t.Layer(id::MaskLayer, MAIN_FIELD(MaskLayer),
            "\xC4\xBF\xB1\xEA\xD5\xDA\xD5\xD6\xCD\xBC\xB2\xE3", PF_LayerDefault_NONE);
    // 反转遮罩
    t.Checkbox(id::InvertMask, MAIN_FIELD(InvertMask), "\xB7\xB4\xD7\xAA\xD5\xDA\xD5\xD6", false);
    // 清除背景
    t.Checkbox(id::ClearBackground, MAIN_FIELD(ClearBackground), "\xC7\xE5\xB3\xFD\xB1\xB3\xBE\xB0",
               false);
}

void BuildRandomGroup(TableBuilder &t)
{
    // 随机化
    t.OpenGroup(id::RandomTopic, id::RandomTopicEnd, "\xCB\xE6\xBB\xFA\xBB\xAF");
    // 随机间距: frames between re-seeding; held between keyframes
    t.Slider(id::RandomInterval, MAIN_FIELD(RandomInterval), "\xCB\xE6\xBB\xFA\xBC\xE4\xBE\xE0", 0,
             1000, 0, 60, 0, kHold);
    // 随机排列
    t.Slider(id::RandomCycle, MAIN_FIELD(RandomCycle), "\xCB\xE6\xBB\xFA\xC5\xC5\xC1\xD0", 0, 10, 0,
             10, 0, kHold);
    // 随机种子
    t.Slider(id::RandomSeed, MAIN_FIELD(RandomSeed), "\xCB\xE6\xBB\xFA\xD6\xD6\xD7\xD3", 0, 10000,
             0, 100, 0, kHold);
    // 大小
    t.Float(id::RandomSize, MAIN_FIELD(RandomSize), "\xB4\xF3\xD0\xA1", 0, 50, 0, 1, 0, 2, kNumber);
    // 宽高比
    t.Float(id::RandomAspect, MAIN_FIELD(RandomAspect), "\xBF\xED\xB8\xDF\xB1\xC8", 0, 50, 0, 1, 0,
            2, kNumber);
    // 旋转
    t.Float(id::RandomRotation, MAIN_FIELD(RandomRotation), "\xD0\xFD\xD7\xAA", 0, 50, 0, 1, 0, 2,
            kNumber);
    // 透明度
    t.Float(id::RandomOpacity, MAIN_FIELD(RandomOpacity), "\xCD\xB8\xC3\xF7\xB6\xC8", 0, 50, 0, 1,
            0, 2, kNumber);
    // X轴间距
    t.Float(id::RandomSpacingX, MAIN_FIELD(RandomSpacingX), "X\xD6\xE1\xBC\xE4\xBE\xE0", 0, 50, 0,
            1, 0, 2, kNumber);
    // Y轴间距
    t.Float(id::RandomSpacingY, MAIN_FIELD(RandomSpacingY), "Y\xD6\xE1\xBC\xE4\xBE\xE0", 0, 50, 0,
            1, 0, 2, kNumber);
    t.Angle(id::RandomHue, MAIN_FIELD(RandomHue), "H", 0);
    t.Float(id::RandomSaturation, MAIN_FIELD(RandomSaturation), "S", 0, 100, 0, 100, 0, 1,
            kPercent);
    t.Float(id::RandomValue, MAIN_FIELD(RandomValue), "V", 0, 100, 0, 100, 0, 1, kPercent);
    t.CloseGroup();
}

// Effector n (1 to 3), in host order; the record keeps its own field order.
void BuildEffectorGroup(TableBuilder &t, int n)
{
    const EffectorParamIds &ids = EffectorIds(n);
    const EffectorNames &name = kEffectorNames;
    const int k = n - 1;

    t.OpenGroup(ids.Effector, ids.EffectorEnd, name.Effector[k]);
    t.Checkbox(ids.EnableEffector, EFFECTOR_FIELD(k, enable), name.EnableEffector[k], false);
    t.Point(ids.EffectorPosition, EFFECTOR_FIELD(k, position), name.EffectorPosition[k], kHalfLayer,
            kHalfLayer);
    t.Float(ids.EffectorSize, EFFECTOR_FIELD(k, size), name.EffectorSize[k], 0, 5000, 0, 1000, 200,
            1, kNumber);
    t.Angle(ids.EffectorAngle, EFFECTOR_FIELD(k, angle), name.EffectorAngle[k], 0);
    t.Float(ids.EffectorFalloff, EFFECTOR_FIELD(k, falloff), name.EffectorFalloff[k], 0, 100, 0,
            100, 100, 1, kPercent);
    // Default 3: radial.
    t.Popup(ids.EffectMap, EFFECTOR_FIELD(k, mapType), name.EffectMap[k], 6, 3, kEffectMapItems);
    t.Layer(ids.CustomMapLayer, EFFECTOR_FIELD(k, mapLayer), name.CustomMapLayer[k],
            PF_LayerDefault_MYSELF);
    t.Checkbox(ids.FitToLayer, EFFECTOR_FIELD(k, fitToLayer), name.FitToLayer[k], false);
    t.Checkbox(ids.PickSourceColor, EFFECTOR_FIELD(k, pickSourceColor), name.PickSourceColor[k],
               false);
    // Default 4: extend edges.
    t.Popup(ids.Tile, EFFECTOR_FIELD(k, tile), name.Tile[k], 4, 4, kTileItems);
    t.Checkbox(ids.EffectorCenterDotToFront, EFFECTOR_FIELD(k, centerDotToFront),
               name.EffectorCenterDotToFront[k], false);
    t.Checkbox(ids.Absolute, EFFECTOR_FIELD(k, absolute), name.Absolute[k], false);
    t.Float(ids.IndependentSize, EFFECTOR_FIELD(k, independentSize), name.IndependentSize[k], 0,
            1000, 0, 100, 20, 1, kNumber);
    t.Float(ids.IndependentAspect, EFFECTOR_FIELD(k, independentAspect), name.IndependentAspect[k],
            -100, 100, -100, 100, 0, 0, kPercent);
    t.Angle(ids.IndependentRotation, EFFECTOR_FIELD(k, independentRotation),
            name.IndependentRotation[k], 0);
    t.Float(ids.IndependentOpacity, EFFECTOR_FIELD(k, independentOpacity),
            name.IndependentOpacity[k], 0, 100, 0, 100, 100, 0, kPercent);
    t.Float(ids.SizeByRatio, EFFECTOR_FIELD(k, sizeByRatio), name.SizeByRatio[k], 0, 100, 0, 10, 1,
            1, kNumber);
    t.Float(ids.AspectByRatio, EFFECTOR_FIELD(k, aspectByRatio), name.AspectByRatio[k], 0, 100, 0,
            10, 1, 1, kNumber);
    t.Float(ids.RotationByRatio, EFFECTOR_FIELD(k, rotationByRatio), name.RotationByRatio[k], 0,
            100, 0, 10, 1, 1, kNumber);
    t.Float(ids.OpacityByRatio, EFFECTOR_FIELD(k, opacityByRatio), name.OpacityByRatio[k], 0, 100,
            0, 10, 1, 1, kNumber);
    t.Float(ids.SizeOffset, EFFECTOR_FIELD(k, sizeOffset), name.SizeOffset[k], -100, 100, -100, 100,
            0, 1, kNumber);
    t.Float(ids.AspectOffset, EFFECTOR_FIELD(k, aspectOffset), name.AspectOffset[k], -100, 100,
            -100, 100, 0, 0, kPercent);
    t.Angle(ids.RotationOffset, EFFECTOR_FIELD(k, rotationOffset), name.RotationOffset[k], 0);
    t.Float(ids.OpacityOffset, EFFECTOR_FIELD(k, opacityOffset), name.OpacityOffset[k], -100, 100,
            -100, 100, 0, 0, kPercent);
    t.Checkbox(ids.EffectorColor, EFFECTOR_FIELD(k, colorize), name.EffectorColor[k], false);
    t.Popup(ids.BlendMode, EFFECTOR_FIELD(k, blendMode), name.BlendMode[k], 14, 1, kBlendModeItems);
    t.Color(ids.BlendColor, EFFECTOR_FIELD(k, blendColor), name.BlendColor[k], 255, 255, 255);
    t.Angle(ids.HueOffset, EFFECTOR_FIELD(k, hueOffset), name.HueOffset[k], 0);
    t.CloseGroup();
}

}  // namespace

void BuildParamTable()
{
    ClearParamRegistry();
    TableBuilder t;
    BuildMainParams(t);
    BuildRandomGroup(t);
    for (int n = 1; n <= kEffectorCount; ++n) {
        BuildEffectorGroup(t, n);
    }
    FinishParamRegistry();
}

}  // namespace params
