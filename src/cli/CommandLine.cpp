// The command line: subcommands and options with CLI11, and the one place
// where errors become messages and exit statuses.
#include <CLI/CLI.hpp>

#include <cctype>
#include <new>
#include <optional>
#include <string>

#include "ClipRender.h"
#include "Commands.h"
#include "Errors.h"
#include "ParamCatalog.h"
#include "host/Host.h"

namespace cli {

namespace {

const char *const kCommands[] = {"about", "params", "defaults", "render", "studio"};

void Error(std::ostream &err, const std::string &message)
{
    err << "stipplex: error: " << message << "\n";
}

// The first word that is neither an option nor an option's value, when the
// parser found no command: that word was meant as one.
std::string StrayWord(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--plugin" || arg == "-L") {
            ++i;
            continue;
        }
        if (!arg.empty() && arg[0] != '-') {
            return arg;
        }
    }
    return "";
}

std::string UnknownCommandMessage(const std::string &word)
{
    std::string message = "unknown command '" + word + "'";
    std::string nearest;
    std::size_t best = 3;
    for (const char *command : kCommands) {
        const std::size_t d = EditDistance(word, command);
        if (d < best) {
            best = d;
            nearest = command;
        }
    }
    if (!nearest.empty()) {
        message += " (did you mean '" + nearest + "'?)";
    }
    return message + "; the commands are about, params, defaults, render and studio";
}

