// A file that appears under its name only when complete. Where the file
// system allows, the content goes to an unnamed file in the target's folder
// that Commit links under the target's name, so that nothing is left behind
// whatever ends the process, even SIGKILL. Elsewhere it goes to a named
// temporary file beside the target that Commit renames over it; such files
// are removed when the object dies and, after RemoveTemporariesOnSignals, by
// SIGINT, SIGTERM and SIGHUP. The target is untouched until Commit.
#pragma once

#include <cstddef>
#include <string>

namespace cli {

class AtomicFile {
public:
    enum class Kind {
        kUnnamedIfPossible,  // unnamed where the file system has them, else named
        kNamed,              // always a named temporary file
    };

    // Creates the empty temporary file. Throws Failure naming the target
    // when the folder cannot take it.
    explicit AtomicFile(std::string target, Kind kind = Kind::kUnnamedIfPossible);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Where to write the content: a path to open for writing (for an
    // unnamed file, its descriptor's entry under /proc).
    const std::string &TempPath() const { return temp_; }
    const std::string &Target() const { return target_; }
    bool Unnamed() const { return unnamed_; }

    // Appends `size` bytes to the content. Throws Failure naming the target.
    void Write(const void *data, std::size_t size);

    // Flushes the content to the disk and puts it in place of the target.
    // Throws Failure naming the target; the target is then untouched.
    void Commit();

private:
    void Abandon();

    std::string target_;
    std::string temp_;
    int fd_ = -1;
    bool unnamed_ = false;
    int slot_ = -1;  // of a named temporary file in the signal handler's list
};

// Why a write failed, for a message after "cannot write 'FILE': ": "the disk
// is full" for ENOSPC and EDQUOT, the file size limit for EFBIG, else the
// system's text for `error`.
std::string WriteErrorText(int error);

// Makes SIGINT, SIGTERM and SIGHUP (unless ignored, as under nohup) remove
// the named temporary files of every AtomicFile not yet committed, then end
// the process by the same signal, so its exit status tells which. Ignores
// SIGXFSZ, so that a file size limit fails the write with EFBIG instead of
// killing the process. For the program's main, once, before any thread.
void RemoveTemporariesOnSignals();

}  // namespace cli
