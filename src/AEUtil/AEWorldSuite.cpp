#include "AEWorldSuite.h"

#include "AEException.h"

namespace AEUtil {
namespace {

// Acquires one suite for the length of a scope. The world suite is taken
// directly from the basic suite and released right after each use.
class ScopedSuite {
public:
    ScopedSuite(SPBasicSuite *basic, const char *name, int32 version)
        : basic_(basic), name_(name), version_(version)
    {
        if (basic_ && basic_->AcquireSuite(name, version, &suite_) == kSPNoError) {
            acquired_ = true;
        } else {
            suite_ = nullptr;
        }
    }
    ~ScopedSuite()
    {
        if (acquired_) {
            basic_->ReleaseSuite(name_, version_);
        }
    }
    ScopedSuite(const ScopedSuite &) = delete;
    ScopedSuite &operator=(const ScopedSuite &) = delete;

    template <typename Suite>
    const Suite *get() const
    {
        return static_cast<const Suite *>(suite_);
    }

private:
    SPBasicSuite *basic_;
    const char *name_;
    int32 version_;
    const void *suite_ = nullptr;
    bool acquired_ = false;
};

// Where the world allocation reports its failures from.
constexpr const char *kSourceName = "AEWorldSuite.cpp";
constexpr int kNewWorldLine = 151;

}  // namespace

EffectWorldPtr::EffectWorldPtr(SPBasicSuite *basic, PF_ProgPtr effect_ref,
                               const PF_EffectWorld &world)
    : block_(new Block{basic, effect_ref, world, 1})
{
}

EffectWorldPtr::EffectWorldPtr(const EffectWorldPtr &other) : block_(other.block_)
{
    if (block_) {
        ++block_->count;
    }
}

EffectWorldPtr &EffectWorldPtr::operator=(const EffectWorldPtr &other)
{
    if (other.block_) {
        ++other.block_->count;
    }
    reset();
    block_ = other.block_;
    return *this;
}

EffectWorldPtr::~EffectWorldPtr()
{
    reset();
}

void EffectWorldPtr::reset()
{
    Block *block = block_;
    block_ = nullptr;
    if (!block || --block->count > 0) {
        return;
    }
    ScopedSuite v2(block->basic, kPFWorldSuite, kPFWorldSuiteVersion2);
    if (const auto *suite = v2.get<PF_WorldSuite2>()) {
        suite->PF_DisposeWorld(block->effect_ref, &block->world);
    } else {
        ScopedSuite v1(block->basic, kPFWorldSuite, kPFWorldSuiteVersion1);
        if (const auto *old = v1.get<PF_WorldSuite1>()) {
            old->dispose_world(block->effect_ref, &block->world);
        }
    }
    delete block;
}

EffectWorldPtr WorldSuite::newWorld(PF_InData *in_data, int width, int height, char /*flag*/,
                                    int pixel_format)
{
    PF_EffectWorld world{};
    PF_Err err = PF_Err_NONE;
    bool made = false;
    {
        ScopedSuite v2(in_data->pica_basicP, kPFWorldSuite, kPFWorldSuiteVersion2);
        if (const auto *suite = v2.get<PF_WorldSuite2>()) {
            err =
                suite->PF_NewWorld(in_data->effect_ref, width, height, true, pixel_format, &world);
            made = true;
        } else if (pixel_format == PF_PixelFormat_ARGB32 || pixel_format == PF_PixelFormat_ARGB64) {
            ScopedSuite v1(in_data->pica_basicP, kPFWorldSuite, kPFWorldSuiteVersion1);
            if (const auto *old = v1.get<PF_WorldSuite1>()) {
                PF_NewWorldFlags flags = PF_NewWorldFlag_CLEAR_PIXELS;
                if (pixel_format == PF_PixelFormat_ARGB64) {
                    flags |= PF_NewWorldFlag_DEEP_PIXELS;
                }
                err = old->new_world(in_data->effect_ref, width, height, flags, &world);
                made = true;
            }
        }
    }
    if (err != PF_Err_NONE) {
        throw AEException(err, kNewWorldLine, kSourceName, "%s",
                          "class AEUtil::EffectWorldPtr __cdecl "
                          "AEUtil::WorldSuite::newWorld(PF_InData *,int,int,char,int)");
    }
    if (!made) {
        // A float world on a host without World Suite 2: there is nothing to
        // draw into, and the caller cannot go on without it.
        throw AEException(PF_Err_BAD_CALLBACK_PARAM, kNewWorldLine, kSourceName, "%s",
                          "no world suite can allocate this pixel format");
    }
    return EffectWorldPtr(in_data->pica_basicP, in_data->effect_ref, world);
}

PF_Err GetPixelFormat(SPBasicSuite *basic, const PF_EffectWorld *world, PF_PixelFormat *format)
{
    ScopedSuite v2(basic, kPFWorldSuite, kPFWorldSuiteVersion2);
    if (const auto *suite = v2.get<PF_WorldSuite2>()) {
        return suite->PF_GetPixelFormat(world, format);
    }
    *format =
        (world->world_flags & PF_WorldFlag_DEEP) ? PF_PixelFormat_ARGB64 : PF_PixelFormat_ARGB32;
    return PF_Err_NONE;
}

}  // namespace AEUtil
