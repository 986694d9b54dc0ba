#include "Module.h"

namespace platform {
namespace {
void *g_module = nullptr;
}

void SetOwnModule(void *module)
{
    g_module = module;
}

void *OwnModule()
{
    return g_module;
}

}  // namespace platform
