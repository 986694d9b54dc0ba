// Library unload elsewhere than on Windows: the parameter builders go with
// the library, as they do on process detach of the Windows DLL.
#include "params/Params.h"

namespace {

struct LibraryLifetime {
    LibraryLifetime() = default;
    ~LibraryLifetime() { params::DeleteAllBuilders(); }
    LibraryLifetime(const LibraryLifetime &) = delete;
    LibraryLifetime &operator=(const LibraryLifetime &) = delete;
};

LibraryLifetime g_lifetime;

}  // namespace
