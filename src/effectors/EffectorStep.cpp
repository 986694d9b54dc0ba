#include "EffectorStep.h"

#include "Pixels.h"

namespace effectors {

// Placeholder until the maps land: no effector changes a dot.
template <typename Pixel>
struct EffectorSet<Pixel>::Impl {
};

template <typename Pixel>
EffectorSet<Pixel>::EffectorSet(const RenderRecord &, double, double) : impl_(new Impl)
{
}

template <typename Pixel>
EffectorSet<Pixel>::~EffectorSet()
{
    delete impl_;
}

template <typename Pixel>
void EffectorSet<Pixel>::Apply(DotValues<Pixel> &, bool) const
{
}

template class EffectorSet<AEUtil::Pixel8>;
template class EffectorSet<AEUtil::Pixel16>;
template class EffectorSet<AEUtil::Pixel32>;

}  // namespace effectors
