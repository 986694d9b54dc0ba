// Loading an effect library and finding its entry point.
#include <utility>

#include "host/Host.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace host {
namespace {

#ifdef _WIN32
std::string LastError()
{
    const DWORD code = GetLastError();
    char *text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string s = n ? std::string(text, n) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ')) s.pop_back();
    return s;
}
#endif

void Unload(void *module)
{
    if (!module) return;
#ifdef _WIN32
    FreeLibrary(static_cast<HMODULE>(module));
#else
    dlclose(module);
#endif
}

}  // namespace

Plugin Plugin::load(const std::string &path, const std::string &entry_name)
{
    Plugin p;
    p.path_ = path;
#ifdef _WIN32
    HMODULE module = LoadLibraryA(path.c_str());
    if (!module) throw HostError("cannot load the plug-in " + path + ": " + LastError());
    FARPROC entry = GetProcAddress(module, entry_name.c_str());
    if (!entry) {
        const std::string why = LastError();
        FreeLibrary(module);
        throw HostError("the plug-in " + path + " does not export " + entry_name + ": " + why);
    }
    p.module_ = module;
    p.entry_ = reinterpret_cast<PF_FilterProc>(reinterpret_cast<void *>(entry));
#else
    void *module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char *why = dlerror();
        throw HostError("cannot load the plug-in " + path + ": " + (why ? why : "unknown reason"));
    }
    dlerror();
    void *entry = dlsym(module, entry_name.c_str());
    if (!entry) {
        const char *why = dlerror();
        const std::string reason = why ? why : "no such symbol";
        dlclose(module);
        throw HostError("the plug-in " + path + " does not export " + entry_name + ": " + reason);
    }
    p.module_ = module;
    p.entry_ = reinterpret_cast<PF_FilterProc>(entry);
#endif
    return p;
}

Plugin::Plugin(PF_FilterProc entry_point, std::string name)
    : entry_(entry_point), path_(std::move(name))
{
    if (!entry_) throw HostError("no entry point given for " + path_);
}

Plugin::Plugin(Plugin &&other) noexcept
    : entry_(other.entry_), path_(std::move(other.path_)), module_(other.module_)
{
    other.entry_ = nullptr;
    other.module_ = nullptr;
}

Plugin &Plugin::operator=(Plugin &&other) noexcept
{
    if (this != &other) {
        Unload(module_);
        entry_ = other.entry_;
        path_ = std::move(other.path_);
        module_ = other.module_;
        other.entry_ = nullptr;
        other.module_ = nullptr;
    }
    return *this;
}

Plugin::~Plugin()
{
    Unload(module_);
}

}  // namespace host
