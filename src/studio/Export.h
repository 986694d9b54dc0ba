// Export: the current frame or the whole input at full resolution, written
// by `stipplex render`'s own code into the folder the user chose, with the
// look saved beside it as a preset (and the uploaded layer images it names),
// so that `stipplex render INPUT OUT --preset LOOK.preset` gives the same
// bytes. One export at a time, on a thread of its own.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/Session.h"

namespace studio {

struct ExportJob {
    std::string folder;  // absolute, existing
    std::string name;    // a file name: .png or .exr; # for frame numbers
    std::string input;   // the input's path or pattern
    std::string presetText;
    // Uploaded layer images to copy beside the preset: name -> private path.
    std::vector<std::pair<std::string, std::string>> layerFiles;
    long first = 0;
    long last = 0;
    bool sequence = false;  // the input has frames; render first..last
    int fps = 30;
};

// The folder as the user typed it, made absolute and checked: an existing
// folder that can be written. Throws cli::UsageError naming it.
std::string CheckExportFolder(const std::string &folder);

class Exporter {
public:
    explicit Exporter(cli::Session &session) : session_(session) {}
    ~Exporter();

    // Checks the job and starts it. Throws cli::UsageError for a bad name,
    // a bad folder or an export already running.
    void Start(ExportJob job);
    void Cancel() { cancel_ = true; }
    // {running, done, total, frame, files, preset, error, cancelled}
    nlohmann::json Status() const;

private:
    void Run(ExportJob job);

    cli::Session &session_;
    mutable std::mutex mutex_;
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> cancel_{false};
    long done_ = 0;
    long total_ = 0;
    double frameFraction_ = 0;
    std::vector<std::string> files_;
    std::string preset_;
    std::string error_;
    bool cancelled_ = false;
};

}  // namespace studio
