// The parameter builders' common machinery: the base class, the readers that
// fetch a parameter's definition from the host, and the per-call store that
// the fetched definitions live in.
//
// Renders may run on several threads at once, so a builder never keeps what
// it fetched: each reader owns the definitions fetched through it (one
// FetchedParams), and every call that reads parameters (a pre-render, a
// legacy render, the options dialog's save) makes its own reader. A layer
// pointer that ReadValue puts into a RenderRecord points into that reader's
// definitions: it stays valid until the parameter is checked in through the
// same reader, and never beyond the reader's life.
#pragma once

#include <vector>

#include "AEUtil/AESdk.h"

struct RenderRecord;

namespace params {

// ---------------------------------------------------------------- templates
// Every builder's definition starts as a copy of one of these: all zero
// except the flags. Every parameter starts collapsed, which only matters to
// group starts.
enum class ParamTemplate {
    Plain,       // PF_ParamFlag_START_COLLAPSED
    Supervised,  // ... and PF_ParamFlag_SUPERVISE: the host sends USER_CHANGED_PARAM
    Hold,        // ... and PF_ParamFlag_CANNOT_INTERP: keyframes hold
};

PF_ParamDef MakeParamTemplate(ParamTemplate kind);

// ---------------------------------------------------------------- fetched definitions
// The definitions one reader has fetched, by host index. Each starts as a
// copy of its builder's own definition (the one declared to the host), so a
// parameter that is not fetched keeps the declared value. It also remembers
// which definitions are checked out, so that CheckinValue hands back exactly
// what was fetched, once.
class FetchedParams {
public:
    // One definition for every index of the ParamRegistry.
    FetchedParams();
    FetchedParams(const FetchedParams &) = delete;
    FetchedParams &operator=(const FetchedParams &) = delete;

    PF_ParamDef &Definition(A_long index) { return defs_.at(static_cast<std::size_t>(index)); }
    const PF_ParamDef &Definition(A_long index) const
    {
        return defs_.at(static_cast<std::size_t>(index));
    }
    bool IsFetched(A_long index) const { return fetched_.at(static_cast<std::size_t>(index)); }
    void SetFetched(A_long index, bool fetched)
    {
        fetched_.at(static_cast<std::size_t>(index)) = fetched;
    }

private:
    std::vector<PF_ParamDef> defs_;
    std::vector<bool> fetched_;
};

// ---------------------------------------------------------------- readers
// A reader fetches definitions into its own FetchedParams (made when the
// reader is made, one definition per builder) and hands them back.
class ParamGetter {
public:
    ParamGetter() = default;
    virtual ~ParamGetter() = default;
    ParamGetter(const ParamGetter &) = delete;
    ParamGetter &operator=(const ParamGetter &) = delete;

    FetchedParams &Fetched() { return fetched_; }
    const FetchedParams &Fetched() const { return fetched_; }

    // Fills `def` with the definition of host index `index`.
    virtual PF_Err GetParam(A_long index, PF_ParamDef *def) = 0;
    // Hands a definition fetched by GetParam back.
    virtual PF_Err CheckinParam(PF_ParamDef *def) = 0;
    // True when layer parameters are not to be fetched.
    virtual bool SkipsLayers() const = 0;
    // False when the user interface shows the parameter disabled.
    virtual bool IsEnabled(A_long index) const = 0;

private:
    FetchedParams fetched_;
};

// Reads the parameter array the host passed to the current command.
class GetParamFromArray : public ParamGetter {
public:
    explicit GetParamFromArray(PF_ParamDef *params[]) : params_(params) {}
    PF_Err GetParam(A_long index, PF_ParamDef *def) override;
    PF_Err CheckinParam(PF_ParamDef *def) override;
    bool SkipsLayers() const override { return false; }
    bool IsEnabled(A_long index) const override;

private:
    PF_ParamDef **params_;
};

// Checks parameters out through the host at the command's current time.
// `params` may be null; then every parameter counts as enabled.
class GetParamByCheckout : public ParamGetter {
public:
    GetParamByCheckout(PF_InData *in_data, PF_ParamDef *params[], bool skipLayers)
        : in_data_(in_data), params_(params), skipLayers_(skipLayers)
    {
    }
    PF_Err GetParam(A_long index, PF_ParamDef *def) override;
    PF_Err CheckinParam(PF_ParamDef *def) override;
    bool SkipsLayers() const override { return skipLayers_; }
    bool IsEnabled(A_long index) const override;

private:
    PF_InData *in_data_;
    PF_ParamDef **params_;
    bool skipLayers_;
};

// ---------------------------------------------------------------- builders
// One builder per parameter: it declares the parameter to the host, copies
// its value into a RenderRecord and writes it to the defaults file.
class BaseParam {
public:
    // Takes the next host index of the ParamRegistry. `valueOffset` and
    // `valueSize` place the value in the RenderRecord; size 0 for group
    // markers, which are never read.
    BaseParam(const char *name, ParamTemplate tmpl, A_long valueOffset, A_long valueSize);
    virtual ~BaseParam() = default;
    BaseParam(const BaseParam &) = delete;
    BaseParam &operator=(const BaseParam &) = delete;

    // Fetches the parameter through `getter` (into its definitions) and
    // copies the value into `record`, if given, at the value offset.
    virtual PF_Err ReadValue(RenderRecord *record, ParamGetter &getter);
    // Hands back what ReadValue fetched through `getter`; nothing if it
    // fetched nothing.
    virtual PF_Err CheckinValue(ParamGetter &getter);
    // Declares the parameter (append to the host's list) under `paramId`,
    // with the stored default from `defaultsPath` when one is given and the
    // host allows stored defaults.
    virtual PF_Err AddToHost(PF_InData *in_data, A_long paramId, const char *defaultsPath) = 0;
    // Writes the value held in `current` (the definitions a reader fetched)
    // to the defaults file; nothing without a path or for classes without a
    // stored form.
    virtual void SaveDefault(PF_InData *in_data, const char *defaultsPath,
                             const FetchedParams &current);

    const char *Name() const { return name_; }
    const PF_ParamDef &Definition() const { return definition_; }
    A_u_long Id() const { return id_; }
    void SetId(A_u_long id) { id_ = id; }
    A_long Index() const { return static_cast<A_long>(index_); }
    A_long ValueOffset() const { return valueOffset_; }
    A_long ValueSize() const { return valueSize_; }

protected:
    // Stored defaults apply only with a path and a host that allows them.
    static bool UseStoredDefault(const PF_InData *in_data, const char *defaultsPath);
    // Type, name (unless `copyName` is false), id, then add_param.
    PF_Err Declare(PF_InData *in_data, PF_ParamType type, A_long paramId, bool copyName = true);
    PF_Err Fetch(ParamGetter &getter);

    const char *name_;
    PF_ParamDef definition_;
    A_u_long id_ = 0;
    A_u_long index_;
    A_long valueOffset_;
    A_long valueSize_;
};

}  // namespace params
