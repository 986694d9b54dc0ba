// The exception type of the host-utility library: a host error code plus a
// message that starts with the throwing source file and line.
#pragma once

#include <exception>
#include <string>

#include "AESdk.h"

namespace AEUtil {

class AEException : public std::exception {
public:
    // The message is "<file>(<line>): " followed by the formatted text; each
    // part is cut at 2047 characters.
    AEException(PF_Err error, int line, const char *file, const char *format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 5, 6)))
#endif
        ;

    PF_Err error() const noexcept
    {
        return error_;
    }
    const char *what() const noexcept override
    {
        return message_.c_str();
    }

private:
    PF_Err error_;
    std::string message_;
};

}  // namespace AEUtil
