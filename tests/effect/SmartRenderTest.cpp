// The effect object's render steps on their own, with a host that hands out
// only what each case needs: anything else it would have to offer (suites,
// parameters) is missing, so reaching for it fails the test.
#include <gtest/gtest.h>

#include <vector>

#include "effect/CustomFilter.h"

namespace {

// checkout_layer_pixels gives `input` for the layer (id 0) and checkout_output
// gives `output`; every call is recorded.
struct SmartHost {
    static PF_EffectWorld *input;
    static PF_EffectWorld *output;
    static std::vector<A_long> pixelCheckouts;
    static std::vector<A_long> pixelCheckins;

    static PF_Err CheckoutPixels(PF_ProgPtr, A_long id, PF_EffectWorld **pixels)
    {
        pixelCheckouts.push_back(id);
        *pixels = id == 0 ? input : nullptr;
        return PF_Err_NONE;
    }
    static PF_Err CheckinPixels(PF_ProgPtr, A_long id)
    {
        pixelCheckins.push_back(id);
        return PF_Err_NONE;
    }
    static PF_Err CheckoutOutput(PF_ProgPtr, PF_EffectWorld **world)
    {
        *world = output;
        return PF_Err_NONE;
    }
};
PF_EffectWorld *SmartHost::input = nullptr;
PF_EffectWorld *SmartHost::output = nullptr;
std::vector<A_long> SmartHost::pixelCheckouts;
std::vector<A_long> SmartHost::pixelCheckins;

TEST(SmartRender, WithoutAnInputOrAnOutputWorldNothingIsDrawnAndTheLayerIsCheckedIn)
{
    CustomFilter effect;
    RenderRecord record{};
    record.pixelFormat = PF_PixelFormat_INVALID;
    void *block = &record;
    PF_UtilCallbacks utils{};
    utils.host_lock_handle = [](PF_Handle h) { return *h; };
    utils.host_unlock_handle = [](PF_Handle) {};
    PF_InData in{};
    in.utils = &utils;  // no basic suite: a render step would fail here
    PF_OutData out{};
    PF_SmartRenderInput smartIn{};
    smartIn.pre_render_data = &block;
    PF_SmartRenderCallbacks cb{SmartHost::CheckoutPixels, SmartHost::CheckinPixels,
                               SmartHost::CheckoutOutput};
    PF_SmartRenderExtra extra{&smartIn, &cb};

    unsigned char pixels[4 * 4] = {};
    PF_EffectWorld world{};
    world.width = world.height = 2;
    world.rowbytes = 8;
    world.data = reinterpret_cast<PF_PixelPtr>(pixels);
    for (const bool haveInput : {false, true}) {
        SCOPED_TRACE(haveInput ? "no output" : "no input");
        SmartHost::input = haveInput ? &world : nullptr;
        SmartHost::output = haveInput ? nullptr : &world;
        SmartHost::pixelCheckouts.clear();
        SmartHost::pixelCheckins.clear();
        EXPECT_EQ(effect.SmartRender(&in, &out, &extra), PF_Err_NONE);
        EXPECT_EQ(SmartHost::pixelCheckouts, std::vector<A_long>{0});
        EXPECT_EQ(SmartHost::pixelCheckins, std::vector<A_long>{0});
        EXPECT_EQ(record.pixelFormat, PF_PixelFormat_INVALID);
        EXPECT_EQ(std::vector<unsigned char>(pixels, pixels + sizeof pixels),
                  std::vector<unsigned char>(sizeof pixels, 0));
    }
}

TEST(SmartRender, APixelFormatTheHostNeverSetIsAnUnrecognisedType)
{
    CustomFilter effect;
    RenderRecord record{};
    record.pixelFormat = PF_PixelFormat_INVALID;  // 'badf'
    EXPECT_EQ(effect.RenderWorlds(&record), 514);
}

}  // namespace
