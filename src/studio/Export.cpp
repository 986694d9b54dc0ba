#include "Export.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "Security.h"
#include "cli/AtomicFile.h"
#include "cli/Errors.h"
#include "cli/FramePattern.h"
#include "cli/FrameRender.h"
#include "cli/ImageIO.h"
#include "cli/VideoWriter.h"

namespace studio {

namespace {

std::string ReadAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAtomically(const std::string &path, const std::string &content)
{
    cli::AtomicFile file(path);
    {
        std::ofstream out(file.TempPath(), std::ios::binary | std::ios::trunc);
        errno = 0;
        out << content;
        out.flush();
        if (!out) {
            throw cli::Failure("cannot write '" + path + "'" +
                               (errno != 0 ? ": " + cli::WriteErrorText(errno) : ""));
        }
    }
    file.Commit();
}

// The preset's name: the image's without extension, frame numbers and the
// dots before them ("look.####.png" -> "look.preset").
std::string PresetName(const std::string &imageName)
{
    std::string stem = imageName.substr(0, imageName.find_last_of('.'));
    const std::size_t hash = stem.find('#');
    if (hash != std::string::npos) {
        stem = stem.substr(0, hash);
    }
    while (!stem.empty() && (stem.back() == '.' || stem.back() == '_' || stem.back() == '-')) {
        stem.pop_back();
    }
    return (stem.empty() ? "look" : stem) + ".preset";
}

class StatusObserver : public cli::RenderObserver {
public:
    StatusObserver(std::mutex &mutex, long &done, double &fraction, std::vector<std::string> &files,
                   std::atomic<bool> &cancel)
        : mutex_(mutex), done_(done), fraction_(fraction), files_(files), cancel_(cancel)
    {
    }
    void FrameStarted(long done, long, const std::string &) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = done;
        fraction_ = 0;
    }
    void Step(long current, long total) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fraction_ = total > 0 ? static_cast<double>(current) / total : 0;
    }
    void FrameWritten(long, const std::string &path, const cli::Image &, double) override
    {
        std::lock_guard<std::mutex> lock(mutex_);
        files_.push_back(path);
        done_ = static_cast<long>(files_.size());
        fraction_ = 0;
    }
    bool Cancelled() override { return cancel_; }

private:
    std::mutex &mutex_;
    long &done_;
    double &fraction_;
    std::vector<std::string> &files_;
    std::atomic<bool> &cancel_;
};

}  // namespace

std::string CheckExportFolder(const std::string &folder)
{
    if (folder.empty()) {
        throw cli::UsageError("choose a folder to export into");
    }
    char resolved[PATH_MAX];
    if (::realpath(folder.c_str(), resolved) == nullptr) {
        throw cli::UsageError("the export folder '" + folder + "' does not exist");
    }
    struct stat st {};
    if (::stat(resolved, &st) != 0 || !S_ISDIR(st.st_mode)) {
        throw cli::UsageError("'" + folder + "' is not a folder");
    }
    if (::access(resolved, W_OK) != 0) {
        throw cli::UsageError("the folder '" + folder + "' cannot be written");
    }
    return resolved;
}

Exporter::~Exporter()
{
    cancel_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

void Exporter::Start(ExportJob job)
{
    if (running_) {
        throw cli::UsageError("an export is running already");
    }
    if (const auto bad = BadFileName(job.name)) {
        throw cli::UsageError(*bad);
    }
    const bool clip = job.first != job.last && cli::IsClipOutput(job.name);
    if (!cli::FormatForExtension(job.name) && !clip) {
        throw cli::UsageError(
            "'" + job.name + "': the file name must end in .png or .exr" +
            (job.sequence ? ", or name a clip (.mov, .mp4, .mkv, .webm, .gif)" : std::string()));
    }
    if (job.sequence && job.first != job.last && !clip && !cli::HasFramePattern(job.name)) {
        throw cli::UsageError("exporting frames " + std::to_string(job.first) + " to " +
                              std::to_string(job.last) +
                              " needs a # pattern in the name, e.g. look.####.png");
    }
    job.folder = CheckExportFolder(job.folder);
    if (thread_.joinable()) {
        thread_.join();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = 0;
        total_ = job.last - job.first + 1;
        frameFraction_ = 0;
        files_.clear();
        preset_.clear();
        error_.clear();
        cancelled_ = false;
    }
    cancel_ = false;
    running_ = true;
    thread_ = std::thread([this, job = std::move(job)] { Run(job); });
}

void Exporter::Run(ExportJob job)
{
    try {
        // The layer images the preset names go beside it, unless the same
        // file is there already.
        for (const auto &[name, source] : job.layerFiles) {
            const std::string target = job.folder + "/" + name;
            const std::string content = ReadAll(source);
            if (::access(target.c_str(), F_OK) == 0) {
                if (ReadAll(target) != content) {
                    throw cli::Failure("the folder already holds another '" + name +
                                       "'; the look needs its own: rename one of them");
                }
                continue;
            }
            WriteAtomically(target, content);
        }
        const std::string presetPath = job.folder + "/" + PresetName(job.name);
        WriteAtomically(presetPath, "# Stipplex look, saved by stipplex studio\n" + job.presetText);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            preset_ = presetPath;
        }
        cli::RenderOptions options;
        options.input = job.input;
        options.output = job.folder + "/" + job.name;
        options.presets = {presetPath};
        options.fps = job.fps;
        if (job.sequence) {
            options.frames = std::to_string(job.first) + "-" + std::to_string(job.last);
        }
        StatusObserver observer(mutex_, done_, frameFraction_, files_, cancel_);
        cli::RenderWithSession(session_, options, observer);
    } catch (const cli::Interrupted &) {
        std::lock_guard<std::mutex> lock(mutex_);
        cancelled_ = true;
    } catch (const std::exception &e) {
        std::lock_guard<std::mutex> lock(mutex_);
        error_ = e.what();
    }
    running_ = false;
}

nlohmann::json Exporter::Status() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return {{"running", running_.load()},
            {"done", done_},
            {"total", total_},
            {"fraction", total_ > 0 ? (static_cast<double>(done_) + frameFraction_) / total_ : 0},
            {"files", files_},
            {"preset", preset_},
            {"error", error_},
            {"cancelled", cancelled_}};
}

}  // namespace studio
