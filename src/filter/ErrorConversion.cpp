#include "ErrorConversion.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>

#include "AEException.h"

namespace filter {
namespace {

// "不明なエラー" (unknown error), Shift-JIS.
constexpr char kUnknownError[] = "\x95\x73\x96\xBE\x82\xC8\x83\x47\x83\x89\x81\x5B";

void CopyMessage(PF_OutData *out_data, const char *message)
{
    if (!out_data) {
        return;
    }
    // The buffer holds 255 characters and the terminator; our own messages
    // always fit, a longer one from elsewhere is cut.
    const std::size_t n = std::min(std::strlen(message), sizeof out_data->return_msg - 1);
    std::memcpy(out_data->return_msg, message, n);
    out_data->return_msg[n] = '\0';
}

}  // namespace

const char *ErrorName(PF_Err code)
{
    switch (code) {
        case PF_Err_NONE:
            return "PF_Err_NONE";
        case 1:
        case 2:
        case 3:
            return "";
        case PF_Err_OUT_OF_MEMORY:
            return "PF_Err_OUT_OF_MEMORY";
        case PF_Err_INTERNAL_STRUCT_DAMAGED:
            return "PF_Err_INTERNAL_STRUCT_DAMAGED";
        case PF_Err_INVALID_INDEX:
            return "PF_Err_INVALID_INDEX";
        case PF_Err_UNRECOGNIZED_PARAM_TYPE:
            return "PF_Err_UNRECOGNIZED_PARAM_TYPE";
        case PF_Err_INVALID_CALLBACK:
            return "PF_Err_INVALID_CALLBACK";
        case PF_Err_BAD_CALLBACK_PARAM:
            return "PF_Err_BAD_CALLBACK_PARAM";
        case PF_Interrupt_CANCEL:
            return "PF_Interrupt_CANCEL";
        case PF_Err_CANNOT_PARSE_KEYFRAME_TEXT:
            return "PF_Err_CANNOT_PARSE_KEYFRAME_TEXT";
        default:
            return "unknown";
    }
}

PF_Err ConvertCurrentException(PF_OutData *out_data) noexcept
{
    try {
        throw;
    } catch (const AEUtil::AEException &e) {
        CopyMessage(out_data, e.what());
        return e.error();
    } catch (const std::exception &e) {
        CopyMessage(out_data, e.what());
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    } catch (PF_Err code) {
        char message[2048];
        std::snprintf(message, sizeof message, "error code = %d\n%s", static_cast<int>(code),
                      ErrorName(code));
        CopyMessage(out_data, message);
        return code;
    } catch (...) {
        CopyMessage(out_data, kUnknownError);
        return PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
}

}  // namespace filter
