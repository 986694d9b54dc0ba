// The per-frame record: every parameter value the render needs, followed by
// the frame's host pointers. The parameter builders copy each value to the
// offset of its field, so the field order and widths here are the builders'
// contract (and the layout of the pre-render handle the host keeps).
#pragma once

#include "AEUtil/AESdk.h"

// A point parameter's value as the host delivers it: 16.16 fixed, layer pixels.
struct FixedPoint {
    PF_Fixed x;
    PF_Fixed y;
};

// The parameter fields of one effector, in record order.
struct EffectorSettings {
    A_u_char enable;               // EnableEffectorN
    A_long mapType;                // EffectMapN, popup 1..6
    PF_Fixed angle;                // EffectorAngleN, degrees 16.16
    FixedPoint position;           // EffectorPositionN
    A_u_char centerDotToFront;     // EffectorCenterDotToFrontN
    double size;                   // EffectorSizeN, pixels
    double falloff;                // EffectorFalloffN, percent
    PF_LayerDef *mapLayer;         // CustomMapLayerN, null when absent
    A_u_char fitToLayer;           // FitToLayerN
    A_u_char pickSourceColor;      // PickSourceColorN
    A_long tile;                   // TileN, popup 1..4
    A_u_char absolute;             // AbsoluteN
    double independentSize;        // IndependentSizeN, pixels
    double independentAspect;      // IndependentAspectN, percent
    PF_Fixed independentRotation;  // IndependentRotationN, degrees 16.16
    double independentOpacity;     // IndependentOpacityN, percent
    double sizeByRatio;            // SizeByRatioN
    double aspectByRatio;          // AspectByRatioN
    double rotationByRatio;        // RotationByRatioN
    double opacityByRatio;         // OpacityByRatioN
    double sizeOffset;             // SizeOffsetN, pixels
    double aspectOffset;           // AspectOffsetN, percent
    PF_Fixed rotationOffset;       // RotationOffsetN, degrees 16.16
    double opacityOffset;          // OpacityOffsetN, percent
    A_u_char colorize;             // EffectorColorN
    A_long blendMode;              // BlendModeN, popup 1..14
    PF_Pixel blendColor;           // BlendColorN
    PF_Fixed hueOffset;            // HueOffsetN, degrees 16.16
};

struct RenderRecord {
    // Main parameters.
    A_long DotShape;  // popup 1..6
    PF_Pixel DotColor;
    double DotSize;        // pixels
    double DotAspect;      // percent
    PF_Fixed DotRotation;  // degrees 16.16
    A_long RotationType;   // popup 1..3
    double DotOpacity;     // percent
    A_long SpacingType;    // popup 1..2
    double DotSpacingX;    // pixels
    double DotSpacingY;    // pixels
    FixedPoint CenterPosition;
    A_u_char CenterDotToFront;
    PF_Fixed GlobalRotation;      // degrees 16.16
    A_long GlobalRotationCenter;  // popup 1..4
    A_long MaskMode;              // popup 1..3
    PF_LayerDef *MaskLayer;
    A_u_char InvertMask;
    A_u_char ClearBackground;

    // Randomise group.
    A_long RandomInterval;
    A_long RandomCycle;
    A_long RandomSeed;
    double RandomSize;
    double RandomAspect;
    double RandomRotation;
    double RandomOpacity;
    double RandomSpacingX;
    double RandomSpacingY;
    PF_Fixed RandomHue;       // degrees 16.16
    double RandomSaturation;  // percent
    double RandomValue;       // percent

    // Effectors 1, 2, 3.
    EffectorSettings Effectors[3];

    // Frame part.
    PF_InData *in_data;
    PF_OutData *out_data;
    PF_EffectWorld *input;
    PF_EffectWorld *output;
    PF_PixelFormat pixelFormat;  // PF_PixelFormat_INVALID until known
    A_u_char smart;              // 1 from smart pre-render, 0 from legacy RENDER
};
