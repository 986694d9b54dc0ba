// Whatever a handler throws ends as a host code and a message.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>

#include "AEException.h"
#include "filter/ErrorConversion.h"

namespace {

TEST(ErrorConversion, EachKindOfExceptionGivesItsCodeAndMessage)
{
    const struct {
        std::function<void()> thrower;
        PF_Err code;
        std::string message;
    } cases[] = {
        {[] { throw PF_Err(PF_Err_BAD_CALLBACK_PARAM); }, 516,
         "error code = 516\nPF_Err_BAD_CALLBACK_PARAM"},
        {[] { throw PF_Err(517); }, 517, "error code = 517\nPF_Interrupt_CANCEL"},
        {[] { throw PF_Err(2); }, 2, "error code = 2\n"},  // a code whose name is empty
        {[] { throw PF_Err(600); }, 600, "error code = 600\nunknown"},
        {[] { throw PF_Err(-1); }, -1, "error code = -1\nunknown"},
        {[] { throw AEUtil::AEException(4, 151, "F.cpp", "%s", "boom"); }, 4, "F.cpp(151): boom"},
        {[] { throw std::bad_alloc(); }, 512, std::bad_alloc().what()},
        {[] { throw std::length_error("too long"); }, 512, "too long"},
        {[] { throw std::runtime_error(std::string(400, 'm')); }, 512, std::string(255, 'm')},
        // Anything else: 不明なエラー (unknown error) in Shift-JIS.
        {[] { throw 1.5; }, 512, "\x95\x73\x96\xBE\x82\xC8\x83\x47\x83\x89\x81\x5B"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message);
        PF_OutData out{};
        std::memset(out.return_msg, 'x', sizeof out.return_msg);
        PF_Err err = PF_Err_NONE;
        try {
            c.thrower();
        } catch (...) {
            err = filter::ConvertCurrentException(&out);
        }
        EXPECT_EQ(err, c.code);
        EXPECT_EQ(std::string(out.return_msg), c.message);
    }
}

}  // namespace
