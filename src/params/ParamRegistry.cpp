#include "ParamRegistry.h"

#include <algorithm>

#include "BaseParam.h"

namespace params {

namespace {

// Set once the registry has been destroyed at library unload. A plain bool
// is constant-initialised and outlives every dynamic object of the library,
// so a clean-up that runs later (another static's destructor) can still ask.
bool g_registryGone = false;

struct Registry {
    Registry() = default;
    ~Registry() { g_registryGone = true; }
    Registry(const Registry &) = delete;
    Registry &operator=(const Registry &) = delete;

    A_u_long nextIndex = 1;
    std::vector<std::unique_ptr<BaseParam>> owned;  // construction order
    std::vector<BaseParam *> byId;
    std::vector<BaseParam *> byIndex;
    A_long count = 1;
};

Registry &TheRegistry()
{
    static Registry registry;
    return registry;
}

}  // namespace

void ClearParamRegistry()
{
    if (g_registryGone) {
        return;  // its destructor has deleted the builders already
    }
    Registry &r = TheRegistry();
    r.byId.clear();
    r.byIndex.clear();
    r.owned.clear();
    r.count = 1;
}

A_u_long TakeNextParamIndex()
{
    return TheRegistry().nextIndex++;
}

void AppendParam(std::unique_ptr<BaseParam> param)
{
    Registry &r = TheRegistry();
    r.byId.push_back(param.get());
    r.owned.push_back(std::move(param));
}

void FinishParamRegistry()
{
    Registry &r = TheRegistry();
    std::stable_sort(r.byId.begin(), r.byId.end(),
                     [](const BaseParam *a, const BaseParam *b) { return a->Id() < b->Id(); });
    r.byIndex = r.byId;
    std::stable_sort(
        r.byIndex.begin(), r.byIndex.end(),
        [](const BaseParam *a, const BaseParam *b) { return a->Index() < b->Index(); });
    r.count = static_cast<A_long>(r.byIndex.size()) + 1;
}

BaseParam *FindParam(A_u_long id)
{
    const std::vector<BaseParam *> &byId = TheRegistry().byId;
    const auto it =
        std::lower_bound(byId.begin(), byId.end(), id,
                         [](const BaseParam *p, A_u_long key) { return p->Id() < key; });
    return (it != byId.end() && (*it)->Id() == id) ? *it : nullptr;
}

A_long FindParamIndex(A_u_long id)
{
    const BaseParam *param = FindParam(id);
    return param ? param->Index() : 0;
}

A_long ParamCount()
{
    return TheRegistry().count;
}

const std::vector<BaseParam *> &ParamsInIndexOrder()
{
    return TheRegistry().byIndex;
}

}  // namespace params
