// Parameter ids: each parameter's identity in saved projects (the host's
// uu.id). They are not in host order and have gaps; they must never change.
// Code addresses a parameter by its id through FindParamIndex, never by a
// fixed host index.
#pragma once

#include "AEUtil/AESdk.h"

namespace params {
namespace id {

enum : A_long {
    DotShape = 1,
    DotColor = 2,
    DotSize = 3,
    DotAspect = 4,
    DotRotation = 5,
    RotationType = 6,
    DotOpacity = 7,
    SpacingType = 8,
    DotSpacingX = 9,
    DotSpacingY = 10,
    CenterPosition = 11,
    CenterDotToFront = 125,
    GlobalRotation = 12,
    GlobalRotationCenter = 13,
    MaskMode = 14,
    MaskLayer = 15,
    InvertMask = 16,
    ClearBackground = 17,

    // The randomise group.
    RandomTopic = 18,
    RandomTopicEnd = 19,
    RandomInterval = 20,
    RandomCycle = 132,
    RandomSeed = 21,
    RandomSize = 22,
    RandomAspect = 23,
    RandomRotation = 24,
    RandomOpacity = 25,
    RandomSpacingX = 26,
    RandomSpacingY = 27,
    RandomHue = 32,
    RandomSaturation = 33,
    RandomValue = 34,