bool EqualsIgnoringCase(const std::string &a, const char *b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

// An option that takes exactly one value each time it is given.
CLI::Option *Repeatable(CLI::App *app, const std::string &name, std::vector<std::string> &into,
                        const std::string &help)
{
    return app->add_option(name, into, help)
        ->type_size(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// An option that is set only when it is given.
template <typename T>
CLI::Option *Optional(CLI::App *app, const std::string &name, std::optional<T> &into,
                      const std::string &help)
{
    return app->add_option_function<T>(
        name, [&into](const T &v) { into = v; }, help);
}

}  // namespace

int RunCommandLine(int argc, const char *const *argv, std::ostream &out, std::ostream &err,
                   bool errIsTerminal, StudioRunner studio)
{
    CLI::App app("Applies the Stipplex halftone effect to images through our effect host.",
                 "stipplex");
    app.require_subcommand(1);
    app.footer("Run 'stipplex COMMAND --help' for the options of a command.\n");

    CommonOptions common;
    app.add_option("--plugin", common.plugin,
                   "The plug-in to load (default: libstipplex.so beside this program, "
                   "else the one the build made)")
        ->type_name("PATH");
    // The effect chooses its language from the process's command line (its
    // option L) by itself; the tool only has to let the option through.
    std::string language;
    app.add_option("-L", language,
                   "The effect's user-interface language, JP or EN (default: from the locale)")
        ->type_name("LANG");

    CLI::App *about = app.add_subcommand("about", "Show the effect's about text");
    CLI::App *params = app.add_subcommand("params", "List the effect's parameters");
    bool json = false;
    params->add_flag("--json", json, "Print the list as JSON");

    CLI::App *defaults =
        app.add_subcommand("defaults", "Store or reset the effect's default values");
    defaults->require_subcommand(1);
    CLI::App *save = defaults->add_subcommand(
        "save", "Store the factory defaults, changed by --set, as the new defaults");
    std::vector<std::string> defaultSets;
    Repeatable(save, "--set", defaultSets, "A value to store, e.g. DotSize=12")
        ->type_name("NAME=VALUE");
    CLI::App *reset = defaults->add_subcommand("reset", "Go back to the factory defaults");

    CLI::App *render =
        app.add_subcommand("render", "Render an image, a sequence or a clip with the effect");
    RenderOptions ro;
    render
        ->add_option("INPUT", ro.input,
                     "The layer's image (.png or .exr) or clip; # for frame numbers")
        ->required();
    render
        ->add_option(
            "OUTPUT", ro.output,
            "The image (.png, .exr) or clip (.mov, .mp4, .mkv, .webm, .gif) to write; # for "
            "frame numbers")
        ->required();
    Repeatable(render, "--set", ro.sets,
               "Set a parameter (repeatable): NAME=VALUE in the units the effect controls show; "
               "'stipplex params' lists names and ranges")
        ->type_name("NAME=VALUE");
    Repeatable(render, "--preset", ro.presets,
               "Read NAME=VALUE lines from FILE ('#' starts a comment line); --set wins")
        ->type_name("FILE");
    Optional(render, "--depth", ro.depth, "Render depth: 8, 16 or 32 (default: the input's)")
        ->type_name("BITS");
    render->add_option("--downsample", ro.downsample, "Render at 1/N of the layer's size")
        ->type_name("N");
    Optional(render, "--frame", ro.frame, "The frame to render (the current time; default 0)")
        ->type_name("F");
    Optional(render, "--frames", ro.frames, "Render frames A to B; OUTPUT needs a # pattern")
        ->type_name("A-B");
    render
        ->add_option("--threads", ro.threads,
                     "Frames rendered at once, each by its own instance of the effect "
                     "(default 0: one per processor core)")
        ->type_name("N");
    render->add_option("--fps", ro.fps, "Frames per second, the time scale (default 30)")
        ->type_name("N");
    Optional(render, "--png-depth", ro.pngDepth,
             "Bits per channel of PNG output: 8 or 16 (default 8 for 8-bit renders, 16 otherwise)")
        ->type_name("BITS");
    Optional(render, "--exr-type", ro.exrType,
             "Channels of OpenEXR output: half or float (default float for 32-bit renders, half "
             "otherwise)")
        ->type_name("TYPE");
    Optional(render, "--exr-alpha", ro.exrAlpha,
             "OpenEXR colour, read and written: premultiplied by alpha as the format defines "
             "(default) or straight, for pipelines that write it so")
        ->type_name("KIND");
    Optional(render, "--memory-limit", ro.memoryLimit,
             "The memory a render may use, e.g. 512M or 2G; a larger frame is refused (default: "
             "half of the physical memory or of the control group's limit)")
        ->type_name("SIZE");
    Optional(render, "--png-compression", ro.pngCompression,
             "PNG compression: none, fast (default), small (about 3 times fast's time for files a "
             "third to two thirds the size) or smallest (slowest)")
        ->type_name("HOW");
    Optional(render, "--exr-compression", ro.exrCompression,
             "OpenEXR compression: none, rle, zips, zip, piz (default) (lossless); pxr24 "
             "(lossless for half, float to 24 bits); b44, b44a, dwaa, dwab (lossy)")
        ->type_name("HOW");
    bool verbose = false;
    bool quiet = false;
    render->add_flag("-v,--verbose", verbose, "Report every frame written");
    render->add_flag("-q,--quiet", quiet, "No progress bar (protocol faults are still shown)");
    render->add_flag("--strict", ro.strict,
                     "Fail at the effect's first protocol fault (exit status 3) instead of "
                     "finishing the render and then exiting with 3");
    render->add_flag("--timings", ro.timings,
                     "Print where each frame's time went (reading and decoding the input, "
                     "rendering, encoding and writing the output) and the frames per second, on "
                     "standard error");
    AddClipOptions(*render, ro);

    StudioOptions so;
    bool noOpen = false;
    CLI::App *studioCommand = nullptr;
    if (studio != nullptr) {
        studioCommand = app.add_subcommand(
            "studio", "Design a look in the browser with a live preview from the plug-in");
        studioCommand->add_option("INPUT", so.input,
                                  "The layer's image, clip or sequence (# for frame numbers)");
        studioCommand
            ->add_option("--port", so.port, "The port on 127.0.0.1 (default: any free port)")
            ->type_name("N");
        studioCommand->add_flag("--no-open", noOpen, "Print the address; do not open a browser");
        studioCommand->fallthrough();
    }

    for (CLI::App *sub : {about, params, defaults, render, save, reset}) {
        sub->fallthrough();  // --plugin after the command name too
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            return app.exit(e, out, err);  // --help
        }
        const std::string stray = StrayWord(argc, argv);
        if (app.get_subcommands().empty() && !stray.empty()) {
            Error(err, UnknownCommandMessage(stray));
        } else if (defaults->parsed() && !save->parsed() && !reset->parsed()) {
            Error(err, "'defaults' needs an action: save or reset");
        } else {
            Error(err, e.what());
        }
        err << "Run 'stipplex --help' for usage.\n";
        return kExitUsage;
    }

    if (!language.empty() && !EqualsIgnoringCase(language, "JP") &&
        !EqualsIgnoringCase(language, "EN")) {
        Error(err, "unknown language '" + language + "' for -L: use JP or EN");
        return kExitUsage;
    }
    if (verbose && quiet) {
        Error(err, "-v and -q cannot be used together");
        return kExitUsage;
    }
    common.verbosity = quiet     ? Verbosity::kQuiet
                       : verbose ? Verbosity::kVerbose
                                 : Verbosity::kNormal;
    ro.progress = errIsTerminal;

    try {
        if (about->parsed()) {
            RunAbout(common, out, err);
        } else if (params->parsed()) {
            RunParams(common, json, out, err);
        } else if (save->parsed()) {
            RunDefaultsSave(common, defaultSets, out, err);
        } else if (reset->parsed()) {
            RunDefaultsReset(common, out, err);
        } else if (render->parsed()) {
            RunRender(common, ro, out, err);
        } else if (studioCommand != nullptr && studioCommand->parsed()) {
            if (so.port < 0 || so.port > 65535) {
                throw UsageError("--port must be 0 (any free port) to 65535");
            }
            so.openBrowser = !noOpen;
            studio(common, so, out, err);
        }
    } catch (const UsageError &e) {
        Error(err, e.what());
        return kExitUsage;
    } catch (const ProtocolFaults &e) {
        Error(err, e.what());
        return kExitFaults;
    } catch (const Failure &e) {
        Error(err, e.what());
        return kExitFailure;
    } catch (const host::HostError &e) {
        Error(err, std::string("host: ") + e.what());
        return kExitFailure;
    } catch (const std::bad_alloc &) {
        Error(err, "out of memory");
        return kExitFailure;
    } catch (const std::exception &e) {
        Error(err, e.what());
        return kExitFailure;
    }
    out.flush();
    return out ? kExitOk : kExitFailure;
}

}  // namespace cli
