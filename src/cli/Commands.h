// The subcommands of `stipplex`. Each throws UsageError for a bad request
// and Failure for anything that goes wrong while carrying it out; the
// command line turns those into messages and exit codes.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace cli {

enum class Verbosity { kQuiet, kNormal, kVerbose };

struct CommonOptions {
    std::string plugin;  // empty: DefaultPluginPath()
    Verbosity verbosity = Verbosity::kNormal;
};

// `about`: GLOBAL_SETUP and ABOUT; the about text with its "\r" line breaks
// as new lines.
void RunAbout(const CommonOptions &common, std::ostream &out, std::ostream &err);

// `params [--json]`
void RunParams(const CommonOptions &common, bool json, std::ostream &out, std::ostream &err);

// `defaults save [--set NAME=VALUE ...]` and `defaults reset`.
void RunDefaultsSave(const CommonOptions &common, const std::vector<std::string> &sets,
                     std::ostream &out, std::ostream &err);
void RunDefaultsReset(const CommonOptions &common, std::ostream &out, std::ostream &err);

struct RenderOptions {
    std::string input;
    std::string output;
    std::vector<std::string> presets;  // applied first, in order
    std::vector<std::string> sets;     // then these, in order; the last value wins
    std::optional<int> depth;          // 8, 16, 32; default the input's
    int downsample = 1;
    std::optional<long> frame;
    std::optional<std::string> frames;  // "A-B"
    int fps = 30;
    int threads = 0;                            // frames at once; 0: one per core
    std::optional<int> pngDepth;                // 8 or 16
    std::optional<std::string> exrType;         // "half" or "float"
    std::optional<std::string> pngCompression;  // ImageIO.h's names
    std::optional<std::string> exrCompression;
    bool progress = false;  // draw a progress bar on `err`
    bool timings = false;   // print where each frame's time went on `err`
    bool strict = false;    // the first protocol fault fails the render
    // "512M", "2G", a number of bytes; default: DefaultMemoryLimit()
    std::optional<std::string> memoryLimit;
    // "premultiplied" (default) or "straight": OpenEXR colour, in and out
    std::optional<std::string> exrAlpha;
    // Clip output (VideoWriter.h): encoder, quality, pixel format, padding, audio.
    std::optional<std::string> codec;
    std::optional<int> crf;
    std::optional<std::string> bitrate;
    std::optional<std::string> pixFmt;
    bool padEven = false;
    bool audio = true;
    std::optional<std::string> shard;  // "K/N": the K-th of N parts of the frames
};

// `render INPUT OUTPUT [options]`
void RunRender(const CommonOptions &common, const RenderOptions &options, std::ostream &out,
               std::ostream &err);

struct StudioOptions {
    std::string input;  // an image, a clip or a sequence pattern; empty: open one in the page
    int port = 0;       // 0: any free port
    bool openBrowser = true;
};

// `studio`: lives above the command (src/studio) and is handed in by the
// program, so that the command's library does not depend on it.
using StudioRunner = void (*)(const CommonOptions &common, const StudioOptions &options,
                              std::ostream &out, std::ostream &err);

// The whole program: parses `argv`, runs the command, reports errors as
// "stipplex: error: ..." on `err`. Returns the exit status: 0, 1 for a
// failure while working, 2 for a usage error, 3 for protocol faults of the
// effect. Without `studio` the studio
// command is not offered.
int RunCommandLine(int argc, const char *const *argv, std::ostream &out, std::ostream &err,
                   bool errIsTerminal, StudioRunner studio = nullptr);

}  // namespace cli
