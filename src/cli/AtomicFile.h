// A file that appears under its name only when complete: it is written under
// a temporary name in the same folder (so the final rename stays within one
// file system) and renamed over the target by Commit. A file that is never
// committed is removed when the object dies, and the target is untouched.
#pragma once

#include <string>

namespace cli {

class AtomicFile {
public:
    // Creates the empty temporary file. Throws Failure naming the target
    // when the folder cannot take it.
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;

    // Where to write the content.
    const std::string &TempPath() const { return temp_; }
    const std::string &Target() const { return target_; }

    // Renames the temporary file over the target. Throws Failure.
    void Commit();

private:
    std::string target_;
    std::string temp_;
    bool committed_ = false;
};

}  // namespace cli
