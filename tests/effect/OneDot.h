// One square dot through the real plug-in, for the end-to-end tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/Host.h"
#include "params/ParamIds.h"

namespace effecttest {

namespace id = params::id;

// A fresh instance of a layer this size showing one square dot of side
// `size` centred on (cx, cy) over a cleared background, without a mask.
struct OneDot {
    OneDot(A_long width, A_long height, double size, A_long cx, A_long cy)
        : inst(effect.newInstance(width, height))
    {
        inst.setPopup(Index(id::DotShape), 2);
        inst.setColor(Index(id::DotColor), PF_Pixel{255, 255, 0, 0});
        inst.setFloatSlider(Index(id::DotSize), size);
        inst.setFloatSlider(Index(id::DotSpacingX), 10000);
        inst.setFloatSlider(Index(id::DotSpacingY), 10000);
        inst.setPoint(Index(id::CenterPosition), cx << 16, cy << 16);
        inst.setCheckbox(Index(id::ClearBackground), true);
        inst.setPopup(Index(id::MaskMode), 2);
    }
    ~OneDot()
    {
        effect.shutdown();
        EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
    }
    int Index(A_long paramId) { return inst.indexOfId(paramId); }
    // The pixels with any alpha, as "x,y" in row order.
    static std::vector<std::string> Covered(const host::World &w)
    {
        std::vector<std::string> at;
        for (A_long y = 0; y < w.height(); ++y) {
            for (A_long x = 0; x < w.width(); ++x) {
                if (w.px8(x, y).alpha != 0) {
                    at.push_back(std::to_string(x) + "," + std::to_string(y));
                }
            }
        }
        return at;
    }

    host::Effect effect{host::Plugin::load(STIPPLEX_PLUGIN_PATH)};
    host::Instance inst;
};

}  // namespace effecttest
