// Fuzz inputs for readers that take a file name: the bytes are written to
// one in-memory file per process (a regular file to every check), which the
// reader opens by its /proc name.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzz {

inline const std::string &FileWith(const std::uint8_t *data, std::size_t size)
{
    static const int fd = ::memfd_create("stipplex-fuzz", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 ||
        (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))) {
        std::abort();
    }
    return path;
}

}  // namespace fuzz
