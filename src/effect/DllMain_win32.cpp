// Library load and unload on Windows. Declared by hand so that only the
// platform and dialog code include the Windows headers.
#include "params/Params.h"
#include "platform/Module.h"

namespace tavroDlg {
void ClearDialogMap();
}

namespace {
constexpr unsigned long kProcessDetach = 0;  // DLL_PROCESS_DETACH
constexpr unsigned long kProcessAttach = 1;  // DLL_PROCESS_ATTACH
}  // namespace

extern "C" int __stdcall DllMain(void *instance, unsigned long reason, void *)
{
    if (reason == kProcessAttach) {
        platform::SetOwnModule(instance);
    } else if (reason == kProcessDetach) {
        tavroDlg::ClearDialogMap();
        params::DeleteAllBuilders();
    }
    return 1;
}
