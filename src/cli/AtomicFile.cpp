#include "AtomicFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "Errors.h"

namespace cli {

namespace {

std::string ErrnoText(int error)
{
    return std::strerror(error);
}

// The permissions a new file would get, or the target's own when it exists,
// so that replacing a file keeps its mode (mkstemp creates 0600).
mode_t TargetMode(const std::string &target)
{
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        return st.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

AtomicFile::AtomicFile(std::string target) : target_(std::move(target))
{
    const std::size_t slash = target_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (base.empty()) {
        throw Failure("cannot write '" + target_ + "': not a file name");
    }
    std::string pattern = folder + "." + base + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        throw Failure("cannot write '" + target_ + "': " + ErrnoText(errno));
    }
    temp_ = name.data();
    const int chmodFailed = ::fchmod(fd, TargetMode(target_));
    const int chmodError = errno;
    ::close(fd);
    if (chmodFailed != 0) {
        ::unlink(temp_.c_str());
        throw Failure("cannot write '" + target_ + "': " + ErrnoText(chmodError));
    }
}

AtomicFile::~AtomicFile()
{
    if (!committed_ && !temp_.empty()) {
        ::unlink(temp_.c_str());
    }
}

void AtomicFile::Commit()
{
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        throw Failure("cannot write '" + target_ + "': " + ErrnoText(errno));
    }
    committed_ = true;
}

}  // namespace cli
