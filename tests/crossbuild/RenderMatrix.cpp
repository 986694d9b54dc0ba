// Renders a fixed set of frames through our host and the real plug-in and
// prints a hash of every output. The native and the Windows build (under
// Wine) must print the same lines: the effect's arithmetic is meant to agree
// to the bit across compilers and maths libraries.
//
//   stipplex_render_matrix [--dump DIR]    (DIR: raw output bytes per frame)
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "host/Host.h"
#include "params/ParamIds.h"

namespace {

namespace id = params::id;
using host::Depth;

std::uint64_t Fnv1a(const host::World &w, std::uint64_t h = 1469598103934665603ull)
{
    const std::size_t rowBytes =
        static_cast<std::size_t>(w.width()) * host::BytesPerPixel(w.depth());
    for (A_long y = 0; y < w.height(); ++y) {
        const unsigned char *row = w.row(y);
        for (std::size_t i = 0; i < rowBytes; ++i) {
            h = (h ^ row[i]) * 1099511628211ull;
        }
    }
    return h;
}

// A colourful, partly transparent test picture.
host::World Picture(A_long w, A_long h, Depth d)
{
    host::World img(w, h, d);
    for (A_long y = 0; y < h; ++y) {
        for (A_long x = 0; x < w; ++x) {
            const double fx = double(x) / w, fy = double(y) / h;
            const double a = (x / 40 + y / 40) % 5 == 0 ? 0.0 : 1.0;
            const double r = fx, g = fy, b = 0.5 + 0.5 * (fx - fy);
            switch (d) {
                case Depth::k8:
                    img.px8(x, y) = PF_Pixel8{A_u_char(a * 255), A_u_char(r * 255),
                                              A_u_char(g * 255), A_u_char(b * 255)};
                    break;
                case Depth::k16:
                    img.px16(x, y) = PF_Pixel16{A_u_short(a * 32768), A_u_short(r * 32768),
                                                A_u_short(g * 32768), A_u_short(b * 32768)};
                    break;
                default:
                    img.pxF(x, y) = PF_PixelFloat{float(a), float(r), float(g), float(b)};
            }
        }
    }
    return img;
}

struct Case {
    const char *name;
    A_long width, height;
    A_long downsample;
    std::function<void(host::Instance &)> set;
};

int Index(host::Instance &inst, A_long paramId)
{
    return inst.indexOfId(paramId);
}

std::vector<Case> Cases()
{
    return {
        {"defaults", 640, 360, 1, [](host::Instance &) {}},
        {"dense", 640, 360, 1,
         [](host::Instance &i) {
             i.setFloatSlider(Index(i, id::DotSize), 4);
             i.setFloatSlider(Index(i, id::DotSpacingX), 0);
             i.setFloatSlider(Index(i, id::DotSpacingY), 0);
         }},
        {"stars", 640, 360, 1,
         [](host::Instance &i) {
             i.setPopup(Index(i, id::DotShape), 5);
             i.setFloatSlider(Index(i, id::DotSize), 60);
             i.setAngle(Index(i, id::DotRotation), 45 << 16);
         }},
        {"random", 480, 270, 1,
         [](host::Instance &i) {
             i.setPopup(Index(i, id::DotShape), 3);
             i.setFloatSlider(Index(i, id::DotSize), 14);
             i.setAngle(Index(i, id::GlobalRotation), 30 << 16);
             i.setPopup(Index(i, id::RotationType), 2);
             i.setFloatSlider(Index(i, id::RandomSize), 0.6);
             i.setFloatSlider(Index(i, id::RandomAspect), 0.4);
             i.setFloatSlider(Index(i, id::RandomRotation), 0.3);
             i.setFloatSlider(Index(i, id::RandomOpacity), 0.5);
             i.setFloatSlider(Index(i, id::RandomSpacingX), 0.3);
             i.setFloatSlider(Index(i, id::RandomSpacingY), 0.3);
             i.setAngle(Index(i, id::RandomHue), 120 << 16);
             i.setFloatSlider(Index(i, id::RandomSaturation), 40);
             i.setFloatSlider(Index(i, id::RandomValue), 30);
             i.setSlider(Index(i, id::RandomSeed), 1234);
         }},
        {"effectors", 480, 270, 1,
         [](host::Instance &i) {
             i.setPopup(Index(i, id::DotShape), 4);
             i.setFloatSlider(Index(i, id::DotSize), 16);
             i.setCheckbox(Index(i, id::EnableEffector1), true);
             i.setPoint(Index(i, id::EffectorPosition1), 120 << 16, 100 << 16);
             i.setCheckbox(Index(i, id::Absolute1), true);
             i.setCheckbox(Index(i, id::EffectorColor1), true);
             i.setPopup(Index(i, id::BlendMode1), 9);
             i.setAngle(Index(i, id::HueOffset1), 90 << 16);
             i.setCheckbox(Index(i, id::EnableEffector2), true);
             i.setPopup(Index(i, id::EffectMap2), 6);
             i.setAngle(Index(i, id::EffectorAngle2), 30 << 16);
             i.setFloatSlider(Index(i, id::SizeByRatio2), 2);
             i.setCheckbox(Index(i, id::EnableEffector3), true);
             i.setPopup(Index(i, id::EffectMap3), 1);
             i.setCheckbox(Index(i, id::PickSourceColor3), true);
             i.setPopup(Index(i, id::Tile3), 3);
             i.setAngle(Index(i, id::EffectorAngle3), 20 << 16);
             i.setCheckbox(Index(i, id::EffectorCenterDotToFront1), true);
         }},
        {"half-resolution", 640, 360, 2,
         [](host::Instance &i) {
             i.setPopup(Index(i, id::DotShape), 6);
             i.setFloatSlider(Index(i, id::DotSize), 18);
             i.setPopup(Index(i, id::MaskMode), 1);
             i.setCheckbox(Index(i, id::InvertMask), true);
         }},
    };
}

}  // namespace

