// Renders a fixed set of frames through our host and the real plug-in and
// prints a hash of every output. The native and the Windows build (under
// Wine) must print the same lines: the effect's arithmetic is meant to agree
// to the bit across compilers and maths libraries.
//
//   stipplex_render_matrix [--dump DIR]    (DIR: raw output bytes per frame)
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "host/Host.h"
#include "params/ParamIds.h"

namespace {

namespace id = params::id;
using host::Depth;

// The output's pixels, row after row without the padding.
std::string Bytes(const host::World &w)
{
    const std::size_t rowBytes =
        static_cast<std::size_t>(w.width()) * host::BytesPerPixel(w.depth());
    std::string bytes;
    for (A_long y = 0; y < w.height(); ++y) {
        bytes.append(reinterpret_cast<const char *>(w.row(y)), rowBytes);
    }
    return bytes;
}

std::uint64_t Fnv1a(const std::string &bytes)
{
    std::uint64_t h = 1469598103934665603ull;
    for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
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

// A parameter's value in its control's units: angles in degrees, points
// (value, y) in layer pixels, checkboxes 0 or 1.
struct Setting {
    A_long id;
    double value, y = 0;
};

Setting S(A_long paramId, double value, double y = 0)
{
    return Setting{paramId, value, y};
}

void Apply(host::Instance &inst, const Setting &s)
{
    const int i = inst.indexOfId(s.id);
    const auto fixed = [](double v) { return static_cast<PF_Fixed>(v * 65536); };
    switch (inst.info(i).type) {
        case PF_Param_SLIDER:
            return inst.setSlider(i, static_cast<A_long>(s.value));
        case PF_Param_POPUP:
            return inst.setPopup(i, static_cast<A_long>(s.value));
        case PF_Param_CHECKBOX:
            return inst.setCheckbox(i, s.value != 0);
        case PF_Param_ANGLE:
            return inst.setAngle(i, fixed(s.value));
        case PF_Param_POINT:
            return inst.setPoint(i, fixed(s.value), fixed(s.y));
        default:
            return inst.setFloatSlider(i, s.value);
    }
}

struct Case {
    const char *name;
    A_long width, height;
    A_long downsample;
    std::vector<Setting> set;
};

Case C(const char *name, A_long width, A_long height, A_long downsample, std::vector<Setting> set)
{
    return Case{name, width, height, downsample, std::move(set)};
}

std::vector<Case> Cases()
{
    return {
        C("defaults", 640, 360, 1, {}),
        C("dense", 640, 360, 1, {S(id::DotSize, 4), S(id::DotSpacingX, 0), S(id::DotSpacingY, 0)}),
        C("stars", 640, 360, 1, {S(id::DotShape, 5), S(id::DotSize, 60), S(id::DotRotation, 45)}),
        C("random", 480, 270, 1,
          {S(id::DotShape, 3), S(id::DotSize, 14), S(id::GlobalRotation, 30),
           S(id::RotationType, 2), S(id::RandomSize, 0.6), S(id::RandomAspect, 0.4),
           S(id::RandomRotation, 0.3), S(id::RandomOpacity, 0.5), S(id::RandomSpacingX, 0.3),
           S(id::RandomSpacingY, 0.3), S(id::RandomHue, 120), S(id::RandomSaturation, 40),
           S(id::RandomValue, 30), S(id::RandomSeed, 1234)}),
        C("effectors", 480, 270, 1,
          {S(id::DotShape, 4), S(id::DotSize, 16), S(id::EnableEffector1, 1),
           S(id::EffectorPosition1, 120, 100), S(id::Absolute1, 1), S(id::EffectorColor1, 1),
           S(id::BlendMode1, 9), S(id::HueOffset1, 90), S(id::EnableEffector2, 1),
           S(id::EffectMap2, 6), S(id::EffectorAngle2, 30), S(id::SizeByRatio2, 2),
           S(id::EnableEffector3, 1), S(id::EffectMap3, 1), S(id::PickSourceColor3, 1),
           S(id::Tile3, 3), S(id::EffectorAngle3, 20), S(id::EffectorCenterDotToFront1, 1)}),
        C("half-resolution", 640, 360, 2,
          {S(id::DotShape, 6), S(id::DotSize, 18), S(id::MaskMode, 1), S(id::InvertMask, 1)}),
    };
}

}  // namespace

int main(int argc, char **argv)
{
    const std::string dump = argc == 3 && std::string(argv[1]) == "--dump" ? argv[2] : "";
    try {
        host::Effect effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH));
        for (const Case &c : Cases()) {
            for (Depth d : {Depth::k8, Depth::k16, Depth::k32}) {
                host::Instance inst = effect.newInstance(c.width, c.height);
                for (const Setting &s : c.set) Apply(inst, s);
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
                const std::string bytes = Bytes(frame.output);
                std::printf("%-16s %2d-bit %016llx\n", c.name, static_cast<int>(d),
                            static_cast<unsigned long long>(Fnv1a(bytes)));
                if (!dump.empty()) {
                    std::ofstream(dump + "/" + c.name + "-" + std::to_string(int(d)) + ".raw",
                                  std::ios::binary)
                        << bytes;
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
