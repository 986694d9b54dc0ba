#include "Module.h"

namespace platform {
namespace {
void *g_module = nullptr;
}

void SetModuleHandle(void *module)
{
    g_module = module;
}

void *GetModuleHandle()
{
    return g_module;
}

}  // namespace platform
