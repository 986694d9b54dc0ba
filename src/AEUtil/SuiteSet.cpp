#include "SuiteSet.h"

#include <cstring>

namespace AEUtil {

SuiteSet::SuiteSet(SPBasicSuite *basic) : basic_(basic)
{
    if (!basic_) {
        throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
    }
}

SuiteSet::~SuiteSet()
{
    for (auto it = acquired_.rbegin(); it != acquired_.rend(); ++it) {
        basic_->ReleaseSuite(it->name, it->version);
    }
}

const void *SuiteSet::Acquire(const char *name, int32 version)
{
    for (const Entry &e : acquired_) {
        if (e.version == version && std::strcmp(e.name, name) == 0) {
            return e.suite;
        }
    }
    const void *suite = nullptr;
    const SPErr err = basic_->AcquireSuite(name, version, &suite);
    if (err != kSPNoError || !suite) {
        if (err == kSPNoError) {
            // The host handed out nothing but counts the acquisition.
            basic_->ReleaseSuite(name, version);
        }
        throw PF_Err(PF_Err_BAD_CALLBACK_PARAM);
    }
    acquired_.push_back(Entry{name, version, suite});
    return suite;
}

const PF_FillMatteSuite2 *SuiteSet::FillMatte()
{
    return Get<PF_FillMatteSuite2>(kPFFillMatteSuite, kPFFillMatteSuiteVersion2);
}

const PF_WorldTransformSuite1 *SuiteSet::WorldTransform()
{
    return Get<PF_WorldTransformSuite1>(kPFWorldTransformSuite, kPFWorldTransformSuiteVersion1);
}

const PF_HandleSuite1 *SuiteSet::Handle()
{
    return Get<PF_HandleSuite1>(kPFHandleSuite, kPFHandleSuiteVersion1);
}

}  // namespace AEUtil
