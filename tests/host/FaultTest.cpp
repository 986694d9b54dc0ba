// Protocol faults: an effect doing one wrong thing during one command, the
// host's answer to the wrong call, and the faults it reports (exactly those).
// Writing past the rows of the output or of an own world: RenderTest.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "FakeEffect.h"

using fake::Call;

namespace {

// Answers besides error codes: a service that gives a pointer or a size gave
// nothing at all; the wrong thing never came back.
constexpr PF_Err kNothing = 0x7E57;
constexpr PF_Err kNeverReturned = 0x7E58;
template <typename T>
PF_Err Answer(T got)
{
    return got ? PF_Err_NONE : kNothing;
}
// For wrong things that call no service: there is no answer.
template <typename T>
PF_Err Done(T)
{
    return PF_Err_NONE;
}

PF_ProgPtr g_setup_ref = nullptr;  // SEQUENCE_SETUP's effect_ref, stale afterwards

struct Wrong {
    const char *name;
    PF_Cmd during;
    PF_Err answer;
    std::vector<std::string> faults;
    PF_Err (*act)(Call &);  // does the wrong thing; returns the host's answer to it
    bool strict;            // with the host options that make tolerated things faults
    PF_Err result;          // of the command
};

Wrong W(const char *name, PF_Cmd during, PF_Err answer, std::vector<std::string> faults,
        PF_Err (*act)(Call &), bool strict = false, PF_Err result = PF_Err_NONE)
{
    return {name, during, answer, std::move(faults), act, strict, result};
}

void PrintTo(const Wrong &w, std::ostream *os)
{
    *os << w.name;
}

// transfer_rect from a world of this depth to an 8-bit one.
PF_Err Transfer(Call &c, host::Depth depth, PF_TransferMode xfer)
{
    host::World a(1, 1, depth), b(1, 1, host::Depth::k8);
    const PF_CompositeMode mode{xfer, 0, 255, false, 32768};
    return c.in->utils->transfer_rect(c.ref(), PF_Quality_HI, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME,
                                      nullptr, a.pf(), &mode, nullptr, 0, 0, b.pf());
}

// As effects do that hand back every definition they hold, fetched or not.
PF_Err CheckinUnfetched(Call &c)
{
    PF_ParamDef never = fake::Slider("Count", 1, 0, 9, 1);
    return c.in->inter.checkin_param(c.ref(), &never);
}

const Wrong kWrongs[] = {
    W("FloatAwareWithoutSmartRender", PF_Cmd_GLOBAL_SETUP, PF_Err_NONE,
      {"GLOBAL_SETUP: PF_OutFlag2_FLOAT_COLOR_AWARE without"},
      [](Call &c) { return Done(c.out->out_flags2 = PF_OutFlag2_FLOAT_COLOR_AWARE); }),
    W(
        "ExceptionThroughTheEntryPoint", PF_Cmd_ABOUT, kNeverReturned,
        {"ABOUT: an exception escaped the entry point"},
        [](Call &) -> PF_Err { throw std::runtime_error("boom"); }, false,
        PF_Err_INTERNAL_STRUCT_DAMAGED),
    W("UnterminatedMessage", PF_Cmd_ABOUT, PF_Err_NONE, {"return_msg is not terminated"},
      [](Call &c) { return Done(std::memset(c.out->return_msg, 'x', sizeof c.out->return_msg)); }),
    // ---- handles
    W("LockWithoutUnlock", PF_Cmd_UPDATE_PARAMS_UI, PF_Err_NONE,
      {"locked 1 time(s), unlocked 0 time(s)", "SEQUENCE_SETDOWN: host_dispose_handle of handle #"},
      [](Call &c) { return Answer(c.in->utils->host_lock_handle(c.in->sequence_data)); }),
    W("UnlockOfAnUnlockedHandle", PF_Cmd_UPDATE_PARAMS_UI, PF_Err_NONE, {"which is not locked"},
      [](Call &c) -> PF_Err {
          c.in->utils->host_unlock_handle(c.in->sequence_data);
          return PF_Err_NONE;
      }),
    W("ResizeWhileLocked", PF_Cmd_UPDATE_PARAMS_UI, PF_Err_BAD_CALLBACK_PARAM,
      {"host_resize_handle of handle #"},
      [](Call &c) {
          PF_Handle h = c.in->sequence_data;
          c.in->utils->host_lock_handle(h);
          const PF_Err err = c.in->utils->host_resize_handle(16, &h);
          c.in->utils->host_unlock_handle(h);
          return err;
      }),
    W("HandleLeak", PF_Cmd_UPDATE_PARAMS_UI, PF_Err_NONE,
      {"of 16 bytes was neither disposed of nor handed"},
      [](Call &c) { return Answer(c.in->utils->host_new_handle(16)); }),
    W("UseOfADisposedHandle", PF_Cmd_UPDATE_PARAMS_UI, kNothing,
      {"host_lock_handle of a disposed handle #"},
      [](Call &c) {
          PF_Handle h = c.in->utils->host_new_handle(8);
          c.in->utils->host_dispose_handle(h);
          return Answer(c.in->utils->host_lock_handle(h));
      }),
    W("ForeignPointerAsAHandle", PF_Cmd_UPDATE_PARAMS_UI, kNothing,
      {"host_get_handle_size of an unknown handle"},
      [](Call &c) {
          void *block[2] = {nullptr, nullptr};
          return Answer(c.in->utils->host_get_handle_size(reinterpret_cast<PF_Handle>(block)));
      }),
    W("SequenceDataLeftAtSetdown", PF_Cmd_SEQUENCE_SETDOWN, PF_Err_NONE,
      {"SEQUENCE_SETDOWN: sequence data (handle #"}, [](Call &) -> PF_Err { return PF_Err_NONE; }),
    W("GlobalDataLeftAtSetdown", PF_Cmd_GLOBAL_SETUP, PF_Err_NONE,
      {"GLOBAL_SETDOWN: global data (handle #"},
      [](Call &c) { return Done(c.out->global_data = c.in->utils->host_new_handle(12)); }),
    // The tolerant host takes the replaced data: CommandsTest.
    W(
        "ReplacedSequenceDataLeftToTheStrictHost", PF_Cmd_SEQUENCE_FLATTEN, PF_Err_NONE,
        {"SEQUENCE_FLATTEN: the replaced sequence data"},
        [](Call &c) { return Answer(c.out->sequence_data = c.in->utils->host_new_handle(4)); },
        true),
    // ---- suites and services
    W("SuiteNotReleased", PF_Cmd_ABOUT, PF_Err_NONE,
      {"ABOUT: suite \"PF Fill Matte Suite\" version 2 acquired 1 time(s), released 0"},
      [](Call &c) { return Answer(fake::Acquire<void>(c.in, kPFFillMatteSuite, 2)); }),
    W("SuiteReleasedTwice", PF_Cmd_ABOUT, PF_Err_NONE,
      {"\"PF World Suite\" version 2 more often than it was"},
      [](Call &c) -> PF_Err {
          fake::Acquire<void>(c.in, kPFWorldSuite, 2);
          c.in->pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
          return c.in->pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
      }),
    W("StaleEffectRef", PF_Cmd_ABOUT, PF_Err_BAD_CALLBACK_PARAM,
      {"ABOUT: fill with an effect_ref that belongs to no running command"},
      [](Call &c) {
          PF_EffectWorld w{};
          return c.in->utils->fill(g_setup_ref, nullptr, nullptr, &w);
      }),
    W("UnsupportedService", PF_Cmd_ABOUT, PF_Err_INVALID_CALLBACK,
      {"premultiply is not supported by this host"},
      [](Call &c) { return c.in->utils->premultiply(c.ref(), 1, nullptr); }),
    // ---- worlds
    W("WorldNotDisposed", PF_Cmd_ABOUT, PF_Err_NONE,
      {"ABOUT: a 3 x 4 world made by the effect was not"},
      [](Call &c) {
          PF_EffectWorld w{};
          return c.in->utils->new_world(c.ref(), 3, 4, PF_NewWorldFlag_NONE, &w);
      }),
    W("ForeignWorldDisposed", PF_Cmd_ABOUT, PF_Err_BAD_CALLBACK_PARAM,
      {"dispose_world of a world that the effect did not create"},
      [](Call &c) {
          host::World mine(2, 2, host::Depth::k8);
          return c.in->utils->dispose_world(c.ref(), mine.pf());
      }),
    W("EmptyWorld", PF_Cmd_ABOUT, PF_Err_BAD_CALLBACK_PARAM, {"new_world of 0 x 4 pixels"},
      [](Call &c) {
          PF_EffectWorld w{};
          return c.in->utils->new_world(c.ref(), 0, 4, PF_NewWorldFlag_NONE, &w);
      }),
    W("TransferBetweenDepths", PF_Cmd_ABOUT, PF_Err_BAD_CALLBACK_PARAM,
      {"transfer_rect between worlds of different depths"},
      [](Call &c) { return Transfer(c, host::Depth::k16, PF_Xfer_IN_FRONT); }),
    W("TransferInAnotherMode", PF_Cmd_ABOUT, PF_Err_BAD_CALLBACK_PARAM,
      {"transfer_rect with transfer mode"},
      [](Call &c) { return Transfer(c, host::Depth::k8, PF_Xfer_MULTIPLY); }),
    // ---- parameters
    W("AddParamOutsideParamsSetup", PF_Cmd_UPDATE_PARAMS_UI, PF_Err_BAD_CALLBACK_PARAM,
      {"UPDATE_PARAMS_UI: add_param outside PARAMS_SETUP"},
      [](Call &c) {
          PF_ParamDef d = fake::Slider("B", 2, 0, 9, 1);
          return c.in->inter.add_param(c.ref(), -1, &d);
      }),
    W("WrongParameterCount", PF_Cmd_PARAMS_SETUP, PF_Err_NONE,
      {"out_data->num_params is 5 but 1 parameters exist"},
      [](Call &c) { return Done(c.out->num_params = 5); }),
    W("CheckoutWithoutCheckin", PF_Cmd_DO_DIALOG, PF_Err_NONE,
      {"DO_DIALOG: checkout_param of index 1 was not checked in"},
      [](Call &c) {
          PF_ParamDef d{};
          return c.in->inter.checkout_param(c.ref(), 1, 0, 1, 30, &d);
      }),
    W("CheckinWithoutCheckoutToATolerantHost", PF_Cmd_UPDATE_PARAMS_UI, PF_Err_NONE, {},
      CheckinUnfetched),
    W("CheckinWithoutCheckoutToTheStrictHost", PF_Cmd_UPDATE_PARAMS_UI, PF_Err_NONE,
      {"checkin_param of \"Count\" (index -1, slider), which is not checked out"}, CheckinUnfetched,
      true),
    // ---- rendering
    W("PreRenderDataNotAHandle", PF_Cmd_SMART_PRE_RENDER, PF_Err_NONE,
      {"pre_render_data is not a handle of this host"},
      [](Call &c) {
          static int block;
          return Done(c.preRender()->output->pre_render_data = &block);
      }),
    W("CheckoutOfAParameterThatDoesNotExist", PF_Cmd_SMART_PRE_RENDER, PF_Err_INVALID_INDEX,
      {"checkout_layer of index 5 as id 1: there is no such parameter"},
      [](Call &c) { return c.checkout(5, 1); }),
    W("PixelsOfAnIdPreRenderDidNotCheckOut", PF_Cmd_SMART_RENDER, PF_Err_BAD_CALLBACK_PARAM,
      {"of id 4, which pre-render did not check out"},
      [](Call &c) {
          PF_EffectWorld *w = nullptr;
          return c.smartRender()->cb->checkout_layer_pixels(c.ref(), 4, &w);
      }),
    W("SequenceDataWrittenWhileRendering", PF_Cmd_SMART_RENDER, PF_Err_NONE,
      {"SMART_RENDER: the effect wrote to its sequence data, which renders share read-only"},
      [](Call &c) {
          auto *data = static_cast<unsigned char *>(*c.in->sequence_data);
          return Done(++data[3]);
      }),
};

class FaultTest : public ::testing::TestWithParam<Wrong> {};

TEST_P(FaultTest, IsAnsweredAndReportedAsListed)
{
    const Wrong &w = GetParam();
    fake::FakeEffect fx;
    fx.defs = {fake::Slider("Count", 1, 0, 9, 1)};
    fx.does(PF_Cmd_SEQUENCE_SETUP, [](Call &c) {
        g_setup_ref = c.ref();
        c.out->sequence_data = c.in->utils->host_new_handle(4);
    });
    fx.on(PF_Cmd_SMART_PRE_RENDER, fake::CheckoutInput);
    PF_Err answer = kNeverReturned;
    fx.does(w.during, [&](Call &c) { answer = w.act(c); });
    host::HostOptions options;
    options.replaced_sequence_data_is_fault = w.strict;
    options.checkin_without_checkout_is_fault = w.strict;
    host::Effect effect(fx.plugin(), options);
    // The same life of an instance for every case.
    host::Instance inst = effect.newInstance(4, 2);
    std::map<PF_Cmd, PF_Err> results;
    results[PF_Cmd_ABOUT] = effect.about().err;
    for (PF_Cmd cmd : {PF_Cmd_UPDATE_PARAMS_UI, PF_Cmd_DO_DIALOG, PF_Cmd_SEQUENCE_FLATTEN}) {
        results[cmd] = inst.send(cmd).err;
    }
    const host::World input(4, 2, host::Depth::k8);
    host::FrameRequest req;
    req.input = &input;
    const host::FrameResult frame = inst.render(req);
    results[PF_Cmd_SMART_PRE_RENDER] = frame.pre_render.err;
    results[PF_Cmd_SMART_RENDER] = frame.render.err;
    results[PF_Cmd_SEQUENCE_SETDOWN] = inst.send(PF_Cmd_SEQUENCE_SETDOWN).err;
    effect.shutdown();
    EXPECT_EQ(results[w.during], w.result);
    EXPECT_EQ(answer, w.answer);
    EXPECT_TRUE(fake::FaultsAre(effect, w.faults));
}

INSTANTIATE_TEST_SUITE_P(EachWrong, FaultTest, ::testing::ValuesIn(kWrongs),
                         [](const ::testing::TestParamInfo<Wrong> &p) { return p.param.name; });

}  // namespace
