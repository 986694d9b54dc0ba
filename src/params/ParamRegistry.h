// The process-wide table of parameter builders. It is filled once, when the
// effect object is created (BuildParamTable), and only read afterwards, from
// any thread.
#pragma once

#include <memory>
#include <vector>

#include "AEUtil/AESdk.h"

namespace params {

class BaseParam;

// Deletes every builder and empties the lists. The next-index counter keeps
// counting: host indices are handed out once per library load.
void ClearParamRegistry();

// The host index for the next builder, counting from 1 (index 0 is the
// input layer, which the host supplies).
A_u_long TakeNextParamIndex();

// The registry owns the builder from here on.
void AppendParam(std::unique_ptr<BaseParam> param);

// After the last builder: sorts the lookup by id and the walk by index, and
// records the parameter count (builders plus the input layer).
void FinishParamRegistry();

// Host index of the builder with that id; 0 (the input layer) when none has it.
A_long FindParamIndex(A_u_long id);

// Builder of that id, or null.
BaseParam *FindParam(A_u_long id);

// Number of host parameters, the input layer included.
A_long ParamCount();

// The builders in host index order.
const std::vector<BaseParam *> &ParamsInIndexOrder();

}  // namespace params
