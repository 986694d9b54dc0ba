// A small host for the parameter tests: it records what the effect declares
// (add_param), serves checkouts from its own current definitions, checks that
// every check-in matches a checkout, offers the Param Utils and Handle suites
// through a basic suite, and records every PF_UpdateParamUI call.
#pragma once

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "AEUtil/AESdk.h"
#include "params/Params.h"
#include "params/SequenceRecord.h"

namespace paramtest {

class FakeHost {
public:
    FakeHost()
    {
        current_ = this;
        in.inter.add_param = AddParam;
        in.inter.checkout_param = Checkout;
        in.inter.checkin_param = Checkin;
        in.utils = &utils;
        utils.ansi.strcpy = [](A_char *dst, const A_char *src) { return std::strcpy(dst, src); };
        utils.host_lock_handle = handleSuite.host_lock_handle = LockHandle;
        utils.host_unlock_handle = handleSuite.host_unlock_handle = UnlockHandle;
        in.effect_ref = reinterpret_cast<PF_ProgPtr>(this);
        in.appl_id = 0x46585443;  // 'FXTC'
        in.version.major = 13;
        in.version.minor = 28;
        in.pica_basicP = &basic;
        basic.AcquireSuite = Acquire;
        basic.ReleaseSuite = Release;
        paramUtils3.PF_UpdateParamUI = paramUtils2.PF_UpdateParamUI = UpdateParamUI;
    }
    ~FakeHost() { current_ = nullptr; }
    FakeHost(const FakeHost &) = delete;
    FakeHost &operator=(const FakeHost &) = delete;

    PF_InData in{};
    PF_OutData out{};
    PF_UtilCallbacks utils{};
    SPBasicSuite basic{};
    PF_ParamUtilsSuite3 paramUtils3{};
    PF_ParamUtilsSuite1 paramUtils2{};
    PF_HandleSuite1 handleSuite{};

    // add_param: every definition as the effect passed it.
    std::vector<PF_ParamDef> added;
    PF_Err addError = PF_Err_NONE;  // returned by the add_param call number addFailAt
    int addFailAt = -1;

    // The host's current definitions by index: what checkouts return.
    std::vector<PF_ParamDef> current;
    PF_Err checkoutError = PF_Err_NONE;
    int checkouts = 0;
    std::map<A_long, int> outstanding;  // checkouts minus check-ins, by index
    bool checkinMismatch = false;       // a check-in of something never checked out
    std::vector<A_long> checkoutTimes;

    // Suites by "name/version", with acquisitions minus releases.
    std::map<std::string, int> suiteBalance;
    std::vector<std::string> acquired;
    bool offerParamUtils = true;
    bool offerHandleSuite = true;

    // PF_UpdateParamUI calls in order: index and the definition passed.
    std::vector<std::pair<A_long, PF_ParamDef>> uiUpdates;

    // Sequence data: the live record behind a handle.
    SequenceRecord sequence{};
    void *sequencePtr = &sequence;
    int locks = 0;
    int unlocks = 0;
    bool lockFails = false;

    void UseSequenceData() { in.sequence_data = &sequencePtr; }

    // After DeclareParams: the host's current values are the declared
    // defaults, index 0 being the input layer.
    void AdoptDeclared()
    {
        current.assign(1, PF_ParamDef{});
        current[0].param_type = PF_Param_LAYER;
        current.insert(current.end(), added.begin(), added.end());
    }

    // A parameter array over `current`, as the host passes it to a command.
    std::vector<PF_ParamDef *> ParamArray()
    {
        std::vector<PF_ParamDef *> array;
        for (PF_ParamDef &def : current) {
            array.push_back(&def);
        }
        return array;
    }

    bool Balanced() const
    {
        const auto zero = [](const auto &entry) { return entry.second == 0; };
        return std::all_of(outstanding.begin(), outstanding.end(), zero) &&
               std::all_of(suiteBalance.begin(), suiteBalance.end(), zero) && !checkinMismatch &&
               locks == unlocks;
    }

private:
    static FakeHost *Self(PF_ProgPtr ref) { return reinterpret_cast<FakeHost *>(ref); }

    static PF_Err AddParam(PF_ProgPtr ref, PF_ParamIndex index, PF_ParamDefPtr def)
    {
        FakeHost *host = Self(ref);
        if (index != -1) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (static_cast<int>(host->added.size()) == host->addFailAt) {
            return host->addError;
        }
        host->added.push_back(*def);
        return PF_Err_NONE;
    }

    static PF_Err Checkout(PF_ProgPtr ref, PF_ParamIndex index, A_long time, A_long, A_u_long,
                           PF_ParamDef *def)
    {
        FakeHost *host = Self(ref);
        host->checkoutTimes.push_back(time);
        if (host->checkoutError != PF_Err_NONE) {
            std::memset(def, 0xAB, sizeof *def);  // a host may leave rubbish behind
            return host->checkoutError;
        }
        if (index < 0 || index >= static_cast<PF_ParamIndex>(host->current.size())) {
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        *def = host->current[static_cast<std::size_t>(index)];
        // Layers come out as a world that tells the time and index it was fetched at.
        if (def->param_type == PF_Param_LAYER) {
            def->u.ld.width = time;
            def->u.ld.height = index;
        }
        def->uu.id = index;  // identifies the check-in
        ++host->checkouts;
        ++host->outstanding[index];
        return PF_Err_NONE;
    }

    static PF_Err Checkin(PF_ProgPtr ref, PF_ParamDef *def)
    {
        FakeHost *host = Self(ref);
        auto it = host->outstanding.find(def->uu.id);
        if (it == host->outstanding.end() || it->second <= 0) {
            host->checkinMismatch = true;
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        --it->second;
        return PF_Err_NONE;
    }

    static SPErr Acquire(const char *name, int32 version, const void **suite)
    {
        FakeHost *host = current_;
        const std::string key = std::string(name) + "/" + std::to_string(version);
        *suite = nullptr;
        if (host->offerParamUtils && key == "PF Param Utils Suite/3") {
            *suite = &host->paramUtils3;
        } else if (host->offerParamUtils && key == "PF Param Utils Suite/2") {
            *suite = &host->paramUtils2;
        } else if (host->offerHandleSuite && key == "PF Handle Suite/2") {
            *suite = &host->handleSuite;
        }
        if (!*suite) {
            return 1;
        }
        host->acquired.push_back(key);
        ++host->suiteBalance[key];
        return kSPNoError;
    }

    static SPErr Release(const char *name, int32 version)
    {
        --current_->suiteBalance[std::string(name) + "/" + std::to_string(version)];
        return kSPNoError;
    }

    static PF_Err UpdateParamUI(PF_ProgPtr ref, PF_ParamIndex index, const PF_ParamDef *def)
    {
        Self(ref)->uiUpdates.emplace_back(index, *def);
        return PF_Err_NONE;
    }

    static void *LockHandle(PF_Handle handle)
    {
        if (current_->lockFails) {
            return nullptr;
        }
        ++current_->locks;
        return *handle;
    }

    static void UnlockHandle(PF_Handle) { ++current_->unlocks; }

    static inline FakeHost *current_ = nullptr;
};

// The table is built once per test program: host indices are handed out
// once per load, as in the plug-in.
inline void EnsureParamTable()
{
    static const bool built = (params::BuildParamTable(), true);
    (void)built;
}

}  // namespace paramtest
