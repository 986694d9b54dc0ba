// The effect's parameter list: 122 builders in host order (indices 1 to 122;
// index 0 is the input layer), so the host sees 123 parameters.
//
// Display names and popup items are GBK byte strings. A name is both the
// host's parameter name and the key in the defaults file; names are held
// without trailing blanks. (Windows' INI functions ignore blanks around a
// key anyway, so the file could not tell them apart.)
#pragma once

namespace params {

// Clears the ParamRegistry, creates every builder and finishes the registry.
// Runs once, when the effect object is created.
void BuildParamTable();

}  // namespace params