    // The effectors. The older ids step by 30 from one effector to the next;
    // those from 126 up were added later and count one per effector.
    // Effector 1.
    Effector1 = 35,
    EffectorEnd1 = 36,
    EnableEffector1 = 37,
    EffectorPosition1 = 41,
    EffectorSize1 = 42,
    EffectorAngle1 = 40,
    EffectorFalloff1 = 43,
    EffectMap1 = 136,
    CustomMapLayer1 = 45,
    FitToLayer1 = 139,
    PickSourceColor1 = 129,
    Tile1 = 133,
    EffectorCenterDotToFront1 = 126,
    Absolute1 = 46,
    IndependentSize1 = 47,
    IndependentAspect1 = 48,
    IndependentRotation1 = 49,
    IndependentOpacity1 = 50,
    SizeByRatio1 = 52,
    AspectByRatio1 = 53,
    RotationByRatio1 = 54,
    OpacityByRatio1 = 55,
    SizeOffset1 = 57,
    AspectOffset1 = 58,
    RotationOffset1 = 59,
    OpacityOffset1 = 60,
    EffectorColor1 = 61,
    BlendMode1 = 62,
    BlendColor1 = 63,
    HueOffset1 = 64,
    // Effector 2.
    Effector2 = 65,
    EffectorEnd2 = 66,
    EnableEffector2 = 67,
    EffectorPosition2 = 71,
    EffectorSize2 = 72,
    EffectorAngle2 = 70,
    EffectorFalloff2 = 73,
    EffectMap2 = 137,
    CustomMapLayer2 = 75,
    FitToLayer2 = 140,
    PickSourceColor2 = 130,
    Tile2 = 134,
    EffectorCenterDotToFront2 = 127,
    Absolute2 = 76,
    IndependentSize2 = 77,
    IndependentAspect2 = 78,
    IndependentRotation2 = 79,
    IndependentOpacity2 = 80,
    SizeByRatio2 = 82,
    AspectByRatio2 = 83,
    RotationByRatio2 = 84,
    OpacityByRatio2 = 85,
    SizeOffset2 = 87,
    AspectOffset2 = 88,
    RotationOffset2 = 89,
    OpacityOffset2 = 90,
    EffectorColor2 = 91,
    BlendMode2 = 92,
    BlendColor2 = 93,
    HueOffset2 = 94,
    // Effector 3.
    Effector3 = 95,
    EffectorEnd3 = 96,
    EnableEffector3 = 97,
    EffectorPosition3 = 101,
    EffectorSize3 = 102,
    EffectorAngle3 = 100,
    EffectorFalloff3 = 103,
    EffectMap3 = 138,
    CustomMapLayer3 = 105,
    FitToLayer3 = 141,
    PickSourceColor3 = 131,
    Tile3 = 135,
    EffectorCenterDotToFront3 = 128,
    Absolute3 = 106,
    IndependentSize3 = 107,
    IndependentAspect3 = 108,
    IndependentRotation3 = 109,
    IndependentOpacity3 = 110,
    SizeByRatio3 = 112,
    AspectByRatio3 = 113,
    RotationByRatio3 = 114,
    OpacityByRatio3 = 115,
    SizeOffset3 = 117,
    AspectOffset3 = 118,
    RotationOffset3 = 119,
    OpacityOffset3 = 120,
    EffectorColor3 = 121,
    BlendMode3 = 122,
    BlendColor3 = 123,
    HueOffset3 = 124,
};

}  // namespace id

constexpr int kEffectorCount = 3;

// The ids of one effector's parameters, for code that treats the three alike.
struct EffectorParamIds {
    A_long Effector;
    A_long EffectorEnd;
    A_long EnableEffector;
    A_long EffectorPosition;
    A_long EffectorSize;
    A_long EffectorAngle;
    A_long EffectorFalloff;
    A_long EffectMap;
    A_long CustomMapLayer;
    A_long FitToLayer;
    A_long PickSourceColor;
    A_long Tile;
    A_long EffectorCenterDotToFront;
    A_long Absolute;
    A_long IndependentSize;
    A_long IndependentAspect;
    A_long IndependentRotation;
    A_long IndependentOpacity;
    A_long SizeByRatio;
    A_long AspectByRatio;
    A_long RotationByRatio;
    A_long OpacityByRatio;
    A_long SizeOffset;
    A_long AspectOffset;
    A_long RotationOffset;
    A_long OpacityOffset;
    A_long EffectorColor;
    A_long BlendMode;
    A_long BlendColor;
    A_long HueOffset;
};

// Effectors 1 to 3 in turn.
constexpr EffectorParamIds kEffectorIds[kEffectorCount] = {
    {
        id::Effector1,
        id::EffectorEnd1,
        id::EnableEffector1,
        id::EffectorPosition1,
        id::EffectorSize1,
        id::EffectorAngle1,
        id::EffectorFalloff1,
        id::EffectMap1,
        id::CustomMapLayer1,
        id::FitToLayer1,
        id::PickSourceColor1,
        id::Tile1,
        id::EffectorCenterDotToFront1,
        id::Absolute1,
        id::IndependentSize1,
        id::IndependentAspect1,
        id::IndependentRotation1,
        id::IndependentOpacity1,
        id::SizeByRatio1,
        id::AspectByRatio1,
        id::RotationByRatio1,
        id::OpacityByRatio1,
        id::SizeOffset1,
        id::AspectOffset1,
        id::RotationOffset1,
        id::OpacityOffset1,
        id::EffectorColor1,
        id::BlendMode1,
        id::BlendColor1,
        id::HueOffset1,
    },
    {
        id::Effector2,
        id::EffectorEnd2,
        id::EnableEffector2,
        id::EffectorPosition2,
        id::EffectorSize2,
        id::EffectorAngle2,
        id::EffectorFalloff2,
        id::EffectMap2,
        id::CustomMapLayer2,
        id::FitToLayer2,
        id::PickSourceColor2,
        id::Tile2,
        id::EffectorCenterDotToFront2,
        id::Absolute2,
        id::IndependentSize2,
        id::IndependentAspect2,
        id::IndependentRotation2,
        id::IndependentOpacity2,
        id::SizeByRatio2,
        id::AspectByRatio2,
        id::RotationByRatio2,
        id::OpacityByRatio2,
        id::SizeOffset2,
        id::AspectOffset2,
        id::RotationOffset2,
        id::OpacityOffset2,
        id::EffectorColor2,
        id::BlendMode2,
        id::BlendColor2,
        id::HueOffset2,
    },
    {
        id::Effector3,
        id::EffectorEnd3,
        id::EnableEffector3,
        id::EffectorPosition3,
        id::EffectorSize3,
        id::EffectorAngle3,
        id::EffectorFalloff3,
        id::EffectMap3,
        id::CustomMapLayer3,
        id::FitToLayer3,
        id::PickSourceColor3,
        id::Tile3,
        id::EffectorCenterDotToFront3,
        id::Absolute3,
        id::IndependentSize3,
        id::IndependentAspect3,
        id::IndependentRotation3,
        id::IndependentOpacity3,
        id::SizeByRatio3,
        id::AspectByRatio3,
        id::RotationByRatio3,
        id::OpacityByRatio3,
        id::SizeOffset3,
        id::AspectOffset3,
        id::RotationOffset3,
        id::OpacityOffset3,
        id::EffectorColor3,
        id::BlendMode3,
        id::BlendColor3,
        id::HueOffset3,
    },
};

// Effector n, 1 to 3.
constexpr const EffectorParamIds &EffectorIds(int n)
{
    return kEffectorIds[n - 1];
}

}  // namespace params
