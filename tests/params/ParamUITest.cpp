// The controls' enabled states (UPDATE_PARAMS_UI) and the spacing conversion
// (USER_CHANGED_PARAM), against the enable and conversion rules. Host indices are
// those of the parameter table.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

#include "FakeHost.h"
#include "params/ParamUI.h"
#include "params/Params.h"

namespace {

using paramtest::FakeHost;

constexpr A_long kDotSize = 3;
constexpr A_long kSpacingType = 8;
constexpr A_long kSpacingX = 9;
constexpr A_long kSpacingY = 10;
constexpr A_long kMaskMode = 15;
constexpr A_long kMaskLayer = 16;
constexpr A_long kInvertMask = 17;

// Effector n's controls: effector 1's index plus 30 per effector.
struct Effector {
    A_long base;
    A_long At(A_long index1) const { return index1 + base; }
    A_long Enable() const { return At(34); }
    A_long Position() const { return At(35); }
    A_long Size() const { return At(36); }
    A_long Angle() const { return At(37); }
    A_long Falloff() const { return At(38); }
    A_long Map() const { return At(39); }
    A_long MapLayer() const { return At(40); }
    A_long Fit() const { return At(41); }
    A_long PickColor() const { return At(42); }
    A_long Tile() const { return At(43); }
    A_long CenterDot() const { return At(44); }
    A_long Absolute() const { return At(45); }
    A_long Colorize() const { return At(58); }
    A_long BlendMode() const { return At(59); }
    A_long BlendColor() const { return At(60); }
};
Effector E(int n)
{
    return Effector{30 * (n - 1)};
}

int CallsFor(const std::vector<std::pair<A_long, PF_ParamDef>> &updates, A_long index)
{
    return static_cast<int>(std::count_if(updates.begin(), updates.end(),
                                          [index](const auto &u) { return u.first == index; }));
}

class ParamUI : public ::testing::Test {
protected:
    void SetUp() override
    {
        paramtest::EnsureParamTable();
        ASSERT_EQ(params::DeclareParams(&host.in, &host.out), PF_Err_NONE);
        host.AdoptDeclared();
        host.UseSequenceData();
        array = host.ParamArray();
    }

    void Update()
    {
        host.uiUpdates.clear();
        ASSERT_EQ(params::UpdateParamsUI(&host.in, array.data()), PF_Err_NONE);
    }
    // The state the last update gave the control; fails if none was given.
    bool Enabled(A_long index) const
    {
        for (auto it = host.uiUpdates.rbegin(); it != host.uiUpdates.rend(); ++it) {
            if (it->first == index) {
                return (it->second.ui_flags & PF_PUI_DISABLED) == 0;
            }
        }
        ADD_FAILURE() << "no state given to index " << index;
        return false;
    }
    void SetPopup(A_long index, A_long value) { host.current[index].u.pd.value = value; }
    void SetCheck(A_long index, bool on) { host.current[index].u.bd.value = on ? 1 : 0; }

