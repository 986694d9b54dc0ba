// Parameter definitions, values and interface updates.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "FakeEffect.h"

using fake::Call;

namespace {

using ParamsTest = fake::WithEffect<>;

TEST_F(ParamsTest, DefinitionsAreRecordedWithTheirTextsCopiedAtAddTime)
{
    fx.does(PF_Cmd_PARAMS_SETUP, [](Call &c) {
        PF_ParamDef slider = fake::Slider("Count", 5, 0, 100, 10);
        c.in->inter.add_param(c.ref(), -1, &slider);
        char items[] = "One|Two|Three";
        PF_ParamDef popup = fake::Popup("Mode", 7, items, 3, 2);
        c.in->inter.add_param(c.ref(), -1, &popup);
        std::strcpy(items, "XXXXXXXXXXXX");  // the effect's text is gone after the call
        c.out->num_params = 3;
    });
    ASSERT_TRUE(effect.paramsSetup().ok());
    ASSERT_EQ(effect.numParams(), 3);
    const host::ParamInfo &popup = effect.params()[2];
    EXPECT_EQ(popup.index, 2);
    EXPECT_EQ(popup.id, 7);
    EXPECT_EQ(popup.name, "Mode");
    EXPECT_EQ(popup.popup_items, (std::vector<std::string>{"One", "Two", "Three"}));
    EXPECT_STREQ(popup.def.u.pd.u.namesptr, "One|Two|Three");
    EXPECT_EQ(effect.params()[1].def.u.sd.valid_max, 100);
    EXPECT_EQ(effect.indexOfId(7), 2);
    EXPECT_EQ(effect.numParamsReported(), 3);
    EXPECT_THROW(effect.indexOfId(99), host::HostError);
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

TEST(ParamsSetupTest, MalformedDefinitionsAreRejectedWithAnErrorAndAFault)
{
    PF_ParamDef unknown = fake::Slider("Odd", 1, 0, 1, 0);
    unknown.param_type = 42;
    const PF_ParamDef fine = fake::Slider("Fine", 7, 0, 10, 5);
    const PF_ParamDef open = fake::Def("Topic", 8, PF_Param_GROUP_START);
    struct Bad {
        std::vector<PF_ParamDef> defs;  // the last is the one that is wrong
        PF_Err answer;
        const char *fault;
    };
    const PF_Err bad_param = PF_Err_BAD_CALLBACK_PARAM;
    const Bad cases[] = {
        {{unknown}, PF_Err_UNRECOGNIZED_PARAM_TYPE, "parameter type 42 is not one the host knows"},
        {{fake::Slider("N", 2, 0, 100, 101)}, bad_param, "default 101 is outside the valid range"},
        {{fake::FloatSlider("Gain", 3, 5, 1, 2)}, bad_param, "valid range 5..1 is reversed"},
        {{fake::Popup("Shape", 4, "A|B", 3, 1)}, bad_param, "3 choices but only 2 items"},
        {{fake::Popup("Kind", 5, "A|B", 2, 3)}, bad_param, "default choice 3 is outside 1..2"},
        {{fake::Def("", 6, PF_Param_GROUP_END)}, bad_param, "a group end without an open group"},
        {{fine, fake::Slider("Again", 7, 0, 10, 5)}, bad_param, "id 7 is already used by index 1"},
        {{fine, open}, PF_Err_NONE, "PARAMS_SETUP: 1 parameter group(s) left open"},
    };
    for (const Bad &bad : cases) {
        SCOPED_TRACE(bad.fault);
        fake::FakeEffect fx;
        PF_Err answer = PF_Err_NONE;
        A_long added = 1;
        fx.does(PF_Cmd_PARAMS_SETUP, [&](Call &c) {
            for (PF_ParamDef d : bad.defs) {
                answer = c.in->inter.add_param(c.ref(), -1, &d);
                added += answer == PF_Err_NONE;
            }
            c.out->num_params = added;
        });
        host::Effect effect(fx.plugin());
        effect.paramsSetup();
        EXPECT_EQ(answer, bad.answer);
        EXPECT_EQ(effect.numParams(), added);
        EXPECT_TRUE(fake::FaultsAre(effect, {bad.fault}));
    }
}

TEST(ParamsSetupTest, UnusableDefaultsTakeTheFallbackDefinitionsOrAreRefused)
{
    // What an effect adds after reading damaged stored settings, and what it
    // adds without them (the fallbacks).
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    PF_ParamDef checkbox = fake::Def("Flag", 6, PF_Param_CHECKBOX);
    checkbox.u.bd.value = checkbox.u.bd.dephault = 2;
    PF_ParamDef checkboxFallback = checkbox;
    checkboxFallback.u.bd.value = checkboxFallback.u.bd.dephault = 1;
    const std::vector<PF_ParamDef> added = {
        fake::Slider("Count", 1, 0, 100, -5),    fake::FloatSlider("Size", 2, 0, 50, nan),
        fake::FloatSlider("Gain", 3, 0, 2, inf), fake::Popup("Shape", 4, "A|B|C", 3, 99),
        fake::Slider("Fine", 5, 0, 100, 7),      checkbox};
    const std::vector<PF_ParamDef> factory = {fake::Def("", 0, PF_Param_LAYER),
                                              fake::Slider("Count", 1, 0, 100, 10),
                                              fake::FloatSlider("Size", 2, 0, 50, 4),
                                              fake::FloatSlider("Gain", 3, 0, 2, 1),
                                              fake::Popup("Shape", 4, "A|B|C", 3, 2),
                                              fake::Slider("Fine", 5, 0, 100, 9),
                                              checkboxFallback};
    auto setUp = [&](const std::vector<PF_ParamDef> &fallbacks, fake::FakeEffect &fx) {
        fx.defs = added;
        host::HostOptions options;
        options.fallback_definitions = fallbacks;
        return host::Effect(fx.plugin(), options);
    };
    {
        fake::FakeEffect fx;
        host::Effect effect = setUp(factory, fx);
        ASSERT_TRUE(effect.paramsSetup().ok());
        EXPECT_TRUE(fake::FaultsAre(effect, {}));
        const auto &p = effect.params();
        EXPECT_EQ(p[1].def.u.sd.dephault, 10);
        EXPECT_EQ(p[1].def.u.sd.value, 10);
        EXPECT_EQ(p[1].replaced_default, "default -5 is outside the valid range 0..100");
        EXPECT_EQ(p[2].def.u.fs_d.value, 4.0);
        EXPECT_EQ(p[2].replaced_default, "default nan is outside the valid range 0..50");
        EXPECT_EQ(p[3].def.u.fs_d.dephault, 1.0f);
        EXPECT_EQ(p[3].replaced_default, "default inf is outside the valid range 0..2");
        EXPECT_EQ(p[4].def.u.pd.value, 2);
        EXPECT_EQ(p[4].replaced_default, "default choice 99 is outside 1..3");
        EXPECT_EQ(p[4].popup_items.size(), 3u);  // the added text, not the fallback's
        // A sound default is kept, even where the fallback differs.
        EXPECT_EQ(p[5].def.u.sd.dephault, 7);
        EXPECT_EQ(p[5].replaced_default, "");
        EXPECT_EQ(p[6].def.u.bd.dephault, 1);
    }
    // No fallback, one of another id, or one whose own default is unusable:
    // the definition is refused, and the effect's set-up stops there.
    std::vector<PF_ParamDef> otherId = factory;
    otherId[1].uu.id = 77;
    std::vector<PF_ParamDef> badToo = factory;
    badToo[1].u.sd.dephault = 101;
    for (const auto &fallbacks : {std::vector<PF_ParamDef>{}, otherId, badToo}) {
        fake::FakeEffect fx;
        host::Effect effect = setUp(fallbacks, fx);
        EXPECT_EQ(effect.paramsSetup().err, PF_Err_BAD_CALLBACK_PARAM);
        EXPECT_TRUE(fake::FaultsAre(
            effect, {"\"Count\" (index 1, slider) rejected: default -5 is outside the valid "
                     "range 0..100",
                     "out_data->num_params is 0"}));
    }
}

TEST_F(ParamsTest, SettersRefuseWrongTypesAndValuesAndChangeNothing)
{
    fx.defs = {fake::Slider("Count", 5, 0, 100, 10), fake::FloatSlider("Size", 9, 0, 50, 2.5f),
               fake::Popup("Mode", 3, "a|b", 2, 1), fake::Point("Centre", 11, 25, 50)};
    host::Instance inst = effect.newInstance(200, 100);
    EXPECT_THROW(inst.setSlider(1, 101), host::HostError);
    EXPECT_THROW(inst.setPopup(1, 1), host::HostError);
    EXPECT_THROW(inst.setPopup(3, 3), host::HostError);
    EXPECT_THROW(inst.setSlider(5, 1), host::HostError);
    EXPECT_EQ(inst.param(1).u.sd.value, 10);
    EXPECT_EQ(inst.param(3).u.pd.value, 1);
    inst.setFloatSlider(inst.indexOfId(9), 12.5);
    EXPECT_EQ(inst.param(2).u.fs_d.value, 12.5);
    EXPECT_EQ(inst.param(2).u.fs_d.dephault, 2.5f);
    // Point defaults are percentages of the layer.
    EXPECT_EQ(inst.param(4).u.td.x_value, 50 << 16);
    EXPECT_EQ(inst.param(4).u.td.y_value, 50 << 16);
}

TEST_F(ParamsTest, UpdateParamUiKeepsTheFlagsItMayChange)
{
    fx.defs = {fake::Slider("A", 1, 0, 9, 1), fake::Slider("B", 2, 0, 9, 1)};
    fx.does(PF_Cmd_UPDATE_PARAMS_UI, [](Call &c) {
        auto *pu = fake::Acquire<PF_ParamUtilsSuite3>(c.in, kPFParamUtilsSuite, 3);
        PF_ParamDef copy = *c.params[2];
        copy.ui_flags |= PF_PUI_DISABLED | PF_PUI_TOPIC;
        pu->PF_UpdateParamUI(c.ref(), 2, &copy);
        pu->PF_UpdateParamUI(c.ref(), 1, c.params[1]);  // the array's own entry
        c.in->pica_basicP->ReleaseSuite(kPFParamUtilsSuite, 3);
    });
    host::Instance inst = effect.newInstance(10, 10);
    inst.updateParamsUI();
    EXPECT_EQ(inst.param(2).ui_flags, PF_PUI_DISABLED);
    ASSERT_EQ(inst.uiUpdates().size(), 2u);
    EXPECT_EQ(inst.uiUpdates()[0].index, 2);
    EXPECT_EQ(inst.uiUpdates()[0].ui_flags, PF_PUI_DISABLED);
    EXPECT_TRUE(fake::FaultsAre(effect, {"changes ui_flags 0x1, which the host ignores",
                                         "with the params array's own entry"}));
}

TEST_F(ParamsTest, OnlyFlaggedValuesAreTakenAndNotDuringUpdateParamsUi)
{
    fx.defs = {fake::Slider("A", 1, 0, 99, 1), fake::FloatSlider("B", 2, 0, 100, 20)};
    int told = 0;
    auto change = [&told](Call &c) {
        if (c.extra) told = static_cast<PF_UserChangedParamExtra *>(c.extra)->param_index;
        c.params[2]->u.fs_d.value = 35.5;
        c.params[2]->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
        c.params[1]->u.sd.value = 50;  // not flagged: the host ignores it
    };
    fx.does(PF_Cmd_UPDATE_PARAMS_UI, change);
    fx.does(PF_Cmd_USER_CHANGED_PARAM, change);
    host::Instance inst = effect.newInstance(10, 10);
    EXPECT_TRUE(inst.updateParamsUI().changed_params.empty());
    EXPECT_EQ(inst.param(2).u.fs_d.value, 20);
    EXPECT_TRUE(fake::FaultsAre(effect, {"takes no values during UPDATE_PARAMS_UI",
                                         "value changed without PF_ChangeFlag_CHANGED_VALUE"}));
    effect.clearFaults();
    EXPECT_EQ(inst.userChangedParam(2).changed_params, std::vector<int>{2});
    EXPECT_EQ(told, 2);
    EXPECT_EQ(inst.param(2).u.fs_d.value, 35.5);
    EXPECT_EQ(inst.param(1).u.sd.value, 1);
    EXPECT_TRUE(fake::FaultsAre(effect, {"value changed without PF_ChangeFlag_CHANGED_VALUE"}));
}

TEST_F(ParamsTest, AfterUserEditSendsTheSupervisedChangeThenTheInterfaceUpdate)
{
    PF_ParamDef supervised = fake::Popup("Spacing", 8, "a|b", 2, 1);
    supervised.flags = PF_ParamFlag_SUPERVISE;
    fx.defs = {fake::Slider("A", 1, 0, 9, 1), supervised};
    fx.out_flags |= PF_OutFlag_SEND_UPDATE_PARAMS_UI;
    host::Instance inst = effect.newInstance(10, 10);
    fx.calls.clear();
    inst.afterUserEdit(1);
    EXPECT_EQ(fx.calls, std::vector<PF_Cmd>{PF_Cmd_UPDATE_PARAMS_UI});
    fx.calls.clear();
    inst.setPopup(2, 2);
    inst.afterUserEdit(2);
    EXPECT_EQ(fx.calls, (std::vector<PF_Cmd>{PF_Cmd_USER_CHANGED_PARAM, PF_Cmd_UPDATE_PARAMS_UI}));
}

}  // namespace
