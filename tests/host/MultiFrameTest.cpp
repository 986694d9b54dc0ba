// Frames of one instance rendered by several threads at once: an effect that
// declares itself thread-safe renders them concurrently, any other in turn,
// and the instance's other commands wait for the frames in flight.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "FakeEffect.h"

using fake::Call;

namespace {

struct Flags {
    const char *name;
    PF_OutFlags2 flags;
    bool at_once;
};

void PrintTo(const Flags &f, std::ostream *os)
{
    *os << f.name;
}

class MultiFrame : public ::testing::TestWithParam<Flags> {};

TEST_P(MultiFrame, FramesOverlapOnlyForThreadSafeEffects)
{
    const Flags &f = GetParam();
    fake::FakeEffect fx;
    fx.out_flags2 |= f.flags;
    fx.defs = {fake::Slider("Count", 1, 0, 9, 1)};
    fx.on(PF_Cmd_SMART_PRE_RENDER, fake::CheckoutInput);
    std::mutex m;
    std::condition_variable cv;
    int inside = 0, most = 0;
    bool flattened_inside = false;
    // Each frame waits for the other to come in: concurrent frames meet at
    // once, frames in turn never do (the wait then ends by its time-out).
    fx.does(PF_Cmd_SMART_RENDER, [&](Call &) {
        std::unique_lock<std::mutex> lock(m);
        most = std::max(most, ++inside);
        cv.notify_all();
        cv.wait_for(lock, f.at_once ? std::chrono::seconds(20) : std::chrono::milliseconds(50),
                    [&] { return most == 2; });
        --inside;
    });
    fx.does(PF_Cmd_SEQUENCE_FLATTEN, [&](Call &) {
        std::lock_guard<std::mutex> lock(m);
        flattened_inside = inside > 0;
    });
    host::Effect effect(fx.plugin());
    host::Instance inst = effect.newInstance(4, 2);
    EXPECT_EQ(inst.rendersConcurrently(), f.at_once);
    const host::World input(4, 2, host::Depth::k8);
    host::FrameRequest req;
    req.input = &input;
    std::thread other([&] { EXPECT_TRUE(inst.render(req).ok()); });
    // The flatten comes while frames are in flight (all that will meet), not
    // before: a waiting flatten may hold back frames that have yet to start.
    std::thread flatten([&] {
        {
            std::unique_lock<std::mutex> lock(m);
            cv.wait(lock, [&] { return most == (f.at_once ? 2 : 1); });
        }
        EXPECT_TRUE(inst.sequenceFlatten().ok());
    });
    EXPECT_TRUE(inst.render(req).ok());
    other.join();
    flatten.join();
    EXPECT_EQ(most, f.at_once ? 2 : 1);
    EXPECT_FALSE(flattened_inside);
    effect.shutdown();
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

INSTANTIATE_TEST_SUITE_P(
    EachDeclaration, MultiFrame,
    ::testing::Values(Flags{"ThreadedRendering", PF_OutFlag2_SUPPORTS_THREADED_RENDERING, true},
                      Flags{"ThreadSafe", PF_OutFlag2_I_AM_THREADSAFE, true},
                      Flags{"NeitherTakesTurns", 0, false},
                      Flags{"MutableSequenceDataTakesTurns",
                            PF_OutFlag2_I_AM_THREADSAFE |
                                PF_OutFlag2_MUTABLE_RENDER_SEQUENCE_DATA_SLOWER,
                            false}),
    [](const ::testing::TestParamInfo<Flags> &p) { return p.param.name; });

}  // namespace
