// The declared parameter list against the effect's parameter table, written
// out here row by row on its own rather than taken from the code.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "FakeHost.h"
#include "RenderRecord.h"
#include "params/Params.h"

namespace {

using paramtest::FakeHost;

struct Row {
    int index;
    A_long id;
    PF_ParamType type;
    const char *name;  // GBK
    A_long flags;      // template: 0x20 plain, 0x60 supervised, 0x24 hold
    double validMin, validMax, sliderMin, sliderMax;
    double dephault;  // popup choice, checkbox 0/1, angle in degrees, layer -1/0
    int precision;
    int percent;
    int choices;
    const char *items;  // GBK popup items
    int red, green, blue;
    int xPercent, yPercent;
};

// Index, id, type, display name, template flags, valid min/max, slider
// min/max, default, decimals, percent, choices, items, colour, point.
const Row kTable[] = {
    {1, 1, PF_Param_POPUP, "\xB5\xE3\xB5\xC4\xD0\xCE\xD7\xB4", 0x20, 0, 0, 0, 0, 1, 0, 0, 6,
     "\xD4\xB2\xD0\xCE  | \xBE\xD8\xD0\xCE |\xD4\xB2\xBD\xC7\xBE\xD8\xD0\xCE    |\xCA\xAE\xD7\xD6 "
     "|\xD0\xC7\xD0\xCE|\xC1\xE2\xD0\xCE",
     0, 0, 0, 0, 0},  // DotShape 点的形状
    {2, 2, PF_Param_COLOR, "\xB5\xE3\xB5\xC4\xD1\xD5\xC9\xAB", 0x20, 0, 0, 0, 0, 0, 0, 0, 0,
     nullptr, 255, 125, 20, 0, 0},  // DotColor 点的颜色
    {3, 3, PF_Param_FLOAT_SLIDER, "\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1", 0x20, 0, 1000, 0, 100, 10, 1,
     0, 0, nullptr, 0, 0, 0, 0, 0},  // DotSize 点的大小
    {4, 4, PF_Param_FLOAT_SLIDER, "\xB5\xE3\xB5\xC4\xBF\xED\xB8\xDF\xB1\xC8", 0x20, -100, 100, -100,
     100, 0, 1, 1, 0, nullptr, 0, 0, 0, 0, 0},  // DotAspect 点的宽高比
    {5, 5, PF_Param_ANGLE, "\xB5\xE3\xB5\xC4\xD0\xFD\xD7\xAA", 0x20, 0, 0, 0, 0, 0, 0, 0, 0,
     nullptr, 0, 0, 0, 0, 0},  // DotRotation 点的旋转
    {6, 6, PF_Param_POPUP, "\xD0\xFD\xD7\xAA\xC0\xE0\xD0\xCD", 0x20, 0, 0, 0, 0, 1, 0, 0, 3,
     "\xD5\xFD\xB3\xA3  | \xB3\xAF\xD7\xC5\xD6\xD0\xD0\xC4     "
     "|\xB9\xCC\xB6\xA8\xB5\xE3\xB5\xC4\xBD\xC7\xB6\xC8",
     0, 0, 0, 0, 0},  // RotationType 旋转类型
    {7, 7, PF_Param_FLOAT_SLIDER, "\xB5\xE3\xB5\xC4\xCD\xB8\xC3\xF7\xB6\xC8", 0x20, 0, 100, 0, 100,
     100, 1, 1, 0, nullptr, 0, 0, 0, 0, 0},  // DotOpacity 点的透明度
    {8, 8, PF_Param_POPUP, "\xBC\xE4\xBE\xE0\xC0\xE0\xD0\xCD", 0x60, 0, 0, 0, 0, 1, 0, 0, 2,
     "\xC1\xBD\xB5\xE3|\xD6\xD0\xD0\xC4", 0, 0, 0, 0, 0},  // SpacingType 间距类型
    {9, 9, PF_Param_FLOAT_SLIDER, "\xB5\xE3\xB5\xC4X\xD6\xE1\xBC\xE4\xBE\xE0", 0x20, 0, 10000, 0,
     100, 20, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // DotSpacingX 点的X轴间距
    {10, 10, PF_Param_FLOAT_SLIDER, "\xB5\xE3\xB5\xC4Y\xD6\xE1\xBC\xE4\xBE\xE0", 0x20, 0, 10000, 0,
     100, 20, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // DotSpacingY 点的Y轴间距
    {11, 11, PF_Param_POINT, "\xD6\xD0\xD0\xC4\xCE\xBB\xD6\xC3", 0x20, 0, 0, 0, 0, 0, 0, 0, 0,
     nullptr, 0, 0, 0, 50, 50},  // CenterPosition 中心位置
    {12, 125, PF_Param_CHECKBOX, "\xD6\xD0\xD0\xC4\xB5\xE3\xB5\xBD\xC7\xB0\xC3\xE6", 0x20, 0, 0, 0,
     0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // CenterDotToFront 中心点到前面
    {13, 12, PF_Param_ANGLE, "\xC8\xAB\xBE\xD6\xD0\xFD\xD7\xAA\xD6\xD0\xD0\xC4", 0x20, 0, 0, 0, 0,
     0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // GlobalRotation 全局旋转中心
    {14, 13, PF_Param_POPUP, "\xC8\xAB\xBE\xD6\xD0\xFD\xD7\xAA        \xD6\xD0\xD0\xC4", 0x20, 0, 0,
     0, 0, 1, 0, 0, 4, "\xD6\xD0\xD0\xC4  |FX1|FX2|FX3", 0, 0, 0, 0,
     0},  // GlobalRotationCenter 全局旋转        中心
    {15, 14, PF_Param_POPUP, "\xD5\xDA\xD5\xD6", 0x20, 0, 0, 0, 0, 1, 0, 0, 3,
     "\xD5\xFD\xB3\xA3  | \xCE\xDE |\xCD\xBC\xB2\xE3", 0, 0, 0, 0, 0},  // MaskMode 遮罩
    {16, 15, PF_Param_LAYER, "\xC4\xBF\xB1\xEA\xD5\xDA\xD5\xD6\xCD\xBC\xB2\xE3", 0x20, 0, 0, 0, 0,
     0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // MaskLayer 目标遮罩图层
    {17, 16, PF_Param_CHECKBOX, "\xB7\xB4\xD7\xAA\xD5\xDA\xD5\xD6", 0x20, 0, 0, 0, 0, 0, 0, 0, 0,
     nullptr, 0, 0, 0, 0, 0},  // InvertMask 反转遮罩
    {18, 17, PF_Param_CHECKBOX, "\xC7\xE5\xB3\xFD\xB1\xB3\xBE\xB0", 0x20, 0, 0, 0, 0, 0, 0, 0, 0,
     nullptr, 0, 0, 0, 0, 0},  // ClearBackground 清除背景
    {19, 18, PF_Param_GROUP_START, "\xCB\xE6\xBB\xFA\xBB\xAF", 0x20, 0, 0, 0, 0, 0, 0, 0, 0,
     nullptr, 0, 0, 0, 0, 0},  // RandomTopic 随机化
    {20, 20, PF_Param_SLIDER, "\xCB\xE6\xBB\xFA\xBC\xE4\xBE\xE0", 0x24, 0, 1000, 0, 60, 0, 0, 0, 0,
     nullptr, 0, 0, 0, 0, 0},  // RandomInterval 随机间距
    {21, 132, PF_Param_SLIDER, "\xCB\xE6\xBB\xFA\xC5\xC5\xC1\xD0", 0x24, 0, 10, 0, 10, 0, 0, 0, 0,
     nullptr, 0, 0, 0, 0, 0},  // RandomCycle 随机排列
    {22, 21, PF_Param_SLIDER, "\xCB\xE6\xBB\xFA\xD6\xD6\xD7\xD3", 0x24, 0, 10000, 0, 100, 0, 0, 0,
     0, nullptr, 0, 0, 0, 0, 0},  // RandomSeed 随机种子
    {23, 22, PF_Param_FLOAT_SLIDER, "\xB4\xF3\xD0\xA1", 0x20, 0, 50, 0, 1, 0, 2, 0, 0, nullptr, 0,
     0, 0, 0, 0},  // RandomSize 大小
    {24, 23, PF_Param_FLOAT_SLIDER, "\xBF\xED\xB8\xDF\xB1\xC8", 0x20, 0, 50, 0, 1, 0, 2, 0, 0,
     nullptr, 0, 0, 0, 0, 0},  // RandomAspect 宽高比
    {25, 24, PF_Param_FLOAT_SLIDER, "\xD0\xFD\xD7\xAA", 0x20, 0, 50, 0, 1, 0, 2, 0, 0, nullptr, 0,
     0, 0, 0, 0},  // RandomRotation 旋转
    {26, 25, PF_Param_FLOAT_SLIDER, "\xCD\xB8\xC3\xF7\xB6\xC8", 0x20, 0, 50, 0, 1, 0, 2, 0, 0,
     nullptr, 0, 0, 0, 0, 0},  // RandomOpacity 透明度
    {27, 26, PF_Param_FLOAT_SLIDER, "X\xD6\xE1\xBC\xE4\xBE\xE0", 0x20, 0, 50, 0, 1, 0, 2, 0, 0,
     nullptr, 0, 0, 0, 0, 0},  // RandomSpacingX X轴间距
    {28, 27, PF_Param_FLOAT_SLIDER, "Y\xD6\xE1\xBC\xE4\xBE\xE0", 0x20, 0, 50, 0, 1, 0, 2, 0, 0,
     nullptr, 0, 0, 0, 0, 0},  // RandomSpacingY Y轴间距
    {29, 32, PF_Param_ANGLE, "H", 0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0,
     0},  // RandomHue H
    {30, 33, PF_Param_FLOAT_SLIDER, "S", 0x20, 0, 100, 0, 100, 0, 1, 1, 0, nullptr, 0, 0, 0, 0,
     0},  // RandomSaturation S
    {31, 34, PF_Param_FLOAT_SLIDER, "V", 0x20, 0, 100, 0, 100, 0, 1, 1, 0, nullptr, 0, 0, 0, 0,
     0},  // RandomValue V
    {32, 19, PF_Param_GROUP_END, "", 0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0,
     0},  // RandomTopicEnd
    {33, 35, PF_Param_GROUP_START,
     "\xD0\xA7\xB9\xFB\xC6\xF7"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // Effector1 效果器1
    {34, 37, PF_Param_CHECKBOX,
     "\xC6\xF4\xD3\xC3\xD0\xA7\xB9\xFB\xC6\xF7"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EnableEffector1 启用效果器1
    {35, 41, PF_Param_POINT,
     "\xCE\xBB\xD6\xC3"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 50, 50},  // EffectorPosition1 位置1
    {36, 42, PF_Param_FLOAT_SLIDER,
     "\xB4\xF3\xD0\xA1"
     "1",
     0x20, 0, 5000, 0, 1000, 200, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorSize1 大小1
    {37, 40, PF_Param_ANGLE,
     "\xBD\xC7\xB6\xC8"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorAngle1 角度1
    {38, 43, PF_Param_FLOAT_SLIDER,
     "\xCB\xA5\xBC\xF5"
     "1",
     0x20, 0, 100, 0, 100, 100, 1, 1, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorFalloff1 衰减1
    {39, 136, PF_Param_POPUP,
     "\xD0\xA7\xB9\xFB\xCC\xF9\xCD\xBC"
     "1",
     0x20, 0, 0, 0, 0, 3, 0, 0, 6,
     "\xCA\xB9\xD3\xC3\xD7\xD4\xB6\xA8\xD2\xE5\xCC\xF9\xCD\xBC|(-|\xBE\xB6\xCF\xF2  "
     "|\xBE\xB6\xCF\xF2\xB6\xD4\xB3\xC6     | \xCF\xDF\xD0\xD4 |\xCF\xDF\xD0\xD4\xB6\xD4\xB3\xC6",
     0, 0, 0, 0, 0},  // EffectMap1 效果贴图1
    {40, 45, PF_Param_LAYER,
     "\xD7\xD4\xB6\xA8\xD2\xE5\xCC\xF9\xCD\xBC\xCD\xBC\xB2\xE3"
     "1",
     0x20, 0, 0, 0, 0, -1, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // CustomMapLayer1 自定义贴图图层1
    {41, 139, PF_Param_CHECKBOX,
     "\xB6\xD4\xD3\xA6\xB5\xBD\xCD\xBC\xB2\xE3"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // FitToLayer1 对应到图层1
    {42, 129, PF_Param_CHECKBOX,
     "\xCA\xB0\xC8\xA1\xD7\xCA\xD4\xB4\xD1\xD5\xC9\xAB"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // PickSourceColor1 拾取资源颜色1
    {43, 133, PF_Param_POPUP,
     "\xB4\xC9\xD7\xA9"
     "1",
     0x20, 0, 0, 0, 0, 4, 0, 0, 4,
     "\xCE\xDE  |\xD6\xD8\xB8\xB4  |\xB6\xD4\xB3\xC6  |\xC0\xA9\xD5\xB9\xB1\xDF\xD4\xB5", 0, 0, 0,
     0, 0},  // Tile1 瓷砖1
    {44, 126, PF_Param_CHECKBOX,
     "\xD6\xD0\xD0\xC4\xB5\xE3\xB5\xBD\xD5\xFD\xC3\xE6"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0,
     0},  // EffectorCenterDotToFront1 中心点到正面1
    {45, 46, PF_Param_CHECKBOX,
     "\xBE\xF8\xB6\xD4\xB5\xC4"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // Absolute1 绝对的1
    {46, 47, PF_Param_FLOAT_SLIDER,
     "\xB6\xC0\xC1\xA2\xB4\xF3\xD0\xA1"
     "1",
     0x20, 0, 1000, 0, 100, 20, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // IndependentSize1 独立大小1
    {47, 48, PF_Param_FLOAT_SLIDER,
     "\xB6\xC0\xC1\xA2\xBF\xED\xB8\xDF\xB1\xC8"
     "1",
     0x20, -100, 100, -100, 100, 0, 0, 1, 0, nullptr, 0, 0, 0, 0,
     0},  // IndependentAspect1 独立宽高比1
    {48, 49, PF_Param_ANGLE,
     "\xB6\xC0\xC1\xA2\xD0\xFD\xD7\xAA"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // IndependentRotation1 独立旋转1
    {49, 50, PF_Param_FLOAT_SLIDER,
     "\xB6\xC0\xC1\xA2\xCD\xB8\xC3\xF7\xB6\xC8"
     "1",
     0x20, 0, 100, 0, 100, 100, 0, 1, 0, nullptr, 0, 0, 0, 0,
     0},  // IndependentOpacity1 独立透明度1
    {50, 52, PF_Param_FLOAT_SLIDER,
     "\xB0\xB4\xB1\xC8\xC2\xCA\xCB\xF5\xB7\xC5"
     "1",
     0x20, 0, 100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // SizeByRatio1 按比率缩放1
    {51, 53, PF_Param_FLOAT_SLIDER, "\xB0\xB4\xB1\xC8\xC2\xCA\xBF\xED\xB8\xDF\xB1\xC8", 0x20, 0,
     100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // AspectByRatio1 按比率宽高比
    {52, 54, PF_Param_FLOAT_SLIDER,
     "\xB0\xB4\xB1\xC8\xC2\xCA\xD0\xFD\xD7\xAA"
     "1",
     0x20, 0, 100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // RotationByRatio1 按比率旋转1
    {53, 55, PF_Param_FLOAT_SLIDER,
     "\xB0\xB4\xB1\xC8\xC2\xCA\xCD\xB8\xC3\xF7\xB6\xC8"
     "1",
     0x20, 0, 100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // OpacityByRatio1 按比率透明度1
    {54, 57, PF_Param_FLOAT_SLIDER,
     "\xB4\xF3\xD0\xA1\xC6\xAB\xD2\xC6"
     "1",
     0x20, -100, 100, -100, 100, 0, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // SizeOffset1 大小偏移1
    {55, 58, PF_Param_FLOAT_SLIDER,
     "\xBF\xED\xB8\xDF\xB1\xC8\xC6\xAB\xD2\xC6"
     "1",
     0x20, -100, 100, -100, 100, 0, 0, 1, 0, nullptr, 0, 0, 0, 0, 0},  // AspectOffset1 宽高比偏移1
    {56, 59, PF_Param_ANGLE,
     "\xD0\xFD\xD7\xAA\xC6\xAB\xD2\xC6"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // RotationOffset1 旋转偏移1
    {57, 60, PF_Param_FLOAT_SLIDER,
     "\xCD\xB8\xC3\xF7\xB6\xC8\xC6\xAB\xD2\xC6"
     "1",
     0x20, -100, 100, -100, 100, 0, 0, 1, 0, nullptr, 0, 0, 0, 0, 0},  // OpacityOffset1 透明度偏移1
    {58, 61, PF_Param_CHECKBOX,
     "\xD1\xD5\xC9\xAB"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorColor1 颜色1
    {59, 62, PF_Param_POPUP,
     "\xBB\xEC\xBA\xCF\xC4\xA3\xCA\xBD"
     "1",
     0x20, 0, 0, 0, 0, 1, 0, 0, 14,
     "\xD5\xFD\xB3\xA3  |(-|\xBC\xD3 |\xCF\xE0\xBC\xF5     |\xCF\xE0\xB3\xCB    |\xC6\xC1\xC4\xBB  "
     "|\xB5\xFE\xBC\xD3   |\xC7\xBF\xB9\xE2      |\xC8\xE1\xB9\xE2      |(-|\xB1\xE4\xB0\xB5  "
     "|\xB1\xE4\xC1\xC1   |\xB2\xEE\xD6\xB5      |\xC5\xC5\xB3\xFD",
     0, 0, 0, 0, 0},  // BlendMode1 混合模式1
    {60, 63, PF_Param_COLOR,
     "\xBB\xEC\xBA\xCF\xD1\xD5\xC9\xAB"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 255, 255, 255, 0, 0},  // BlendColor1 混合颜色1
    {61, 64, PF_Param_ANGLE,
     "\xC9\xAB\xCF\xE0\xC6\xAB\xD2\xC6"
     "1",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // HueOffset1 色相偏移1
    {62, 36, PF_Param_GROUP_END, "", 0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0,
     0},  // EffectorEnd1
    {63, 65, PF_Param_GROUP_START,
     "\xD0\xA7\xB9\xFB\xC6\xF7"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // Effector2 效果器2
    {64, 67, PF_Param_CHECKBOX,
     "\xC6\xF4\xD3\xC3\xD0\xA7\xB9\xFB\xC6\xF7"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EnableEffector2 启用效果器2
    {65, 71, PF_Param_POINT,
     "\xCE\xBB\xD6\xC3"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 50, 50},  // EffectorPosition2 位置2
    {66, 72, PF_Param_FLOAT_SLIDER,
     "\xB4\xF3\xD0\xA1"
     "2",
     0x20, 0, 5000, 0, 1000, 200, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorSize2 大小2
    {67, 70, PF_Param_ANGLE,
     "\xBD\xC7\xB6\xC8"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorAngle2 角度2
    {68, 73, PF_Param_FLOAT_SLIDER,
     "\xCB\xA5\xBC\xF5"
     "2",
     0x20, 0, 100, 0, 100, 100, 1, 1, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorFalloff2 衰减2
    {69, 137, PF_Param_POPUP,
     "\xD0\xA7\xB9\xFB\xCC\xF9\xCD\xBC"
     "2",
     0x20, 0, 0, 0, 0, 3, 0, 0, 6,
     "\xCA\xB9\xD3\xC3\xD7\xD4\xB6\xA8\xD2\xE5\xCC\xF9\xCD\xBC|(-|\xBE\xB6\xCF\xF2  "
     "|\xBE\xB6\xCF\xF2\xB6\xD4\xB3\xC6     | \xCF\xDF\xD0\xD4 |\xCF\xDF\xD0\xD4\xB6\xD4\xB3\xC6",
     0, 0, 0, 0, 0},  // EffectMap2 效果贴图2
    {70, 75, PF_Param_LAYER,
     "\xD7\xD4\xB6\xA8\xD2\xE5\xCC\xF9\xCD\xBC\xCD\xBC\xB2\xE3"
     "2",
     0x20, 0, 0, 0, 0, -1, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // CustomMapLayer2 自定义贴图图层2
    {71, 140, PF_Param_CHECKBOX,
     "\xB6\xD4\xD3\xA6\xB5\xBD\xCD\xBC\xB2\xE3"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // FitToLayer2 对应到图层2
    {72, 130, PF_Param_CHECKBOX,
     "\xCA\xB0\xC8\xA1\xD7\xCA\xD4\xB4\xD1\xD5\xC9\xAB"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // PickSourceColor2 拾取资源颜色2
    {73, 134, PF_Param_POPUP,
     "\xB4\xC9\xD7\xA9"
     "2",
     0x20, 0, 0, 0, 0, 4, 0, 0, 4,
     "\xCE\xDE  |\xD6\xD8\xB8\xB4  |\xB6\xD4\xB3\xC6  |\xC0\xA9\xD5\xB9\xB1\xDF\xD4\xB5", 0, 0, 0,
     0, 0},  // Tile2 瓷砖2
    {74, 127, PF_Param_CHECKBOX,
     "\xD6\xD0\xD0\xC4\xB5\xE3\xB5\xBD\xD5\xFD\xC3\xE6"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0,
     0},  // EffectorCenterDotToFront2 中心点到正面2
    {75, 76, PF_Param_CHECKBOX,
     "\xBE\xF8\xB6\xD4\xB5\xC4"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // Absolute2 绝对的2
    {76, 77, PF_Param_FLOAT_SLIDER,
     "\xB6\xC0\xC1\xA2\xB4\xF3\xD0\xA1"
     "2",
     0x20, 0, 1000, 0, 100, 20, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // IndependentSize2 独立大小2
    {77, 78, PF_Param_FLOAT_SLIDER,
     "\xB6\xC0\xC1\xA2\xBF\xED\xB8\xDF\xB1\xC8"
     "2",
     0x20, -100, 100, -100, 100, 0, 0, 1, 0, nullptr, 0, 0, 0, 0,
     0},  // IndependentAspect2 独立宽高比2
    {78, 79, PF_Param_ANGLE,
     "\xB6\xC0\xC1\xA2\xD0\xFD\xD7\xAA"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // IndependentRotation2 独立旋转2
    {79, 80, PF_Param_FLOAT_SLIDER,
     "\xB6\xC0\xC1\xA2\xCD\xB8\xC3\xF7\xB6\xC8"
     "2",
     0x20, 0, 100, 0, 100, 100, 0, 1, 0, nullptr, 0, 0, 0, 0,
     0},  // IndependentOpacity2 独立透明度2
    {80, 82, PF_Param_FLOAT_SLIDER,
     "\xB0\xB4\xB1\xC8\xC2\xCA\xCB\xF5\xB7\xC5"
     "2",
     0x20, 0, 100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // SizeByRatio2 按比率缩放2
    {81, 83, PF_Param_FLOAT_SLIDER,
     "\xB0\xB4\xB1\xC8\xC2\xCA\xBF\xED\xB8\xDF\xB1\xC8"
     "2",
     0x20, 0, 100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // AspectByRatio2 按比率宽高比2
    {82, 84, PF_Param_FLOAT_SLIDER,
     "\xB0\xB4\xB1\xC8\xC2\xCA\xD0\xFD\xD7\xAA"
     "2",
     0x20, 0, 100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // RotationByRatio2 按比率旋转2
    {83, 85, PF_Param_FLOAT_SLIDER,
     "\xB0\xB4\xB1\xC8\xC2\xCA\xCD\xB8\xC3\xF7\xB6\xC8"
     "2",
     0x20, 0, 100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // OpacityByRatio2 按比率透明度2
    {84, 87, PF_Param_FLOAT_SLIDER,
     "\xB4\xF3\xD0\xA1\xC6\xAB\xD2\xC6"
     "2",
     0x20, -100, 100, -100, 100, 0, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // SizeOffset2 大小偏移2
    {85, 88, PF_Param_FLOAT_SLIDER,
     "\xBF\xED\xB8\xDF\xB1\xC8\xC6\xAB\xD2\xC6"
     "2",
     0x20, -100, 100, -100, 100, 0, 0, 1, 0, nullptr, 0, 0, 0, 0, 0},  // AspectOffset2 宽高比偏移2
    {86, 89, PF_Param_ANGLE,
     "\xD0\xFD\xD7\xAA\xC6\xAB\xD2\xC6"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // RotationOffset2 旋转偏移2
    {87, 90, PF_Param_FLOAT_SLIDER,
     "\xCD\xB8\xC3\xF7\xB6\xC8\xC6\xAB\xD2\xC6"
     "2",
     0x20, -100, 100, -100, 100, 0, 0, 1, 0, nullptr, 0, 0, 0, 0, 0},  // OpacityOffset2 透明度偏移2
    {88, 91, PF_Param_CHECKBOX,
     "\xD1\xD5\xC9\xAB"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorColor2 颜色2
    {89, 92, PF_Param_POPUP,
     "\xBB\xEC\xBA\xCF\xC4\xA3\xCA\xBD"
     "2",
     0x20, 0, 0, 0, 0, 1, 0, 0, 14,
     "\xD5\xFD\xB3\xA3  |(-|\xBC\xD3 |\xCF\xE0\xBC\xF5     |\xCF\xE0\xB3\xCB    |\xC6\xC1\xC4\xBB  "
     "|\xB5\xFE\xBC\xD3   |\xC7\xBF\xB9\xE2      |\xC8\xE1\xB9\xE2      |(-|\xB1\xE4\xB0\xB5  "
     "|\xB1\xE4\xC1\xC1   |\xB2\xEE\xD6\xB5      |\xC5\xC5\xB3\xFD",
     0, 0, 0, 0, 0},  // BlendMode2 混合模式2
    {90, 93, PF_Param_COLOR,
     "\xBB\xEC\xBA\xCF\xD1\xD5\xC9\xAB"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 255, 255, 255, 0, 0},  // BlendColor2 混合颜色2
    {91, 94, PF_Param_ANGLE,
     "\xC9\xAB\xCF\xE0\xC6\xAB\xD2\xC6"
     "2",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // HueOffset2 色相偏移2
    {92, 66, PF_Param_GROUP_END, "", 0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0,
     0},  // EffectorEnd2
    {93, 95, PF_Param_GROUP_START,
     "\xD0\xA7\xB9\xFB\xC6\xF7"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // Effector3 效果器3
    {94, 97, PF_Param_CHECKBOX,
     "\xC6\xF4\xD3\xC3\xD0\xA7\xB9\xFB\xC6\xF7"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EnableEffector3 启用效果器3
    {95, 101, PF_Param_POINT,
     "\xCE\xBB\xD6\xC3"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 50, 50},  // EffectorPosition3 位置3
    {96, 102, PF_Param_FLOAT_SLIDER,
     "\xB4\xF3\xD0\xA1"
     "3",
     0x20, 0, 5000, 0, 1000, 200, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorSize3 大小3
    {97, 100, PF_Param_ANGLE,
     "\xBD\xC7\xB6\xC8"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorAngle3 角度3
    {98, 103, PF_Param_FLOAT_SLIDER,
     "\xCB\xA5\xBC\xF5"
     "3",
     0x20, 0, 100, 0, 100, 100, 1, 1, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorFalloff3 衰减3
    {99, 138, PF_Param_POPUP,
     "\xD0\xA7\xB9\xFB\xCC\xF9\xCD\xBC"
     "3",
     0x20, 0, 0, 0, 0, 3, 0, 0, 6,
     "\xCA\xB9\xD3\xC3\xD7\xD4\xB6\xA8\xD2\xE5\xCC\xF9\xCD\xBC|(-|\xBE\xB6\xCF\xF2  "
     "|\xBE\xB6\xCF\xF2\xB6\xD4\xB3\xC6     | \xCF\xDF\xD0\xD4 |\xCF\xDF\xD0\xD4\xB6\xD4\xB3\xC6",
     0, 0, 0, 0, 0},  // EffectMap3 效果贴图3
    {100, 105, PF_Param_LAYER,
     "\xD7\xD4\xB6\xA8\xD2\xE5\xCC\xF9\xCD\xBC\xCD\xBC\xB2\xE3"
     "3",
     0x20, 0, 0, 0, 0, -1, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // CustomMapLayer3 自定义贴图图层3
    {101, 141, PF_Param_CHECKBOX,
     "\xB6\xD4\xD3\xA6\xB5\xBD\xCD\xBC\xB2\xE3"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // FitToLayer3 对应到图层3
    {102, 131, PF_Param_CHECKBOX,
     "\xCA\xB0\xC8\xA1\xD7\xCA\xD4\xB4\xD1\xD5\xC9\xAB"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // PickSourceColor3 拾取资源颜色3
    {103, 135, PF_Param_POPUP,
     "\xB4\xC9\xD7\xA9"
     "3",
     0x20, 0, 0, 0, 0, 4, 0, 0, 4,
     "\xCE\xDE  |\xD6\xD8\xB8\xB4  |\xB6\xD4\xB3\xC6  |\xC0\xA9\xD5\xB9\xB1\xDF\xD4\xB5", 0, 0, 0,
     0, 0},  // Tile3 瓷砖3
    {104, 128, PF_Param_CHECKBOX,
     "\xD6\xD0\xD0\xC4\xB5\xE3\xB5\xBD\xD5\xFD\xC3\xE6"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0,
     0},  // EffectorCenterDotToFront3 中心点到正面3
    {105, 106, PF_Param_CHECKBOX,
     "\xBE\xF8\xB6\xD4\xB5\xC4"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // Absolute3 绝对的3
    {106, 107, PF_Param_FLOAT_SLIDER,
     "\xB6\xC0\xC1\xA2\xB4\xF3\xD0\xA1"
     "3",
     0x20, 0, 1000, 0, 100, 20, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // IndependentSize3 独立大小3
    {107, 108, PF_Param_FLOAT_SLIDER,
     "\xB6\xC0\xC1\xA2\xBF\xED\xB8\xDF\xB1\xC8"
     "3",
     0x20, -100, 100, -100, 100, 0, 0, 1, 0, nullptr, 0, 0, 0, 0,
     0},  // IndependentAspect3 独立宽高比3
    {108, 109, PF_Param_ANGLE,
     "\xB6\xC0\xC1\xA2\xD0\xFD\xD7\xAA"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // IndependentRotation3 独立旋转3
    {109, 110, PF_Param_FLOAT_SLIDER,
     "\xB6\xC0\xC1\xA2\xCD\xB8\xC3\xF7\xB6\xC8"
     "3",
     0x20, 0, 100, 0, 100, 100, 0, 1, 0, nullptr, 0, 0, 0, 0,
     0},  // IndependentOpacity3 独立透明度3
    {110, 112, PF_Param_FLOAT_SLIDER,
     "\xB0\xB4\xB1\xC8\xC2\xCA\xCB\xF5\xB7\xC5"
     "3",
     0x20, 0, 100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // SizeByRatio3 按比率缩放3
    {111, 113, PF_Param_FLOAT_SLIDER,
     "\xB0\xB4\xB1\xC8\xC2\xCA\xBF\xED\xB8\xDF\xB1\xC8"
     "3",
     0x20, 0, 100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // AspectByRatio3 按比率宽高比3
    {112, 114, PF_Param_FLOAT_SLIDER,
     "\xB0\xB4\xB1\xC8\xC2\xCA\xD0\xFD\xD7\xAA"
     "3",
     0x20, 0, 100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // RotationByRatio3 按比率旋转3
    {113, 115, PF_Param_FLOAT_SLIDER,
     "\xB0\xB4\xB1\xC8\xC2\xCA\xCD\xB8\xC3\xF7\xB6\xC8"
     "3",
     0x20, 0, 100, 0, 10, 1, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // OpacityByRatio3 按比率透明度3
    {114, 117, PF_Param_FLOAT_SLIDER,
     "\xB4\xF3\xD0\xA1\xC6\xAB\xD2\xC6"
     "3",
     0x20, -100, 100, -100, 100, 0, 1, 0, 0, nullptr, 0, 0, 0, 0, 0},  // SizeOffset3 大小偏移3
    {115, 118, PF_Param_FLOAT_SLIDER,
     "\xBF\xED\xB8\xDF\xB1\xC8\xC6\xAB\xD2\xC6"
     "3",
     0x20, -100, 100, -100, 100, 0, 0, 1, 0, nullptr, 0, 0, 0, 0, 0},  // AspectOffset3 宽高比偏移3
    {116, 119, PF_Param_ANGLE,
     "\xD0\xFD\xD7\xAA\xC6\xAB\xD2\xC6"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // RotationOffset3 旋转偏移3
    {117, 120, PF_Param_FLOAT_SLIDER,
     "\xCD\xB8\xC3\xF7\xB6\xC8\xC6\xAB\xD2\xC6"
     "3",
     0x20, -100, 100, -100, 100, 0, 0, 1, 0, nullptr, 0, 0, 0, 0, 0},  // OpacityOffset3 透明度偏移3
    {118, 121, PF_Param_CHECKBOX,
     "\xD1\xD5\xC9\xAB"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // EffectorColor3 颜色3
    {119, 122, PF_Param_POPUP,
     "\xBB\xEC\xBA\xCF\xC4\xA3\xCA\xBD"
     "3",
     0x20, 0, 0, 0, 0, 1, 0, 0, 14,
     "\xD5\xFD\xB3\xA3  |(-|\xBC\xD3 |\xCF\xE0\xBC\xF5     |\xCF\xE0\xB3\xCB    |\xC6\xC1\xC4\xBB  "
     "|\xB5\xFE\xBC\xD3   |\xC7\xBF\xB9\xE2      |\xC8\xE1\xB9\xE2      |(-|\xB1\xE4\xB0\xB5  "
     "|\xB1\xE4\xC1\xC1   |\xB2\xEE\xD6\xB5      |\xC5\xC5\xB3\xFD",
     0, 0, 0, 0, 0},  // BlendMode3 混合模式3
    {120, 123, PF_Param_COLOR,
     "\xBB\xEC\xBA\xCF\xD1\xD5\xC9\xAB"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 255, 255, 255, 0, 0},  // BlendColor3 混合颜色3
    {121, 124, PF_Param_ANGLE,
     "\xC9\xAB\xCF\xE0\xC6\xAB\xD2\xC6"
     "3",
     0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0, 0},  // HueOffset3 色相偏移3
    {122, 96, PF_Param_GROUP_END, "", 0x20, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, 0, 0, 0, 0,
     0},  // EffectorEnd3
};

}  // namespace

namespace {

int ItemCount(const char *items)
{
    int count = 1;
    for (const char *p = items; *p; ++p) {
        count += *p == '|';
    }
    return count;
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
        err = params::DeclareParams(&host.in, &host.out);
    }
    FakeHost host;
    PF_Err err = PF_Err_NONE;
};

TEST_F(DeclaredTable, HostReceives122DefinitionsAnd123Parameters)
{
    EXPECT_EQ(err, PF_Err_NONE);
    EXPECT_EQ(host.added.size(), 122u);
    EXPECT_EQ(host.out.num_params, 123);
    EXPECT_EQ(params::ParamCount(), 123);
    ASSERT_EQ(sizeof kTable / sizeof kTable[0], 122u);
}

TEST_F(DeclaredTable, EveryDefinitionMatchesTheTable)
{
    ASSERT_EQ(host.added.size(), 122u);
    for (const Row &row : kTable) {
        SCOPED_TRACE("index " + std::to_string(row.index) + ", id " + std::to_string(row.id));
        const PF_ParamDef &def = host.added[static_cast<std::size_t>(row.index - 1)];
        EXPECT_EQ(def.param_type, row.type);
        EXPECT_EQ(def.uu.id, row.id);
        EXPECT_STREQ(def.name, row.name);
        EXPECT_EQ(def.flags, row.flags);
        EXPECT_EQ(def.ui_flags, 0);
        switch (row.type) {
            case PF_Param_POPUP:
                EXPECT_EQ(def.u.pd.num_choices, row.choices);
                EXPECT_EQ(def.u.pd.num_choices, ItemCount(row.items));
                EXPECT_EQ(def.u.pd.dephault, row.dephault);
                EXPECT_EQ(def.u.pd.value, row.dephault);
                ASSERT_NE(def.u.pd.u.namesptr, nullptr);
                EXPECT_STREQ(def.u.pd.u.namesptr, row.items);
                break;
            case PF_Param_FLOAT_SLIDER:
                EXPECT_EQ(def.u.fs_d.valid_min, static_cast<float>(row.validMin));
                EXPECT_EQ(def.u.fs_d.valid_max, static_cast<float>(row.validMax));
                EXPECT_EQ(def.u.fs_d.slider_min, static_cast<float>(row.sliderMin));
                EXPECT_EQ(def.u.fs_d.slider_max, static_cast<float>(row.sliderMax));
                EXPECT_EQ(def.u.fs_d.dephault, static_cast<float>(row.dephault));
                EXPECT_EQ(def.u.fs_d.value, row.dephault);
                EXPECT_EQ(def.u.fs_d.precision, row.precision);
                EXPECT_EQ(def.u.fs_d.display_flags, row.percent ? PF_ValueDisplayFlag_PERCENT : 0);
                EXPECT_EQ(def.u.fs_d.curve_tolerance, 0.05f);
                EXPECT_EQ(def.u.fs_d.fs_flags, 0u);  // no want-phase
                break;
            case PF_Param_SLIDER:
                EXPECT_EQ(def.u.sd.valid_min, row.validMin);
                EXPECT_EQ(def.u.sd.valid_max, row.validMax);
                EXPECT_EQ(def.u.sd.slider_min, row.sliderMin);
                EXPECT_EQ(def.u.sd.slider_max, row.sliderMax);
                EXPECT_EQ(def.u.sd.dephault, row.dephault);
                EXPECT_EQ(def.u.sd.value, row.dephault);
                EXPECT_STREQ(def.u.sd.value_str, "");
                EXPECT_STREQ(def.u.sd.value_desc, "");
                break;
            case PF_Param_ANGLE:
                EXPECT_EQ(def.u.ad.value, static_cast<A_long>(row.dephault * 65536));
                EXPECT_EQ(def.u.ad.dephault, static_cast<A_long>(row.dephault * 65536));
                break;
            case PF_Param_CHECKBOX:
                EXPECT_EQ(def.u.bd.value, row.dephault);
                EXPECT_EQ(def.u.bd.dephault, row.dephault);
                ASSERT_NE(def.u.bd.u.nameptr, nullptr);
                EXPECT_STREQ(def.u.bd.u.nameptr, "");
                break;
            case PF_Param_COLOR:
                EXPECT_EQ(def.u.cd.value.alpha, 255);
                EXPECT_EQ(def.u.cd.value.red, row.red);
                EXPECT_EQ(def.u.cd.value.green, row.green);
                EXPECT_EQ(def.u.cd.value.blue, row.blue);
                EXPECT_EQ(std::memcmp(&def.u.cd.dephault, &def.u.cd.value, sizeof(PF_Pixel)), 0);
                break;
            case PF_Param_POINT:
                EXPECT_EQ(def.u.td.x_dephault, row.xPercent * 65536);
                EXPECT_EQ(def.u.td.y_dephault, row.yPercent * 65536);
                EXPECT_EQ(def.u.td.x_value, row.xPercent * 65536);
                EXPECT_EQ(def.u.td.y_value, row.yPercent * 65536);
                EXPECT_EQ(def.u.td.restrict_bounds, 0);
                break;
            case PF_Param_LAYER:
                EXPECT_EQ(def.u.ld.dephault, row.dephault);
                break;
            default:
                break;
        }
    }
}

TEST_F(DeclaredTable, FindParamIndexMapsEveryIdToItsHostIndex)
{
    for (const Row &row : kTable) {
        EXPECT_EQ(params::FindParamIndex(static_cast<A_u_long>(row.id)), row.index)
            << "id " << row.id;
    }
    EXPECT_EQ(params::FindParamIndex(136), 39);
    EXPECT_EQ(params::FindParamIndex(96), 122);
}

TEST_F(DeclaredTable, FindParamIndexOfAnUnknownIdIsTheInputLayer)
{
    // Ids that belong to no parameter, below, inside and above the range.
    for (A_u_long id : {0u, 28u, 31u, 38u, 56u, 116u, 142u, 100000u}) {
        EXPECT_EQ(params::FindParamIndex(id), 0) << "id " << id;
    }
}

TEST_F(DeclaredTable, EveryGroupEndCarriesItsStartIdPlusOne)
{
    int open = -1;
    int groups = 0;
    for (const Row &row : kTable) {
        if (row.type == PF_Param_GROUP_START) {
            EXPECT_EQ(open, -1) << "groups do not nest";
            open = row.id;
        } else if (row.type == PF_Param_GROUP_END) {
            EXPECT_EQ(row.id, open + 1);
            const PF_ParamDef &def = host.added[static_cast<std::size_t>(row.index - 1)];
            EXPECT_EQ(def.uu.id, open + 1);
            open = -1;
            ++groups;
        }
    }
    EXPECT_EQ(groups, 4);
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

// A new instance, no defaults file: circle, orange dots of size 10 spaced 20
// apart at full opacity, every effector off with a radial map of size 200
// that extends its edges.
TEST_F(DeclaredTable, FactoryDefaultsReachTheRenderRecord)
{
    host.AdoptDeclared();
    params::GetParamByCheckout reader(&host.in, nullptr, true);
    RenderRecord record;
    std::memset(&record, 0, sizeof record);
    ASSERT_EQ(params::ReadAllValues(&record, reader), PF_Err_NONE);
    EXPECT_EQ(params::CheckinAllValues(reader), PF_Err_NONE);
    EXPECT_TRUE(host.Balanced());

    EXPECT_EQ(record.DotShape, 1);
    EXPECT_EQ(record.DotColor.alpha, 255);
    EXPECT_EQ(record.DotColor.red, 255);
    EXPECT_EQ(record.DotColor.green, 125);
    EXPECT_EQ(record.DotColor.blue, 20);
    EXPECT_EQ(record.DotSize, 10.0);
    EXPECT_EQ(record.DotSpacingX, 20.0);
    EXPECT_EQ(record.DotSpacingY, 20.0);
    EXPECT_EQ(record.DotOpacity, 100.0);
    EXPECT_EQ(record.SpacingType, 1);
    EXPECT_EQ(record.MaskMode, 1);
    for (const EffectorSettings &e : record.Effectors) {
        EXPECT_EQ(e.enable, 0);
        EXPECT_EQ(e.mapType, 3);
        EXPECT_EQ(e.size, 200.0);
        EXPECT_EQ(e.falloff, 100.0);
        EXPECT_EQ(e.tile, 4);
        EXPECT_EQ(e.blendMode, 1);
        EXPECT_EQ(e.independentSize, 20.0);
        EXPECT_EQ(e.independentOpacity, 100.0);
        EXPECT_EQ(e.sizeByRatio, 1.0);
        EXPECT_EQ(e.aspectByRatio, 1.0);
        EXPECT_EQ(e.blendColor.red, 255);
        EXPECT_EQ(e.blendColor.green, 255);
        EXPECT_EQ(e.blendColor.blue, 255);
    }
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

TEST_F(DistinctValues, MainAndRandomiseValuesLandInTheirFields)
{
    EXPECT_EQ(r.DotShape, Int(1));
    EXPECT_EQ(r.DotColor.red, 2);
    EXPECT_EQ(r.DotColor.green, 3);
    EXPECT_EQ(r.DotColor.blue, 4);
    EXPECT_EQ(r.DotSize, Real(3));
    EXPECT_EQ(r.DotAspect, Real(4));
    EXPECT_EQ(r.DotRotation, Fixed(5));
    EXPECT_EQ(r.RotationType, Int(6));
    EXPECT_EQ(r.DotOpacity, Real(7));
    EXPECT_EQ(r.SpacingType, Int(8));
    EXPECT_EQ(r.DotSpacingX, Real(9));
    EXPECT_EQ(r.DotSpacingY, Real(10));
    EXPECT_EQ(r.CenterPosition.x, Fixed(11));
    EXPECT_EQ(r.CenterPosition.y, Fixed(12));
    EXPECT_EQ(r.CenterDotToFront, Flag(125));
    EXPECT_EQ(r.GlobalRotation, Fixed(12));
    EXPECT_EQ(r.GlobalRotationCenter, Int(13));
    EXPECT_EQ(r.MaskMode, Int(14));
    EXPECT_EQ(r.MaskLayer, nullptr);  // this reader skips layers
    EXPECT_EQ(r.InvertMask, Flag(16));
    EXPECT_EQ(r.ClearBackground, Flag(17));
    EXPECT_EQ(r.RandomInterval, Int(20));
    EXPECT_EQ(r.RandomCycle, Int(132));
    EXPECT_EQ(r.RandomSeed, Int(21));
    EXPECT_EQ(r.RandomSize, Real(22));
    EXPECT_EQ(r.RandomAspect, Real(23));
    EXPECT_EQ(r.RandomRotation, Real(24));
    EXPECT_EQ(r.RandomOpacity, Real(25));
    EXPECT_EQ(r.RandomSpacingX, Real(26));
    EXPECT_EQ(r.RandomSpacingY, Real(27));
    EXPECT_EQ(r.RandomHue, Fixed(32));
    EXPECT_EQ(r.RandomSaturation, Real(33));
    EXPECT_EQ(r.RandomValue, Real(34));
}

TEST_F(DistinctValues, EachEffectorsValuesLandInItsOwnBlock)
{
    // Ids of effector 1; effector 2 adds 30 (60 for effector 3) to the older
    // ids and 1 (2) to those from 126 up.
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE("effector " + std::to_string(k + 1));
        const EffectorSettings &e = r.Effectors[k];
        const A_long s = 30 * k;
        EXPECT_EQ(e.enable, Flag(37 + s));
        EXPECT_EQ(e.mapType, Int(136 + k));
        EXPECT_EQ(e.angle, Fixed(40 + s));
        EXPECT_EQ(e.position.x, Fixed(41 + s));
        EXPECT_EQ(e.position.y, Fixed(42 + s));
        EXPECT_EQ(e.centerDotToFront, Flag(126 + k));
        EXPECT_EQ(e.size, Real(42 + s));
        EXPECT_EQ(e.falloff, Real(43 + s));
        EXPECT_EQ(e.mapLayer, nullptr);
        EXPECT_EQ(e.fitToLayer, Flag(139 + k));
        EXPECT_EQ(e.pickSourceColor, Flag(129 + k));
        EXPECT_EQ(e.tile, Int(133 + k));
        EXPECT_EQ(e.absolute, Flag(46 + s));
        EXPECT_EQ(e.independentSize, Real(47 + s));
        EXPECT_EQ(e.independentAspect, Real(48 + s));
        EXPECT_EQ(e.independentRotation, Fixed(49 + s));
        EXPECT_EQ(e.independentOpacity, Real(50 + s));
        EXPECT_EQ(e.sizeByRatio, Real(52 + s));
        EXPECT_EQ(e.aspectByRatio, Real(53 + s));
        EXPECT_EQ(e.rotationByRatio, Real(54 + s));
        EXPECT_EQ(e.opacityByRatio, Real(55 + s));
        EXPECT_EQ(e.sizeOffset, Real(57 + s));
        EXPECT_EQ(e.aspectOffset, Real(58 + s));
        EXPECT_EQ(e.rotationOffset, Fixed(59 + s));
        EXPECT_EQ(e.opacityOffset, Real(60 + s));
        EXPECT_EQ(e.colorize, Flag(61 + s));
        EXPECT_EQ(e.blendMode, Int(62 + s));
        EXPECT_EQ(e.blendColor.red, static_cast<A_u_char>(63 + s));
        EXPECT_EQ(e.blendColor.blue, static_cast<A_u_char>(65 + s));
        EXPECT_EQ(e.hueOffset, Fixed(64 + s));
    }
}

}  // namespace