int main(int argc, char **argv)
{
    std::string dump;
    if (argc == 3 && std::string(argv[1]) == "--dump") {
        dump = argv[2];
    }
    try {
        host::Effect effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH));
        for (const Case &c : Cases()) {
            for (Depth d : {Depth::k8, Depth::k16, Depth::k32}) {
                host::Instance inst = effect.newInstance(c.width, c.height);
                c.set(inst);
                const host::World input = Picture(c.width, c.height, d);
                host::FrameRequest req;
                req.input = &input;
                req.downsample_x = req.downsample_y = c.downsample;
                const host::FrameResult frame = inst.render(req);
                if (!frame.ok()) {
                    std::fprintf(stderr, "%s: render failed: %s\n", c.name,
                                 frame.render.message.c_str());
                    return 1;
                }
                std::printf("%-16s %2d-bit %016llx\n", c.name, static_cast<int>(d),
                            static_cast<unsigned long long>(Fnv1a(frame.output)));
                if (!dump.empty()) {
                    std::ofstream out(dump + "/" + c.name + "-" + std::to_string(int(d)) + ".raw",
                                      std::ios::binary);
                    const host::World &w = frame.output;
                    const std::size_t rowBytes =
                        static_cast<std::size_t>(w.width()) * host::BytesPerPixel(w.depth());
                    for (A_long y = 0; y < w.height(); ++y) {
                        out.write(reinterpret_cast<const char *>(w.row(y)),
                                  static_cast<std::streamsize>(rowBytes));
                    }
                }
            }
        }
        effect.shutdown();
        for (const std::string &fault : effect.faults()) {
            std::fprintf(stderr, "fault: %s\n", fault.c_str());
        }
        return effect.faults().empty() ? 0 : 1;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "stipplex_render_matrix: %s\n", e.what());
        return 1;
    }
}
