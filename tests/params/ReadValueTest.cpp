// Reading parameter values into a RenderRecord: which definitions are
// fetched, where the layer pointers point, and that every checkout is paired
// with exactly one check-in, also for renders that overlap.
#include <gtest/gtest.h>

#include <cstring>

#include "FakeHost.h"
#include "RenderRecord.h"
#include "params/Params.h"

namespace {

using paramtest::FakeHost;

// Host indices from the parameter table.
constexpr A_long kDotSize = 3;
constexpr A_long kMaskLayer = 16;
constexpr A_long kCustomMapLayer[] = {40, 70, 100};

class Reading : public ::testing::Test {
protected:
    void SetUp() override
    {
        paramtest::EnsureParamTable();
        ASSERT_EQ(params::DeclareParams(&host.in, &host.out), PF_Err_NONE);
        host.AdoptDeclared();
        std::memset(&record, 0, sizeof record);
    }
    bool CheckedOut(A_long index) const
    {
        auto it = host.outstanding.find(index);
        return it != host.outstanding.end() && it->second > 0;
    }
    FakeHost host;
    RenderRecord record;
};

TEST_F(Reading, DisabledLayerParameterYieldsNullAndIsNotCheckedOut)
{
    host.current[kMaskLayer].ui_flags |= PF_PUI_DISABLED;
    record.MaskLayer = reinterpret_cast<PF_LayerDef *>(&host);  // stale value to be cleared
    std::vector<PF_ParamDef *> array = host.ParamArray();
    params::GetParamByCheckout reader(&host.in, array.data(), false);

    ASSERT_EQ(params::ReadAllValues(&record, reader), PF_Err_NONE);
    EXPECT_EQ(record.MaskLayer, nullptr);
    EXPECT_FALSE(CheckedOut(kMaskLayer));
    for (A_long index : kCustomMapLayer) {
        EXPECT_TRUE(CheckedOut(index));
    }
    // 122 builders, less 4 group starts and 4 group ends, less one disabled layer.
    EXPECT_EQ(host.checkouts, 122 - 8 - 1);
    EXPECT_EQ(params::CheckinAllValues(reader), PF_Err_NONE);
    EXPECT_TRUE(host.Balanced());
}

TEST_F(Reading, ReaderThatSkipsLayersFetchesNoLayerAndHandsBackOnce)
{
    params::GetParamByCheckout reader(&host.in, nullptr, true);
    ASSERT_EQ(params::ReadAllValues(&record, reader), PF_Err_NONE);
    EXPECT_EQ(record.MaskLayer, nullptr);
    for (const EffectorSettings &e : record.Effectors) {
        EXPECT_EQ(e.mapLayer, nullptr);
    }
    EXPECT_EQ(host.checkouts, 122 - 8 - 4);  // no group marker, no layer
    EXPECT_EQ(params::CheckinAllValues(reader), PF_Err_NONE);
    EXPECT_EQ(params::CheckinAllValues(reader), PF_Err_NONE);  // a second time: nothing more
    EXPECT_TRUE(host.Balanced());
}

// Two renders at different times overlap: B reads while A still holds its
// checked-out definitions. Each record points into its own reader's
// definitions and sees its own values.
TEST_F(Reading, InterleavedRendersKeepTheirOwnDefinitions)
{
    PF_InData inA = host.in;
    PF_InData inB = host.in;
    inA.current_time = 100;
    inB.current_time = 200;
    RenderRecord recordB;
    std::memset(&recordB, 0, sizeof recordB);
    params::GetParamByCheckout readerA(&inA, nullptr, false);
    params::GetParamByCheckout readerB(&inB, nullptr, false);

    ASSERT_EQ(params::ReadAllValues(&record, readerA), PF_Err_NONE);
    host.current[kDotSize].u.fs_d.value = 55.0;  // the value changes between the two
    ASSERT_EQ(params::ReadAllValues(&recordB, readerB), PF_Err_NONE);

    EXPECT_EQ(record.MaskLayer, &readerA.Fetched().Definition(kMaskLayer).u.ld);
    EXPECT_EQ(recordB.MaskLayer, &readerB.Fetched().Definition(kMaskLayer).u.ld);
    ASSERT_NE(record.MaskLayer, nullptr);
    EXPECT_EQ(record.MaskLayer->height, kMaskLayer);  // the fake host's marks
    EXPECT_EQ(record.MaskLayer->width, 100);
    EXPECT_EQ(recordB.MaskLayer->width, 200);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(record.Effectors[k].mapLayer,
                  &readerA.Fetched().Definition(kCustomMapLayer[k]).u.ld);
        EXPECT_EQ(recordB.Effectors[k].mapLayer->width, 200);
    }
    EXPECT_EQ(record.DotSize, 10.0);
    EXPECT_EQ(recordB.DotSize, 55.0);

    // A finishes first; B's layers are untouched by A's check-in.
    EXPECT_EQ(params::CheckinAllValues(readerA), PF_Err_NONE);
    EXPECT_EQ(recordB.MaskLayer->width, 200);
    EXPECT_EQ(params::CheckinAllValues(readerB), PF_Err_NONE);
    EXPECT_TRUE(host.Balanced());
}

TEST_F(Reading, FailedCheckoutStopsTheReadAndLeavesTheDefinitionZero)
{
    host.checkoutError = PF_Err_OUT_OF_MEMORY;
    params::GetParamByCheckout reader(&host.in, nullptr, false);
    EXPECT_EQ(params::ReadAllValues(&record, reader), PF_Err_OUT_OF_MEMORY);
    EXPECT_EQ(host.checkoutTimes.size(), 1u);  // the first builder's attempt only

    PF_ParamDef zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&reader.Fetched().Definition(1), &zero, sizeof zero), 0);

    // Nothing was checked out, so nothing is handed back.
    EXPECT_EQ(params::CheckinAllValues(reader), PF_Err_NONE);
    EXPECT_TRUE(host.Balanced());
}

TEST_F(Reading, ArrayReaderCopiesTheCommandsDefinitionsWithoutCheckouts)
{
    host.current[kDotSize].u.fs_d.value = 42.5;
    host.current[kMaskLayer].u.ld.width = 640;
    std::vector<PF_ParamDef *> array = host.ParamArray();
    params::GetParamFromArray reader(array.data());
    ASSERT_EQ(params::ReadAllValues(&record, reader), PF_Err_NONE);
    EXPECT_EQ(record.DotSize, 42.5);
    ASSERT_NE(record.MaskLayer, nullptr);
    EXPECT_EQ(record.MaskLayer->width, 640);
    EXPECT_EQ(params::CheckinAllValues(reader), PF_Err_NONE);
    EXPECT_EQ(host.checkouts, 0);
    EXPECT_TRUE(host.Balanced());  // nor check-ins
}

}  // namespace
