// The plug-in's own module handle, kept when the library is loaded: the
// options dialog loads its template and banner from it.
#pragma once

namespace platform {

void SetOwnModule(void *module);
void *OwnModule();

}  // namespace platform
