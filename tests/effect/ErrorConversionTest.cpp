// Whatever a handler throws ends as a host code and a message.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "AEException.h"
#include "filter/ErrorConversion.h"

namespace {

template <typename Throw>
std::pair<PF_Err, std::string> Convert(Throw thrower)
{
    PF_OutData out{};
    std::memset(out.return_msg, 'x', sizeof out.return_msg);
    PF_Err err = PF_Err_NONE;
    try {
        thrower();
    } catch (...) {
        err = filter::ConvertCurrentException(&out);
    }
    return {err, std::string(out.return_msg)};
}

TEST(ErrorConversion, ThrownCodeIsReturnedWithItsNameOrUnknown)
{
    const std::pair<PF_Err, const char *> cases[] = {
        {PF_Err_BAD_CALLBACK_PARAM, "error code = 516\nPF_Err_BAD_CALLBACK_PARAM"},
        {517, "error code = 517\nPF_Interrupt_CANCEL"},
        {2, "error code = 2\n"},  // a code whose name is empty
        {600, "error code = 600\nunknown"},
        {-1, "error code = -1\nunknown"},
    };
    for (const auto &c : cases) {
        const auto r = Convert([&c] { throw PF_Err(c.first); });
        EXPECT_EQ(r.first, c.first);
        EXPECT_EQ(r.second, c.second);
    }
}

TEST(ErrorConversion, HostUtilityExceptionKeepsCodeAndText)
{
    auto r = Convert([] { throw AEUtil::AEException(4, 151, "AEWorldSuite.cpp", "%s", "boom"); });
    EXPECT_EQ(r.first, 4);
    EXPECT_EQ(r.second, "AEWorldSuite.cpp(151): boom");
}

TEST(ErrorConversion, StandardExceptionsAreInternalStructDamaged)
{
    auto r = Convert([] { throw std::bad_alloc(); });
    EXPECT_EQ(r.first, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_EQ(r.second, std::bad_alloc().what());
    EXPECT_EQ(Convert([] { throw std::length_error("too long"); }).second, "too long");
}

TEST(ErrorConversion, AnythingElseIsUnknownErrorInShiftJis)
{
    auto r = Convert([] { throw 1.5; });
    EXPECT_EQ(r.first, PF_Err_INTERNAL_STRUCT_DAMAGED);
    // 不明なエラー
    EXPECT_EQ(r.second, "\x95\x73\x96\xBE\x82\xC8\x83\x47\x83\x89\x81\x5B");
}

TEST(ErrorConversion, LongMessagesAreCutToTheBuffer)
{
    auto r = Convert([] { throw std::runtime_error(std::string(400, 'm')); });
    EXPECT_EQ(r.second.size(), 255u);
}

}  // namespace
