// The controls' enabled states (UPDATE_PARAMS_UI) and the spacing conversion
// (USER_CHANGED_PARAM), against the enable and conversion rules. Host indices are
// those of the parameter table.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "FakeHost.h"
#include "params/ParamUI.h"
#include "params/Params.h"

namespace {

using paramtest::FakeHost;

// The error `f` raises, or PF_Err_NONE.
template <typename F>
PF_Err Raised(F f)
{
    try {
        f();
    } catch (PF_Err err) {
        return err;
    }
    return PF_Err_NONE;
}

constexpr A_long kDotSize = 3;
constexpr A_long kSpacingType = 8;
constexpr A_long kSpacingX = 9;
constexpr A_long kSpacingY = 10;
constexpr A_long kMaskMode = 15;
constexpr A_long kMaskLayer = 16;
constexpr A_long kInvertMask = 17;

// Effector 1's controls; effector n's are 30 (n - 1) further on. The 27
// controls that follow the enable switch run from kFirst to kLast.
enum : A_long {
    kEnable = 34,
    kFirst = 35,
    kMap = 39,
    kFit = 41,
    kAbsolute = 45,
    kColorize = 58,
    kLast = 61,
};
A_long At(int n, A_long index1)
{
    return index1 + 30 * (n - 1);
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
    int CallsFor(A_long index) const
    {
        return static_cast<int>(std::count_if(host.uiUpdates.begin(), host.uiUpdates.end(),
                                              [index](const auto &u) { return u.first == index; }));
    }
    void Set(A_long index, A_long value) { host.current[index].u.pd.value = value; }
    void Check(A_long index, bool on) { host.current[index].u.bd.value = on ? 1 : 0; }

    FakeHost host;
    std::vector<PF_ParamDef *> array;
};

TEST_F(ParamUI, EffectorOffDisablesAll27OfItsControls)
{
    Set(At(2, kMap), 1);  // the map type does not matter while off
    Update();
    for (int n = 1; n <= 3; ++n) {
        for (A_long index = At(n, kFirst); index <= At(n, kLast); ++index) {
            EXPECT_FALSE(Enabled(index)) << "effector " << n << ", index " << index;
        }
        EXPECT_EQ(CallsFor(At(n, kEnable)), 0);
    }
    // Two mask rules and 27 per effector: every rule, every time.
    EXPECT_EQ(host.uiUpdates.size(), 2u + 3 * 27);
}

// The states of indices 35 to 61 of a switched-on effector, '+' enabled,
// blanks between: position, size, angle, falloff, map | map layer, fit,
// pick colour, tile | centre dot, absolute | four independent values | four
// ratios | four offsets | colour, blend mode, blend colour, hue offset.
struct OnCase {
    const char *name;
    A_long map;
    bool fit, absolute, colorize;
    const char *states;
};

TEST_F(ParamUI, SwitchedOnEffectorEnablesWhatItsMapAndSwitchesUse)
{
    const OnCase cases[] = {
        {"radial", 3, false, false, false, "++-++ ---- ++ ---- ++++ ++++ +--+"},
        {"radial symmetric", 4, false, false, false, "++-++ ---- ++ ---- ++++ ++++ +--+"},
        {"linear", 5, false, false, false, "+++++ ---- ++ ---- ++++ ++++ +--+"},
        {"linear symmetric", 6, false, false, false, "+++++ ---- ++ ---- ++++ ++++ +--+"},
        {"custom", 1, false, false, false, "+-+-+ ++++ ++ ---- ++++ ++++ +--+"},
        {"custom fitted", 1, true, false, false, "----+ ++++ ++ ---- ++++ ++++ +--+"},
        {"radial, absolute and colour", 3, false, true, true, "++-++ ---- ++ ++++ ++++ ++++ ++++"},
    };
    int n = 0;
    for (const OnCase &c : cases) {
        SCOPED_TRACE(c.name);
        if (n > 0) {
            Check(At(n, kEnable), false);
        }
        n = n % 3 + 1;  // each case on the next effector
        Check(At(n, kEnable), true);
        Set(At(n, kMap), c.map);
        Check(At(n, kFit), c.fit);
        Check(At(n, kAbsolute), c.absolute);
        Check(At(n, kColorize), c.colorize);
        Update();
        A_long index = At(n, kFirst);
        for (const char *s = c.states; *s; ++s) {
            if (*s != ' ') {
                EXPECT_EQ(Enabled(index), *s == '+') << "index " << index;
                ++index;
            }
        }
        EXPECT_EQ(index, At(n, kLast) + 1);
        EXPECT_FALSE(Enabled(At(n % 3 + 1, kFirst)));  // the others stay off
        // 2 mask rules, 27 + 14 for the switched-on effector, 27 for each other.
        EXPECT_EQ(host.uiUpdates.size(), 2u + 27 + 14 + 27 + 27);
    }
}

TEST_F(ParamUI, MaskModeEnablesTheMaskLayerAndInvert)
{
    const struct {
        A_long mode;
        bool layer, invert;
    } cases[] = {{1, false, true}, {2, false, false}, {3, true, true}};
    for (const auto &c : cases) {
        Set(kMaskMode, c.mode);
        Update();
        EXPECT_EQ(Enabled(kMaskLayer), c.layer) << "mode " << c.mode;
        EXPECT_EQ(Enabled(kInvertMask), c.invert) << "mode " << c.mode;
    }
}

TEST_F(ParamUI, StateChangeKeepsTheRestOfTheDefinition)
{
    const A_long flags = PF_PUI_DISABLED | PF_PUI_STD_CONTROL_ONLY;
    host.current[kMaskLayer].ui_flags = flags;
    host.current[kInvertMask].ui_flags = PF_PUI_STD_CONTROL_ONLY;
    Set(kMaskMode, 2);
    Update();
    for (const auto &u : host.uiUpdates) {
        if (u.first == kMaskLayer || u.first == kInvertMask) {
            EXPECT_EQ(u.second.ui_flags, flags);
            EXPECT_STREQ(u.second.name, host.current[u.first].name);
            EXPECT_EQ(u.second.param_type, host.current[u.first].param_type);
        }
    }
    Set(kMaskMode, 3);
    Update();
    EXPECT_TRUE(Enabled(kMaskLayer));
    // The host's own definition is not touched; the copy carries the state.
    EXPECT_EQ(host.current[kMaskLayer].ui_flags, flags);
}

TEST_F(ParamUI, ParamUtilsSuiteVersionFollowsTheHostsApiVersion)
{
    const struct {
        A_short major, minor;
        int suite;
    } cases[] = {{11, 9, 2}, {12, 14, 2}, {12, 15, 3}, {13, 1, 2}, {13, 2, 3}, {14, 0, 3}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor));
        host.in.version.major = c.major;
        host.in.version.minor = c.minor;
        host.acquired.clear();
        Update();
        ASSERT_FALSE(host.acquired.empty());
        EXPECT_EQ(host.acquired.front(), "PF Param Utils Suite/" + std::to_string(c.suite));
        EXPECT_TRUE(host.Balanced());
    }
}

