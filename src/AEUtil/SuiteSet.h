// Suites of one command: acquired from the host's basic suite on first use,
// kept for the command and all released, with the same name and version,
// when the set is destroyed, also when an exception passes through.
#pragma once

#include <vector>

#include "AESdk.h"

namespace AEUtil {

class SuiteSet {
public:
    // Throws the integer PF_Err_BAD_CALLBACK_PARAM without a basic suite.
    explicit SuiteSet(SPBasicSuite *basic);
    ~SuiteSet();
    SuiteSet(const SuiteSet &) = delete;
    SuiteSet &operator=(const SuiteSet &) = delete;

    SPBasicSuite *basic() const { return basic_; }

    // The suite of that name and version; a failed or empty acquisition
    // throws the integer PF_Err_BAD_CALLBACK_PARAM.
    const void *Acquire(const char *name, int32 version);

    template <typename Suite>
    const Suite *Get(const char *name, int32 version)
    {
        return static_cast<const Suite *>(Acquire(name, version));
    }

    const PF_FillMatteSuite2 *FillMatte();
    const PF_WorldTransformSuite1 *WorldTransform();
    const PF_HandleSuite1 *Handle();

private:
    struct Entry {
        const char *name;
        int32 version;
        const void *suite;
    };
    SPBasicSuite *basic_;
    std::vector<Entry> acquired_;
};

}  // namespace AEUtil
