// A seeded random-render campaign through the tool's render path: random
// values within the ranges the effect declares (the ones `stipplex params
// --json` lists), a quarter of them at the ends of their range, every depth,
// downsampling 1 to 4, layers down to one pixel, frames up to 100,000, the
// mask and map layers on and off, and float inputs holding NaN, infinities,
// negative and huge values, some of them through an EXR file. Every render
// must succeed with no protocol fault; in the sanitizer build any sanitizer
// report ends the run.
//
// STIPPLEX_CAMPAIGN_RENDERS (default 300) and STIPPLEX_CAMPAIGN_SEED
// (default 1) choose how many and which; a failure names the render's seed,
// and STIPPLEX_CAMPAIGN_SEED=<that seed> STIPPLEX_CAMPAIGN_RENDERS=1 repeats
// that render alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Errors.h"
#include "cli/FrameRender.h"
#include "cli/ImageIO.h"
#include "cli/Session.h"
#include "cli/WorldBridge.h"

namespace {

using cli::Depth;

long EnvNumber(const char *name, long fallback)
{
    const char *text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

class Campaign {
public:
    explicit Campaign(std::uint64_t seed) : rng_(seed) {}

    // True with probability 1/n.
    bool OneIn(int n) { return Int(0, n - 1) == 0; }
    long Int(long lo, long hi) { return std::uniform_int_distribution<long>(lo, hi)(rng_); }
    // A quarter at one of the two ends, the rest uniform between them.
    double Value(double lo, double hi)
    {
        if (OneIn(4)) return OneIn(2) ? lo : hi;
        return std::uniform_real_distribution<double>(lo, hi)(rng_);
    }
    long IntValue(long lo, long hi)
    {
        if (OneIn(4)) return OneIn(2) ? lo : hi;
        return Int(lo, hi);
    }

    // A float sample: mostly ordinary, sometimes one a reader or a
    // conversion must survive.
    float Sample(bool hostile)
    {
        if (hostile && OneIn(6)) {
            using L = std::numeric_limits<float>;
            static const float odd[] = {L::quiet_NaN(), L::infinity(),  -L::infinity(),
                                        -1.0f,          -1e30f,         1e30f,
                                        65504.0f,       L::denorm_min()};
            return odd[Int(0, 7)];
        }
        return static_cast<float>(Value(0.0, 1.0));
    }

    cli::Image Layer(int width, int height, Depth depth, bool hostile)
    {
        cli::Image image(width, height, depth);
        const auto u8 = [&] { return static_cast<std::uint8_t>(Int(0, 255)); };
        const auto u16 = [&] { return static_cast<std::uint16_t>(Int(0, 32768)); };
        const auto f = [&] { return Sample(hostile); };
        for (std::size_t i = 0; i < image.PixelCount(); ++i) {
            if (depth == Depth::k8) {
                image.Pixels8()[i] = {u8(), u8(), u8(), u8()};
            } else if (depth == Depth::k16) {
                image.Pixels16()[i] = {u16(), u16(), u16(), u16()};
            } else {
                image.PixelsF()[i] = {f(), f(), f(), f()};
            }
        }
        return image;
    }

private:
    std::mt19937_64 rng_;
};

// Random values for every parameter of the instance; what was set is
// written to `log` as NAME=VALUE lines.
void Randomise(Campaign &c, host::Instance &inst, const std::vector<cli::ToolParam> &params,
               const std::vector<A_long> &layerIds, std::ostream &log)
{
    for (const cli::ToolParam &p : params) {
        const PF_ParamDef &d = p.info->def;
        const int i = p.index;
        log << p.identifier << "=";
        switch (p.info->type) {
            case PF_Param_SLIDER: {
                const long v = c.IntValue(d.u.sd.valid_min, d.u.sd.valid_max);
                inst.setSlider(i, static_cast<A_long>(v)), log << v;
                break;
            }
            case PF_Param_FLOAT_SLIDER: {
                const double v = c.Value(d.u.fs_d.valid_min, d.u.fs_d.valid_max);
                inst.setFloatSlider(i, v), log << v;
                break;
            }
            case PF_Param_POPUP: {
                // Separator items are not choices.
                long v = 0;
                do {
                    v = c.IntValue(1, d.u.pd.num_choices);
                } while (p.info->popup_items[static_cast<std::size_t>(v - 1)].rfind("(-", 0) == 0);
                inst.setPopup(i, static_cast<A_long>(v)), log << v;
                break;
            }
            case PF_Param_CHECKBOX: {
                const bool v = c.OneIn(2);
                inst.setCheckbox(i, v), log << v;
                break;
            }
            case PF_Param_ANGLE: {
                // Angles have no range: whole turns either way, and the
                // extremes of the 16.16 degrees.
                const double v =
                    c.OneIn(8) ? (c.OneIn(2) ? 32767.0 : -32768.0) : c.Value(-3600.0, 3600.0);
                inst.setAngle(i, static_cast<PF_Fixed>(v * 65536.0)), log << v;
                break;
            }
            case PF_Param_COLOR: {
                const auto u = [&] { return static_cast<A_u_char>(c.IntValue(0, 255)); };
                const PF_Pixel v{255, u(), u(), u()};
                inst.setColor(i, v);
                log << int{v.red} << "," << int{v.green} << "," << int{v.blue};
                break;
            }
            case PF_Param_POINT: {
                // Anywhere on the layer and as far again outside it.
                const double x = c.Value(-inst.layerWidth(), 2.0 * inst.layerWidth());
                const double y = c.Value(-inst.layerHeight(), 2.0 * inst.layerHeight());
                inst.setPoint(i, static_cast<PF_Fixed>(x * 65536.0),
                              static_cast<PF_Fixed>(y * 65536.0));
                log << x << "," << y;
                break;
            }
            case PF_Param_LAYER: {
                const long pick = c.Int(0, 2 + static_cast<long>(layerIds.size()));
                const A_long id =
                    layerIds[static_cast<std::size_t>(std::max(pick - 2, 0L)) % layerIds.size()];
                inst.setLayer(i, pick == 0   ? host::LayerChoice::None()
                                 : pick == 1 ? host::LayerChoice::ThisLayer()
                                             : host::LayerChoice::Layer(id));
                log << (pick == 0 ? "none" : pick == 1 ? "self" : "layer" + std::to_string(id));
                break;
            }
            default:
                log << "(no value)";
        }
        log << "\n";
    }
}

TEST(RandomRenderCampaign, EveryRenderSucceedsWithoutFaults)
{
    const long renders = EnvNumber("STIPPLEX_CAMPAIGN_RENDERS", 300);
    const long firstSeed = EnvNumber("STIPPLEX_CAMPAIGN_SEED", 1);
    const char *tmp = std::getenv("STIPPLEX_TEST_TMP");
    const std::string exrPath = std::string(tmp && *tmp ? tmp : "/tmp") + "/campaign-" +
                                std::to_string(::getpid()) + ".exr";

    cli::Session session(STIPPLEX_PLUGIN_PATH);
    const std::vector<cli::ToolParam> &params = session.Params();
    long failures = 0;
    for (long n = 0; n < renders && failures < 5; ++n) {
        const long seed = firstSeed + n;
        Campaign c(static_cast<std::uint64_t>(seed));
        std::ostringstream log;
        const Depth depth = c.OneIn(3) ? Depth::k8 : (c.OneIn(2) ? Depth::k16 : Depth::k32);
        // A quarter of the layers no larger than the downsampling factor,
        // which the host still keeps at one pixel or more.
        const int downsample = static_cast<int>(c.Int(1, 4));
        const auto size = [&](int most) {
            return static_cast<int>(c.OneIn(4) ? c.Int(1, downsample) : c.Int(1, most));
        };
        const int width = size(64);
        const int height = size(48);
        const long frame = c.IntValue(0, 100000);
        const bool hostile = depth == Depth::k32;
        log << "seed " << seed << ": " << width << "x" << height << " at " << cli::DepthName(depth)
            << ", 1/" << downsample << ", frame " << frame << "\n";
        try {
            cli::Image image = c.Layer(width, height, depth, hostile);
            if (hostile && c.OneIn(2)) {
                // Through the EXR writer and reader, as a float input file.
                cli::WriteOptions write;
                write.exrType = c.OneIn(2) ? cli::ExrType::kFloat : cli::ExrType::kHalf;
                cli::WriteImage(exrPath, image, write);
                image = cli::ReadImage(exrPath, Depth::k32);
                log << "input through EXR\n";
            }
            const host::World input = cli::ToWorld(image);
            // Two other layers, of other sizes, for the mask and the maps.
            const host::World first = cli::ToWorld(c.Layer(size(80), size(60), depth, hostile));
            const host::World second = cli::ToWorld(c.Layer(size(80), size(60), depth, hostile));
            const std::map<A_long, const host::World *> layers{{1, &first}, {2, &second}};

            host::Instance inst = session.GetEffect().newInstance(width, height);
            Randomise(c, inst, params, {1, 2}, log);
            cli::RenderFrame(inst, input, layers, cli::FrameTime{frame, 30, 100001}, downsample);
        } catch (const std::exception &e) {
            ADD_FAILURE() << log.str() << "failed: " << e.what();
            ++failures;
        }
        for (const std::string &fault : session.TakeFaults()) {
            ADD_FAILURE() << log.str() << "protocol fault: " << fault;
            ++failures;
        }
    }
    std::remove(exrPath.c_str());
    session.Shutdown();
    EXPECT_TRUE(session.TakeFaults().empty());
}

}  // namespace
