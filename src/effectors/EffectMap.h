// Effect maps: the weight an effector gives a dot centred at a canvas point,
// and the shared handle through which the frame owns them.
#pragma once

#include "RenderRecord.h"

namespace effectors {

// A weight field over the canvas. Maps are immutable once built.
class BaseEffectMap {
public:
    virtual ~BaseEffectMap() = default;

    // Weight at canvas point (x, y), nominally 0..1. Nothing here clamps: a
    // falloff above 100 % or a float layer can step outside, the caller clamps.
    virtual double Evaluate(double x, double y) const = 0;

protected:
    BaseEffectMap() = default;
    BaseEffectMap(const BaseEffectMap &) = default;
    BaseEffectMap &operator=(const BaseEffectMap &) = default;
};

// Intrusive use count of one shared object. The count is a plain integer on
// purpose: a frame's maps never leave the thread that renders it.
class SharedCountBase {
public:
    SharedCountBase() = default;
    SharedCountBase(const SharedCountBase &) = delete;
    SharedCountBase &operator=(const SharedCountBase &) = delete;
    virtual ~SharedCountBase() = default;

    // Destroys the owned object and then the count itself.
    virtual void Dispose() = 0;

    void AddRef() { ++useCount_; }
    // Out of line: inlined into a pair of handles, GCC cannot tell that the
    // first release left the count alive and warns of a use after free.
    void Release();
    A_long UseCount() const { return useCount_; }

private:
    A_long useCount_ = 1;
};

template <typename T>
class SharedCountImpl_P final : public SharedCountBase {
public:
    explicit SharedCountImpl_P(T *owned) : owned_(owned) {}

    void Dispose() override
    {
        delete owned_;  // through T's virtual destructor; null is fine
        delete this;
    }

private:
    T *owned_;
};

// Two-word shared handle {map, count}. Copies share the map; the last release
// destroys it.
class EffectMapPtr {
public:
    EffectMapPtr() = default;

    // Takes ownership of `map`. If the count cannot be allocated the map is
    // destroyed before the allocation failure leaves here.
    explicit EffectMapPtr(BaseEffectMap *map) : map_(map)
    {
        if (map_ != nullptr) {
            try {
                count_ = new SharedCountImpl_P<BaseEffectMap>(map_);
            } catch (...) {
                delete map_;
                throw;
            }
        }
    }

    EffectMapPtr(const EffectMapPtr &other) : map_(other.map_), count_(other.count_)
    {
        if (count_ != nullptr) {
            count_->AddRef();
        }
    }

    EffectMapPtr(EffectMapPtr &&other) noexcept : map_(other.map_), count_(other.count_)
    {
        other.map_ = nullptr;
        other.count_ = nullptr;
    }

    EffectMapPtr &operator=(EffectMapPtr other) noexcept
    {
        Swap(other);
        return *this;
    }

    ~EffectMapPtr()
    {
        if (count_ != nullptr) {
            count_->Release();
        }
    }

    void Swap(EffectMapPtr &other) noexcept
    {
        BaseEffectMap *map = map_;
        SharedCountBase *count = count_;
        map_ = other.map_;
        count_ = other.count_;
        other.map_ = map;
        other.count_ = count;
    }

    BaseEffectMap *get() const { return map_; }
    BaseEffectMap &operator*() const { return *map_; }
    BaseEffectMap *operator->() const { return map_; }
    explicit operator bool() const { return map_ != nullptr; }
    A_long UseCount() const { return count_ != nullptr ? count_->UseCount() : 0; }

private:
    BaseEffectMap *map_ = nullptr;
    SharedCountBase *count_ = nullptr;
};

// Values derived once per frame from one effector's parameter block.
struct EffectorDerived {
    double positionX = 0, positionY = 0;  // canvas pixels
    double falloffFraction = 0;
    double independentAspectFraction = 0;  // clamped to -1..1
    double independentRotationRad = 0;
    double independentOpacityFraction = 0;  // not clamped
    double aspectOffsetFraction = 0;        // clamped to -1..1
    double rotationOffsetRad = 0;
    double opacityOffsetFraction = 0;  // not clamped
    double hueOffsetTurns = 0;
    double canvasWidth = 0, canvasHeight = 0;
};

EffectorDerived DeriveEffector(const EffectorSettings &settings, double canvasWidth,
                               double canvasHeight);

// The map an effector's popup asks for. Pixel (AEUtil::Pixel8, Pixel16 or
// Pixel32) is the depth of the layer map built for "use custom map"; the
// analytic maps are the same at every depth.
template <typename Pixel>
EffectMapPtr MakeEffectMap(const EffectorSettings &settings, const EffectorDerived &derived);

}  // namespace effectors
