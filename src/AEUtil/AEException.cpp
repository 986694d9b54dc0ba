#include "AEException.h"

#include <cstdarg>
#include <cstdio>

namespace AEUtil {

AEException::AEException(PF_Err error, int line, const char *file, const char *format, ...)
    : error_(error)
{
    char where[2048];
    std::snprintf(where, sizeof where, "%s(%d): ", file, line);
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    message_ = where;
    message_ += text;
}

}  // namespace AEUtil
