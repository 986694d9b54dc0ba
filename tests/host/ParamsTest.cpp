// Parameter definitions, values, checkouts and interface updates.
#include <gtest/gtest.h>

#include <cstring>

#include "FakeEffect.h"

using fake::Call;

namespace {

class ParamsTest : public ::testing::Test {
protected:
    fake::FakeEffect fx;
    host::Effect effect{fx.plugin()};
};

TEST_F(ParamsTest, DefinitionsAreRecordedWithTheirTextsCopiedAtAddTime)
{
    fx.on(PF_Cmd_PARAMS_SETUP, [](Call &c) -> PF_Err {
        PF_ParamDef slider = fake::Slider("Count", 5, 0, 100, 10);
        c.in->inter.add_param(c.in->effect_ref, -1, &slider);
        char items[] = "One|Two|Three";
        PF_ParamDef popup = fake::Popup("Mode", 7, items, 3, 2);
        c.in->inter.add_param(c.in->effect_ref, -1, &popup);
        std::strcpy(items, "XXXXXXXXXXXX");  // the effect's text is gone after the call
        c.out->num_params = 3;
        return PF_Err_NONE;
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
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(ParamsTest, MalformedDefinitionsAreRejectedWithAnErrorAndAFault)
{
    std::vector<PF_Err> errs;
    fx.on(PF_Cmd_PARAMS_SETUP, [&errs](Call &c) -> PF_Err {
        auto add = [&](PF_ParamDef d) {
            errs.push_back(c.in->inter.add_param(c.in->effect_ref, -1, &d));
        };
        PF_ParamDef unknown = fake::Slider("Odd", 1, 0, 1, 0);
        unknown.param_type = 42;
        add(unknown);                                         // 0: unknown type
        add(fake::Slider("Size", 2, 0, 100, 101));            // 1: default above the range
        add(fake::FloatSlider("Gain", 3, 5.0f, 1.0f, 2.0f));  // 2: reversed range
        add(fake::Popup("Shape", 4, "A|B", 3, 1));            // 3: fewer items than choices
        add(fake::Popup("Kind", 5, "A|B", 2, 3));             // 4: default past the choices
        add(fake::GroupEnd(6));                               // 5: end without a start
        add(fake::Slider("Fine", 7, 0, 10, 5));               // 6: fine
        add(fake::Slider("Again", 7, 0, 10, 5));              // 7: duplicate id
        add(fake::Group("Topic", 8));                         // 8: fine, but never closed
        c.out->num_params = 3;
        return PF_Err_NONE;
    });
    effect.paramsSetup();
    const std::vector<PF_Err> want = {PF_Err_UNRECOGNIZED_PARAM_TYPE,
                                      PF_Err_BAD_CALLBACK_PARAM,
                                      PF_Err_BAD_CALLBACK_PARAM,
                                      PF_Err_BAD_CALLBACK_PARAM,
                                      PF_Err_BAD_CALLBACK_PARAM,
                                      PF_Err_BAD_CALLBACK_PARAM,
                                      PF_Err_NONE,
                                      PF_Err_BAD_CALLBACK_PARAM,
                                      PF_Err_NONE};
    EXPECT_EQ(errs, want);
    EXPECT_EQ(effect.numParams(), 3);
    const auto faults = effect.faults();
    EXPECT_EQ(faults.size(), 8u) << fake::Joined(faults);
    EXPECT_TRUE(fake::HasFault(faults, "default 101 is outside the valid range 0..100"));
    EXPECT_TRUE(fake::HasFault(faults, "3 choices but only 2 items"));
    EXPECT_TRUE(fake::HasFault(faults, "id 7 is already used by index 1"));
    EXPECT_TRUE(fake::HasFault(faults, "a group end without an open group"));
    EXPECT_TRUE(fake::HasFault(faults, "PARAMS_SETUP: 1 parameter group(s) left open"));
}

TEST_F(ParamsTest, AddOutsideParamsSetupAndAWrongCountAreFaults)
{
    PF_Err late = PF_Err_NONE;
    fx.defs = {fake::Slider("A", 1, 0, 9, 1)};
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [&late](Call &c) -> PF_Err {
        PF_ParamDef d = fake::Slider("B", 2, 0, 9, 1);
        late = c.in->inter.add_param(c.in->effect_ref, -1, &d);
        return PF_Err_NONE;
    });
    fx.on(PF_Cmd_PARAMS_SETUP, [](Call &c) -> PF_Err {
        PF_ParamDef d = fake::Slider("A", 1, 0, 9, 1);
        c.in->inter.add_param(c.in->effect_ref, -1, &d);
        c.out->num_params = 5;
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(10, 10);
    inst.updateParamsUI();
    EXPECT_EQ(late, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(inst.numParams(), 2);
    const auto faults = effect.faults();
    EXPECT_TRUE(fake::HasFault(faults, "out_data->num_params is 5 but 2 parameters exist"));
    EXPECT_TRUE(fake::HasFault(faults, "UPDATE_PARAMS_UI: add_param outside PARAMS_SETUP"));
}

TEST_F(ParamsTest, SettersRefuseWrongTypesAndValuesAndChangeNothing)
{
    fx.defs = {fake::Slider("Count", 5, 0, 100, 10), fake::FloatSlider("Size", 9, 0, 50, 2.5f),
               fake::Popup("Mode", 3, "a|b", 2, 1)};
    host::Instance inst = effect.newInstance(10, 10);
    EXPECT_THROW(inst.setSlider(1, 101), host::HostError);
    EXPECT_THROW(inst.setPopup(1, 1), host::HostError);
    EXPECT_THROW(inst.setPopup(3, 3), host::HostError);
    EXPECT_THROW(inst.setSlider(4, 1), host::HostError);
    EXPECT_EQ(inst.param(1).u.sd.value, 10);
    EXPECT_EQ(inst.param(3).u.pd.value, 1);
    inst.setFloatSlider(inst.indexOfId(9), 12.5);
    EXPECT_EQ(inst.param(2).u.fs_d.value, 12.5);
    EXPECT_EQ(inst.param(2).u.fs_d.dephault, 2.5f);
}

TEST_F(ParamsTest, PointDefaultsArePercentagesOfTheLayer)
{
    fx.defs = {fake::Point("Centre", 11, 25, 50)};
    host::Instance inst = effect.newInstance(200, 100);
    EXPECT_EQ(inst.param(1).u.td.x_value, 50 << 16);
    EXPECT_EQ(inst.param(1).u.td.y_value, 50 << 16);
}

TEST_F(ParamsTest, CheckoutGivesTheCurrentValueAndAMissingCheckinIsAFault)
{
    fx.defs = {fake::Slider("Interval", 20, 0, 1000, 0)};
    A_long seen = -1;
    fx.on(PF_Cmd_QUERY_DYNAMIC_FLAGS, [&seen](Call &c) -> PF_Err {
        PF_ParamDef d{};
        c.in->inter.checkout_param(c.in->effect_ref, 1, c.in->current_time, c.in->time_step,
                                   c.in->time_scale, &d);
        seen = d.u.sd.value;
        c.in->inter.checkin_param(c.in->effect_ref, &d);
        return PF_Err_NONE;
    });
    fx.on(PF_Cmd_DO_DIALOG, [](Call &c) -> PF_Err {
        PF_ParamDef d{};
        c.in->inter.checkout_param(c.in->effect_ref, 1, 0, 1, 30, &d);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(10, 10);
    inst.setSlider(1, 24);
    inst.queryDynamicFlags();
    EXPECT_EQ(seen, 24);
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
    inst.doDialog();
    EXPECT_TRUE(fake::HasFault(effect.faults(), "DO_DIALOG: checkout_param of index 1 was not"));
}

TEST_F(ParamsTest, CheckinOfAnUnfetchedDefinitionIsToleratedUnlessAskedOtherwise)
{
    fx.defs = {fake::Layer("Matte", 15, PF_LayerDefault_NONE)};
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [](Call &c) -> PF_Err {
        PF_ParamDef never = fake::Layer("Matte", 15, PF_LayerDefault_NONE);
        EXPECT_EQ(c.in->inter.checkin_param(c.in->effect_ref, &never), PF_Err_NONE);
        return PF_Err_NONE;
    });
    {
        host::Instance inst = effect.newInstance(10, 10);
        inst.updateParamsUI();
        EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
    }
    host::HostOptions strict;
    strict.checkin_without_checkout_is_fault = true;
    host::Effect picky(fx.plugin(), strict);
    host::Instance inst = picky.newInstance(10, 10);
    inst.updateParamsUI();
    EXPECT_TRUE(fake::HasFault(picky.faults(), "which is not checked out"));
}

TEST_F(ParamsTest, UpdateParamUiKeepsTheFlagsItMayChange)
{
    fx.defs = {fake::Slider("A", 1, 0, 9, 1), fake::Slider("B", 2, 0, 9, 1)};
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [](Call &c) -> PF_Err {
        auto *pu = fake::Acquire<PF_ParamUtilsSuite3>(c.in, kPFParamUtilsSuite, 3);
        PF_ParamDef copy = *c.params[2];
        copy.ui_flags |= PF_PUI_DISABLED | PF_PUI_TOPIC;
        pu->PF_UpdateParamUI(c.in->effect_ref, 2, &copy);
        pu->PF_UpdateParamUI(c.in->effect_ref, 1, c.params[1]);  // the array's own entry
        c.in->pica_basicP->ReleaseSuite(kPFParamUtilsSuite, 3);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(10, 10);
    inst.updateParamsUI();
    EXPECT_EQ(inst.param(2).ui_flags, PF_PUI_DISABLED);
    ASSERT_EQ(inst.uiUpdates().size(), 2u);
    EXPECT_EQ(inst.uiUpdates()[0].index, 2);
    EXPECT_EQ(inst.uiUpdates()[0].ui_flags, PF_PUI_DISABLED);
    const auto faults = effect.faults();
    EXPECT_EQ(faults.size(), 2u) << fake::Joined(faults);
    EXPECT_TRUE(fake::HasFault(faults, "changes ui_flags 0x1, which the host ignores"));
    EXPECT_TRUE(fake::HasFault(faults, "with the params array's own entry"));
}

TEST_F(ParamsTest, UserChangedParamTakesOnlyFlaggedValues)
{
    fx.defs = {fake::Slider("A", 1, 0, 99, 1), fake::FloatSlider("B", 2, 0, 100, 20)};
    int told = 0;
    fx.on(PF_Cmd_USER_CHANGED_PARAM, [&told](Call &c) -> PF_Err {
        told = static_cast<PF_UserChangedParamExtra *>(c.extra)->param_index;
        c.params[2]->u.fs_d.value = 35.5;
        c.params[2]->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
        c.params[1]->u.sd.value = 50;  // not flagged: the host ignores it
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(10, 10);
    const host::CommandResult r = inst.userChangedParam(2);
    EXPECT_EQ(told, 2);
    EXPECT_EQ(r.changed_params, std::vector<int>{2});
    EXPECT_EQ(inst.param(2).u.fs_d.value, 35.5);
    EXPECT_EQ(inst.param(1).u.sd.value, 1);
    EXPECT_TRUE(
        fake::HasFault(effect.faults(), "value changed without PF_ChangeFlag_CHANGED_VALUE"));
}

TEST_F(ParamsTest, ValueChangesDuringUpdateParamsUiAreIgnoredAndReported)
{
    fx.defs = {fake::Slider("A", 1, 0, 99, 1)};
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [](Call &c) -> PF_Err {
        c.params[1]->u.sd.value = 7;
        c.params[1]->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(10, 10);
    EXPECT_TRUE(inst.updateParamsUI().changed_params.empty());
    EXPECT_EQ(inst.param(1).u.sd.value, 1);
    EXPECT_TRUE(fake::HasFault(effect.faults(), "takes no values during UPDATE_PARAMS_UI"));
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