    FakeHost host;
    std::vector<PF_ParamDef *> array;
};

TEST_F(ParamUI, EffectorOffDisablesAll27OfItsControls)
{
    SetPopup(E(2).Map(), 1);  // the map type does not matter while off
    Update();
    for (int n = 1; n <= 3; ++n) {
        for (A_long index = E(n).At(35); index <= E(n).At(61); ++index) {
            EXPECT_FALSE(Enabled(index)) << "effector " << n << ", index " << index;
        }
        EXPECT_EQ(CallsFor(host.uiUpdates, E(n).Enable()), 0);
    }
    // Two mask rules and 27 per effector: every rule, every time.
    EXPECT_EQ(host.uiUpdates.size(), 2u + 3 * 27);
}

TEST_F(ParamUI, EffectorOnWithRadialMap)
{
    SetCheck(E(1).Enable(), true);
    Update();
    const Effector e = E(1);
    EXPECT_FALSE(Enabled(e.Angle()));
    EXPECT_FALSE(Enabled(e.MapLayer()));
    EXPECT_FALSE(Enabled(e.Tile()));
    EXPECT_FALSE(Enabled(e.Fit()));
    EXPECT_FALSE(Enabled(e.PickColor()));
    EXPECT_TRUE(Enabled(e.Size()));
    EXPECT_TRUE(Enabled(e.Falloff()));
    EXPECT_TRUE(Enabled(e.Position()));
    EXPECT_TRUE(Enabled(e.Map()));
    EXPECT_TRUE(Enabled(e.CenterDot()));
    EXPECT_TRUE(Enabled(e.Absolute()));
    EXPECT_TRUE(Enabled(e.Colorize()));
    for (A_long index1 : {50, 51, 52, 53, 54, 55, 56, 57, 61}) {  // ratios, offsets, hue
        EXPECT_TRUE(Enabled(e.At(index1))) << index1;
    }
    // Absolute and colour are off.
    for (A_long index1 : {46, 47, 48, 49}) {
        EXPECT_FALSE(Enabled(e.At(index1))) << index1;
    }
    EXPECT_FALSE(Enabled(e.BlendMode()));
    EXPECT_FALSE(Enabled(e.BlendColor()));
    // 2 mask rules, 27 + 14 for the switched-on effector, 27 for each other.
    EXPECT_EQ(host.uiUpdates.size(), 2u + 27 + 14 + 27 + 27);
    // The others stay off.
    EXPECT_FALSE(Enabled(E(2).Size()));
}

TEST_F(ParamUI, CustomMapFittedToTheLayerHasNoAngleOrPosition)
{
    const Effector e = E(3);
    SetCheck(e.Enable(), true);
    SetPopup(e.Map(), 1);
    SetCheck(e.Fit(), true);
    Update();
    EXPECT_FALSE(Enabled(e.Angle()));
    EXPECT_FALSE(Enabled(e.Position()));
    EXPECT_FALSE(Enabled(e.Size()));
    EXPECT_FALSE(Enabled(e.Falloff()));
    EXPECT_TRUE(Enabled(e.MapLayer()));
    EXPECT_TRUE(Enabled(e.Tile()));
    EXPECT_TRUE(Enabled(e.Fit()));
    EXPECT_TRUE(Enabled(e.PickColor()));

    SetCheck(e.Fit(), false);
    Update();
    EXPECT_TRUE(Enabled(e.Angle()));
    EXPECT_TRUE(Enabled(e.Position()));
}

TEST_F(ParamUI, LinearMapsHaveAnAngle)
{
    const Effector e = E(2);
    SetCheck(e.Enable(), true);
    for (A_long map : {5, 6}) {
        SetPopup(e.Map(), map);
        Update();
        EXPECT_TRUE(Enabled(e.Angle())) << map;
        EXPECT_TRUE(Enabled(e.Position())) << map;
        EXPECT_FALSE(Enabled(e.MapLayer())) << map;
    }
    SetPopup(e.Map(), 4);  // radial symmetric
    Update();
    EXPECT_FALSE(Enabled(e.Angle()));
}

TEST_F(ParamUI, AbsoluteAndColourEnableTheirControls)
{
    const Effector e = E(1);
    SetCheck(e.Enable(), true);
    SetCheck(e.Absolute(), true);
    SetCheck(e.Colorize(), true);
    Update();
    for (A_long index1 : {46, 47, 48, 49}) {
        EXPECT_TRUE(Enabled(e.At(index1))) << index1;
    }
    EXPECT_TRUE(Enabled(e.BlendMode()));
    EXPECT_TRUE(Enabled(e.BlendColor()));
}

TEST_F(ParamUI, MaskModes)
{
    SetPopup(kMaskMode, 2);  // none
    Update();
    EXPECT_FALSE(Enabled(kMaskLayer));
    EXPECT_FALSE(Enabled(kInvertMask));

    SetPopup(kMaskMode, 1);  // normal
    Update();
    EXPECT_FALSE(Enabled(kMaskLayer));
    EXPECT_TRUE(Enabled(kInvertMask));

    SetPopup(kMaskMode, 3);  // layer
    Update();
    EXPECT_TRUE(Enabled(kMaskLayer));
    EXPECT_TRUE(Enabled(kInvertMask));
}

TEST_F(ParamUI, StateChangeKeepsTheRestOfTheDefinition)
{
    host.current[kMaskLayer].ui_flags = PF_PUI_DISABLED | PF_PUI_STD_CONTROL_ONLY;
    host.current[kInvertMask].ui_flags = PF_PUI_STD_CONTROL_ONLY;
    SetPopup(kMaskMode, 2);
    Update();
    for (const auto &u : host.uiUpdates) {
        if (u.first == kMaskLayer || u.first == kInvertMask) {
            EXPECT_EQ(u.second.ui_flags, PF_PUI_DISABLED | PF_PUI_STD_CONTROL_ONLY);
            EXPECT_STREQ(u.second.name, host.current[u.first].name);
            EXPECT_EQ(u.second.param_type, host.current[u.first].param_type);
        }
    }
    SetPopup(kMaskMode, 3);
    Update();
    EXPECT_TRUE(Enabled(kMaskLayer));
    // The host's own definition is not touched; the copy carries the state.
    EXPECT_EQ(host.current[kMaskLayer].ui_flags, PF_PUI_DISABLED | PF_PUI_STD_CONTROL_ONLY);
}

struct VersionCase {
    A_short major;
    A_short minor;
    const char *suite;
};

class ParamUtilsVersion : public ParamUI, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(ParamUtilsVersion, FollowsTheHostsApiVersion)
{
    host.in.version.major = GetParam().major;
    host.in.version.minor = GetParam().minor;
    Update();
    ASSERT_FALSE(host.acquired.empty());
    EXPECT_EQ(host.acquired.front(), GetParam().suite);
    EXPECT_TRUE(host.Balanced());
}

INSTANTIATE_TEST_SUITE_P(ApiVersions, ParamUtilsVersion,
                         ::testing::Values(VersionCase{11, 9, "PF Param Utils Suite/2"},
                                           VersionCase{12, 14, "PF Param Utils Suite/2"},
                                           VersionCase{12, 15, "PF Param Utils Suite/3"},
                                           VersionCase{13, 0, "PF Param Utils Suite/2"},
                                           VersionCase{13, 1, "PF Param Utils Suite/2"},
                                           VersionCase{13, 2, "PF Param Utils Suite/3"},
                                           VersionCase{13, 28, "PF Param Utils Suite/3"},
                                           VersionCase{14, 0, "PF Param Utils Suite/3"}));

TEST_F(ParamUI, MissingParamUtilsSuiteRaises516)
{
    host.offerParamUtils = false;
    try {
        params::UpdateParamsUI(&host.in, array.data());
        ADD_FAILURE() << "no exception";
    } catch (PF_Err err) {
        EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    }
    EXPECT_TRUE(host.uiUpdates.empty());
}

// ---------------------------------------------------------------- spacing

class Spacing : public ParamUI {
protected:
    void SetUp() override
    {
        ParamUI::SetUp();
        host.current[kDotSize].u.fs_d.value = 30.0;
        host.current[kSpacingX].u.fs_d.value = 20.0;
        host.current[kSpacingY].u.fs_d.value = 20.0;
    }
    // The user picks a spacing type; the host sends USER_CHANGED_PARAM with
    // fresh change flags.
    void Switch(A_long type)
    {
        SetPopup(kSpacingType, type);
        for (PF_ParamDef &def : host.current) {
            def.uu.change_flags = PF_ChangeFlag_NONE;
        }
        PF_UserChangedParamExtra extra{kSpacingType};
        ASSERT_EQ(params::UserChangedParam(&host.in, array.data(), &extra), PF_Err_NONE);
    }
    double X() const { return host.current[kSpacingX].u.fs_d.value; }
    double Y() const { return host.current[kSpacingY].u.fs_d.value; }
};

TEST_F(Spacing, UpdateRecordsTheSpacingTypeOnce)
{
    SetPopup(kSpacingType, 2);
    Update();
    EXPECT_EQ(host.sequence.spacingRecorded, 1);
    EXPECT_EQ(host.sequence.recordedSpacingType, 2);
    SetPopup(kSpacingType, 1);
    Update();
    EXPECT_EQ(host.sequence.recordedSpacingType, 2);
    EXPECT_EQ(host.locks, 2);
    EXPECT_TRUE(host.Balanced());
}

TEST_F(Spacing, CentreToTwoPointsAndBack)
{
    SetPopup(kSpacingType, 2);
    Update();

    Switch(1);  // 20 - 30 would be -10: no gap is left
    EXPECT_EQ(X(), 0.0);
    EXPECT_EQ(Y(), 0.0);
    EXPECT_EQ(host.current[kSpacingX].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
    EXPECT_EQ(host.current[kSpacingY].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
    EXPECT_EQ(host.sequence.recordedSpacingType, 1);

    Switch(2);
    EXPECT_EQ(X(), 30.0);
    EXPECT_EQ(Y(), 30.0);
    EXPECT_EQ(host.sequence.recordedSpacingType, 2);

    EXPECT_NE(std::find(host.acquired.begin(), host.acquired.end(), "PF Handle Suite/2"),
              host.acquired.end());
    EXPECT_TRUE(host.Balanced());
}

TEST_F(Spacing, TwoPointsToCentreAddsTheDotSize)
{
    host.current[kSpacingY].u.fs_d.value = 5.5;
    SetPopup(kSpacingType, 1);
    Update();
    Switch(2);
    EXPECT_EQ(X(), 50.0);
    EXPECT_EQ(Y(), 35.5);
}

TEST_F(Spacing, NothingIsConvertedBeforeAnUpdateRecordedAType)
{
    Switch(2);
    EXPECT_EQ(X(), 20.0);
    EXPECT_EQ(Y(), 20.0);
    EXPECT_EQ(host.current[kSpacingX].uu.change_flags, PF_ChangeFlag_NONE);
    EXPECT_EQ(host.sequence.spacingRecorded, 0);
    EXPECT_TRUE(host.Balanced());
}

TEST_F(Spacing, FlattenedSequenceDataIsLeftAlone)
{
    host.sequence.flat = 1;
    SetPopup(kSpacingType, 2);
    Update();
    EXPECT_EQ(host.sequence.spacingRecorded, 0);

    host.sequence.spacingRecorded = 1;
    host.sequence.recordedSpacingType = 2;
    Switch(1);
    EXPECT_EQ(X(), 20.0);
    EXPECT_EQ(host.sequence.recordedSpacingType, 2);
    EXPECT_TRUE(host.Balanced());
}

TEST_F(Spacing, SameTypeOrAnotherParameterConvertsNothing)
{
    SetPopup(kSpacingType, 2);
    Update();
    Switch(2);
    EXPECT_EQ(X(), 20.0);

    SetPopup(kSpacingType, 1);
    PF_UserChangedParamExtra other{kDotSize};
    EXPECT_EQ(params::UserChangedParam(&host.in, array.data(), &other), PF_Err_NONE);
    EXPECT_EQ(X(), 20.0);
    EXPECT_EQ(host.sequence.recordedSpacingType, 2);
}

TEST_F(Spacing, FailedLockChangesNothing)
{
    SetPopup(kSpacingType, 2);
    Update();
    host.lockFails = true;
    Switch(1);
    EXPECT_EQ(X(), 20.0);
    EXPECT_TRUE(host.Balanced());
}

TEST_F(Spacing, MissingHandleSuiteOrBasicSuiteRaises516)
{
    SetPopup(kSpacingType, 2);
    Update();
    PF_UserChangedParamExtra extra{kSpacingType};
    host.offerHandleSuite = false;
    EXPECT_THROW(params::UserChangedParam(&host.in, array.data(), &extra), PF_Err);
    host.in.pica_basicP = nullptr;
    try {
        params::UserChangedParam(&host.in, array.data(), &extra);
        ADD_FAILURE() << "no exception";
    } catch (PF_Err err) {
        EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    }
    EXPECT_EQ(X(), 20.0);
}

}  // namespace