TEST_F(ParamUI, MissingParamUtilsSuiteRaises516)
{
    host.offerParamUtils = false;
    EXPECT_EQ(Raised([&] { params::UpdateParamsUI(&host.in, array.data()); }),
              PF_Err_BAD_CALLBACK_PARAM);
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
    // The type an update records first.
    void Record(A_long type)
    {
        Set(kSpacingType, type);
        Update();
    }
    // The user picks a spacing type; the host sends USER_CHANGED_PARAM with
    // fresh change flags.
    void Switch(A_long type)
    {
        Set(kSpacingType, type);
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
    Record(2);
    EXPECT_EQ(host.sequence.spacingRecorded, 1);
    Record(1);
    EXPECT_EQ(host.sequence.recordedSpacingType, 2);
    EXPECT_EQ(host.locks, 2);
    EXPECT_TRUE(host.Balanced());
}

TEST_F(Spacing, CentreToTwoPointsAndBack)
{
    Record(2);
    Switch(1);  // 20 - 30 would be -10: no gap is left
    EXPECT_EQ(X(), 0.0);
    EXPECT_EQ(Y(), 0.0);
    EXPECT_EQ(host.current[kSpacingX].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
    EXPECT_EQ(host.current[kSpacingY].uu.change_flags, PF_ChangeFlag_CHANGED_VALUE);
    EXPECT_EQ(host.sequence.recordedSpacingType, 1);

    host.current[kSpacingY].u.fs_d.value = 5.5;
    Switch(2);
    EXPECT_EQ(X(), 30.0);
    EXPECT_EQ(Y(), 35.5);
    EXPECT_EQ(host.sequence.recordedSpacingType, 2);
    EXPECT_NE(std::find(host.acquired.begin(), host.acquired.end(), "PF Handle Suite/2"),
              host.acquired.end());
    EXPECT_TRUE(host.Balanced());
}

TEST_F(Spacing, NothingIsConvertedBeforeAnUpdateRecordedAType)
{
    Switch(2);
    EXPECT_EQ(X(), 20.0);
    EXPECT_EQ(host.current[kSpacingX].uu.change_flags, PF_ChangeFlag_NONE);
    EXPECT_EQ(host.sequence.spacingRecorded, 0);
    EXPECT_TRUE(host.Balanced());
}

TEST_F(Spacing, FlattenedSequenceDataIsLeftAlone)
{
    host.sequence.flat = 1;
    Record(2);
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
    Record(2);
    Switch(2);
    EXPECT_EQ(X(), 20.0);

    Set(kSpacingType, 1);
    PF_UserChangedParamExtra other{kDotSize};
    EXPECT_EQ(params::UserChangedParam(&host.in, array.data(), &other), PF_Err_NONE);
    EXPECT_EQ(X(), 20.0);
    EXPECT_EQ(host.sequence.recordedSpacingType, 2);
}

TEST_F(Spacing, FailedLockChangesNothingAndMissingHandleSuiteOrBasicSuiteRaises516)
{
    Record(2);
    host.lockFails = true;
    Switch(1);
    EXPECT_EQ(X(), 20.0);
    EXPECT_TRUE(host.Balanced());
    host.lockFails = false;
    PF_UserChangedParamExtra extra{kSpacingType};
    const auto change = [&] { params::UserChangedParam(&host.in, array.data(), &extra); };
    host.offerHandleSuite = false;
    EXPECT_EQ(Raised(change), PF_Err_BAD_CALLBACK_PARAM);
    host.in.pica_basicP = nullptr;
    EXPECT_EQ(Raised(change), PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(X(), 20.0);
}

}  // namespace
