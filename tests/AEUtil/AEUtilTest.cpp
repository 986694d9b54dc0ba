// The host-utility library against a scripted basic suite. (An exception's
// message, file and line: WorldSuite's host failure and ErrorConversion.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "AEException.h"
#include "AEWorldSuite.h"
#include "SuiteSet.h"

namespace {

// A basic suite whose suites and failures each test arranges, counting every
// acquisition and release by name and version.
struct FakeBasic {
    std::map<std::string, const void *> suites;  // "name/version"
    std::map<std::string, int> balance;
    int worldsMade = 0;
    int worldsDisposed = 0;
    PF_Err newWorldError = PF_Err_NONE;
    PF_Boolean lastClear = 0;
    PF_NewWorldFlags lastFlags = 0;

    static FakeBasic *current;

    static std::string Key(const char *name, int32 version)
    {
        return std::string(name) + "/" + std::to_string(version);
    }
    static SPErr Acquire(const char *name, int32 version, const void **suite)
    {
        auto it = current->suites.find(Key(name, version));
        if (it == current->suites.end()) {
            *suite = nullptr;
            return 1;
        }
        *suite = it->second;
        ++current->balance[Key(name, version)];
        return kSPNoError;
    }
    static SPErr Release(const char *name, int32 version)
    {
        --current->balance[Key(name, version)];
        return kSPNoError;
    }

