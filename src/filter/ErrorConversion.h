// Turning whatever a command handler throws into a host error code and a
// message in the host's message buffer.
#pragma once

#include "AESdk.h"

namespace filter {

// The name of a host error code as messages spell it ("unknown" for codes
// that have none, the empty text for 1 to 3).
const char *ErrorName(PF_Err code);

// To be called inside a catch block: converts the exception in flight and
// copies its message into out_data->return_msg (when out_data is set).
PF_Err ConvertCurrentException(PF_OutData *out_data) noexcept;

}  // namespace filter
