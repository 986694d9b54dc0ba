// The basic suite and the suites it hands out by name and version. Unknown
// pairs and withheld suites are refused with an error and a null pointer;
// acquisitions and releases are counted per command, and whatever is not
// released by the end of the command is a fault.
#include <cstdlib>
#include <cstring>
#include <string>

#include "host/Compositing_p.h"
#include "host/Core_p.h"
#include "host/Handles_p.h"
#include "host/Params_p.h"
#include "host/Unsupported_p.h"
#include "host/Worlds_p.h"

namespace host {
namespace detail {
namespace {

// The basic suite's own "not found" answer ('S!Nf').
constexpr SPErr kSuiteNotFound = 0x53214E66;
constexpr SPErr kBadParameter = 0x50726D21;   // 'Prm!'
constexpr SPErr kUnimplemented = 0x21494D50;  // '!IMP'

const PF_WorldSuite1 kWorldSuite1 = {CbNewWorld, CbDisposeWorld};
const PF_WorldSuite2 kWorldSuite2 = {CbNewWorld2, CbDisposeWorld2, CbGetPixelFormat};
const PF_FillMatteSuite2 kFillMatteSuite2 = {CbFill,
                                             CbFill16,
                                             CbFillFloat,
                                             CbPremultiply,
                                             CbPremultiplyColor,
                                             CbPremultiplyColor16,
                                             CbPremultiplyColorFloat};
const PF_WorldTransformSuite1 kWorldTransformSuite1 = {
    CbCompositeRect, CbBlend, CbConvolve, CbCopy, CbCopyHq, CbTransferRect, CbTransformWorld};
const PF_HandleSuite1 kHandleSuite1 = {CbNewHandle,     CbLockHandle,    CbUnlockHandle,
                                       CbDisposeHandle, CbGetHandleSize, CbResizeHandle};
const PF_ParamUtilsSuite3 kParamUtilsSuite3 = {
    CbUpdateParamUI,       CbGetCurrentState,  CbAreStatesIdentical,
    CbIsIdenticalCheckout, CbFindKeyframeTime, CbGetKeyframeCount,
    CbCheckoutKeyframe,    CbCheckinKeyframe,  CbKeyIndexToTime};
const PF_ParamUtilsSuite1 kParamUtilsSuite1 = {
    CbUpdateParamUI,           CbGetCurrentStateObsolete,
    CbHasParamChangedObsolete, CbHaveInputsChangedObsolete,
    CbIsIdenticalCheckout,     CbFindKeyframeTime,
    CbGetKeyframeCount,        CbCheckoutKeyframe,
    CbCheckinKeyframe,         CbKeyIndexToTime};

struct Offered {
    const char *name;
    A_long version;
    const void *suite;
};

const void *Lookup(const char *name, A_long version)
{
    static const Offered offered[] = {
        {kSPBasicSuite, kSPBasicSuiteVersion, BasicSuite()},
        {kPFWorldSuite, kPFWorldSuiteVersion1, &kWorldSuite1},
        {kPFWorldSuite, kPFWorldSuiteVersion2, &kWorldSuite2},
        {kPFFillMatteSuite, kPFFillMatteSuiteVersion2, &kFillMatteSuite2},
        {kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1, &kWorldTransformSuite1},
        {kPFHandleSuite, kPFHandleSuiteVersion1, &kHandleSuite1},
        {kPFParamUtilsSuite, kPFParamUtilsSuiteVersion3, &kParamUtilsSuite3},
        {kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1, &kParamUtilsSuite1},
    };
    for (const Offered &o : offered) {
        if (o.version == version && std::strcmp(o.name, name) == 0) return o.suite;
    }
    return nullptr;
}

std::string Describe(const char *name, A_long version)
{
    return "\"" + std::string(name) + "\" version " + std::to_string(version);
}

SPErr AcquireSuite(const char *name, int32 version, const void **suite)
{
    if (!suite || !name) {
        if (CommandContext *ctx = CurrentContext()) {
            ctx->fault("AcquireSuite without a name or a place for the suite");
        }
        return kBadParameter;
    }
    *suite = nullptr;
    CommandContext *ctx = CurrentContext();
    if (ctx && ctx->core.withheld(name, version)) return kSuiteNotFound;
    const void *found = Lookup(name, version);
    if (!found) return kSuiteNotFound;
    *suite = found;
    if (ctx) {
        std::lock_guard<std::mutex> lock(ctx->mutex);
        ++ctx->suites[{name, version}].acquired;
    }
    return kSPNoError;
}

SPErr ReleaseSuite(const char *name, int32 version)
{
    CommandContext *ctx = CurrentContext();
    if (!name) {
        if (ctx) ctx->fault("ReleaseSuite without a name");
        return kBadParameter;
    }
    if (!Lookup(name, version)) {
        if (ctx)
            ctx->fault("ReleaseSuite of " + Describe(name, version) +
                       ", which the host does not offer");
        return kSuiteNotFound;
    }
    if (!ctx) return kSPNoError;
    bool over;
    {
        std::lock_guard<std::mutex> lock(ctx->mutex);
        auto &count = ctx->suites[{name, version}];
        over = count.released >= count.acquired;
        if (!over) ++count.released;
    }
    if (over) {
        ctx->fault("ReleaseSuite of " + Describe(name, version) +
                   " more often than it was acquired");
    }
    return kSPNoError;
}

SPBoolean IsEqual(const char *a, const char *b)
{
    return a && b && std::strcmp(a, b) == 0;
}

SPErr AllocateBlock(size_t size, void **block)
{
    if (!block) return kBadParameter;
    *block = std::malloc(size ? size : 1);
    return *block ? kSPNoError : PF_Err_OUT_OF_MEMORY;
}

SPErr FreeBlock(void *block)
{
    std::free(block);
    return kSPNoError;
}

SPErr ReallocateBlock(void *block, size_t size, void **fresh)
{
    if (!fresh) return kBadParameter;
    *fresh = std::realloc(block, size ? size : 1);
    return *fresh ? kSPNoError : PF_Err_OUT_OF_MEMORY;
}

SPErr Undefined()
{
    return kUnimplemented;
}

}  // namespace

SPBasicSuite *BasicSuite()
{
    static SPBasicSuite suite = {AcquireSuite, ReleaseSuite,    IsEqual,  AllocateBlock,
                                 FreeBlock,    ReallocateBlock, Undefined};
    return &suite;
}

}  // namespace detail
}  // namespace host