    SPBasicSuite basic{};
    FakeBasic()
    {
        current = this;
        basic.AcquireSuite = Acquire;
        basic.ReleaseSuite = Release;
    }
    bool Balanced() const
    {
        return std::all_of(balance.begin(), balance.end(),
                           [](const auto &entry) { return entry.second == 0; });
    }
};
FakeBasic *FakeBasic::current = nullptr;

PF_Err NewWorld2(PF_ProgPtr, A_long w, A_long h, PF_Boolean clear, PF_PixelFormat,
                 PF_EffectWorld *world)
{
    FakeBasic::current->lastClear = clear;
    if (FakeBasic::current->newWorldError != PF_Err_NONE) {
        return FakeBasic::current->newWorldError;
    }
    ++FakeBasic::current->worldsMade;
    world->width = w;
    world->height = h;
    return PF_Err_NONE;
}
PF_Err DisposeWorld(PF_ProgPtr, PF_EffectWorld *)
{
    ++FakeBasic::current->worldsDisposed;
    return PF_Err_NONE;
}
PF_Err PixelFormat2(const PF_EffectWorld *, PF_PixelFormat *format)
{
    *format = PF_PixelFormat_ARGB128;
    return PF_Err_NONE;
}
PF_Err NewWorld1(PF_ProgPtr, A_long w, A_long h, PF_NewWorldFlags flags, PF_EffectWorld *world)
{
    FakeBasic::current->lastFlags = flags;
    ++FakeBasic::current->worldsMade;
    world->width = w;
    world->height = h;
    return PF_Err_NONE;
}

const PF_WorldSuite2 kWorld2{NewWorld2, DisposeWorld, PixelFormat2};
const PF_WorldSuite1 kWorld1{NewWorld1, DisposeWorld};
const PF_FillMatteSuite2 kFill{};

PF_InData InDataFor(FakeBasic &fake)
{
    PF_InData in{};
    in.pica_basicP = &fake.basic;
    return in;
}

TEST(AEException, EachPartIsCutAt2047Characters)
{
    const std::string longName(3000, 'f');
    const std::string longText(3000, 't');
    const AEUtil::AEException e(1, 1, longName.c_str(), "%s", longText.c_str());
    EXPECT_EQ(std::strlen(e.what()), 2047u + 2047u);
}

TEST(SuiteSet, AcquiresOnceAndReleasesEverythingAtTheEnd)
{
    FakeBasic fake;
    fake.suites[FakeBasic::Key(kPFFillMatteSuite, 2)] = &kFill;
    {
        AEUtil::SuiteSet set(&fake.basic);
        EXPECT_EQ(set.FillMatte(), &kFill);
        EXPECT_EQ(set.FillMatte(), &kFill);
        EXPECT_EQ(fake.balance[FakeBasic::Key(kPFFillMatteSuite, 2)], 1);
    }
    EXPECT_TRUE(fake.Balanced());
}

TEST(SuiteSet, WithoutTheBasicSuiteOrASuiteThrowsAndStillReleasesTheOthers)
{
    FakeBasic fake;
    fake.suites[FakeBasic::Key(kPFFillMatteSuite, 2)] = &kFill;
    for (SPBasicSuite *basic : {static_cast<SPBasicSuite *>(nullptr), &fake.basic}) {
        try {
            AEUtil::SuiteSet set(basic);
            set.FillMatte();
            set.WorldTransform();
            ADD_FAILURE() << "no exception";
        } catch (PF_Err err) {
            EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
        }
    }
    EXPECT_TRUE(fake.Balanced());
}

TEST(WorldSuite, NewWorldIsClearedAndDisposedByItsLastOwner)
{
    FakeBasic fake;
    fake.suites[FakeBasic::Key(kPFWorldSuite, 2)] = &kWorld2;
    PF_InData in = InDataFor(fake);
    {
        AEUtil::EffectWorldPtr a =
            AEUtil::WorldSuite::newWorld(&in, 30, 20, 0, PF_PixelFormat_ARGB128);
        EXPECT_EQ(fake.lastClear, 1);
        EXPECT_EQ(a->width, 30);
        AEUtil::EffectWorldPtr b = a;
        EXPECT_EQ(a.owners(), 2);
        a.reset();
        EXPECT_EQ(fake.worldsDisposed, 0);
        EXPECT_EQ(b.owners(), 1);
    }
    EXPECT_EQ(fake.worldsMade, 1);
    EXPECT_EQ(fake.worldsDisposed, 1);
    EXPECT_TRUE(fake.Balanced());
}

TEST(WorldSuite, FallsBackToVersion1ForDeepWorlds)
{
    FakeBasic fake;
    fake.suites[FakeBasic::Key(kPFWorldSuite, 1)] = &kWorld1;
    PF_InData in = InDataFor(fake);
    {
        AEUtil::EffectWorldPtr w =
            AEUtil::WorldSuite::newWorld(&in, 4, 4, 0, PF_PixelFormat_ARGB64);
        EXPECT_EQ(fake.lastFlags, PF_NewWorldFlag_CLEAR_PIXELS | PF_NewWorldFlag_DEEP_PIXELS);
    }
    EXPECT_EQ(fake.worldsDisposed, 1);
    EXPECT_TRUE(fake.Balanced());
}

TEST(WorldSuite, HostFailureBecomesAnExceptionFromLine151)
{
    FakeBasic fake;
    fake.suites[FakeBasic::Key(kPFWorldSuite, 2)] = &kWorld2;
    fake.newWorldError = PF_Err_OUT_OF_MEMORY;
    PF_InData in = InDataFor(fake);
    try {
        AEUtil::WorldSuite::newWorld(&in, 4, 4, 0, PF_PixelFormat_ARGB32);
        FAIL() << "no exception";
    } catch (const AEUtil::AEException &e) {
        EXPECT_EQ(e.error(), PF_Err_OUT_OF_MEMORY);
        EXPECT_STREQ(e.what(),
                     "AEWorldSuite.cpp(151): class AEUtil::EffectWorldPtr __cdecl "
                     "AEUtil::WorldSuite::newWorld(PF_InData *,int,int,char,int)");
    }
    EXPECT_TRUE(fake.Balanced());
}

TEST(WorldSuite, PixelFormatWithoutVersion2FollowsTheDeepFlag)
{
    FakeBasic fake;
    PF_EffectWorld world{};
    PF_PixelFormat format = 0;
    world.world_flags = PF_WorldFlag_DEEP;
    EXPECT_EQ(AEUtil::GetPixelFormat(&fake.basic, &world, &format), PF_Err_NONE);
    EXPECT_EQ(format, PF_PixelFormat_ARGB64);
    world.world_flags = 0;
    AEUtil::GetPixelFormat(&fake.basic, &world, &format);
    EXPECT_EQ(format, PF_PixelFormat_ARGB32);
    fake.suites[FakeBasic::Key(kPFWorldSuite, 2)] = &kWorld2;
    AEUtil::GetPixelFormat(&fake.basic, &world, &format);
    EXPECT_EQ(format, PF_PixelFormat_ARGB128);
    EXPECT_TRUE(fake.Balanced());
}

}  // namespace
