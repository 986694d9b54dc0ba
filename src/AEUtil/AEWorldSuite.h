// Temporary host worlds with shared ownership.
#pragma once

#include "AESdk.h"

namespace AEUtil {

// Shared ownership of one world allocated from the host. Copying adds an
// owner; the last owner to go disposes of the world through the world suite.
// The count is a plain integer: a world belongs to one render call.
class EffectWorldPtr {
public:
    EffectWorldPtr() = default;
    EffectWorldPtr(SPBasicSuite *basic, PF_ProgPtr effect_ref, const PF_EffectWorld &world);
    EffectWorldPtr(const EffectWorldPtr &other);
    EffectWorldPtr &operator=(const EffectWorldPtr &other);
    ~EffectWorldPtr();

    PF_EffectWorld *get() const { return block_ ? &block_->world : nullptr; }
    PF_EffectWorld *operator->() const { return get(); }
    explicit operator bool() const { return block_ != nullptr; }
    A_long owners() const { return block_ ? block_->count : 0; }

    // Gives up this owner now.
    void reset();

private:
    struct Block {
        SPBasicSuite *basic;
        PF_ProgPtr effect_ref;
        PF_EffectWorld world;
        A_long count;
    };
    Block *block_ = nullptr;
};

struct WorldSuite {
    // A cleared world of that size and format (the flag is not used: worlds
    // are always cleared). Host errors are thrown as AEException.
    static EffectWorldPtr newWorld(PF_InData *in_data, int width, int height, char flag,
                                   int pixel_format);
};

// The world's pixel format: asked of World Suite 2 where the host has it,
// else told by the deep flag (8 or 16 bit only).
PF_Err GetPixelFormat(SPBasicSuite *basic, const PF_EffectWorld *world, PF_PixelFormat *format);

}  // namespace AEUtil
