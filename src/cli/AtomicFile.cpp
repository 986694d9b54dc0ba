#include "AtomicFile.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <random>
#include <thread>
#include <utility>

#include "Errors.h"

namespace cli {

namespace {

// ------------------------------------------------------------------
// The named temporary files not yet committed, as the signal handler
// reads them: a fixed list of slots that the handler can walk without
// locks or allocation.
//
// A writer claims a free slot (kBusy), writes the path and creates the file,
// then arms the slot; the handler first marks the process as stopping and
// then, slot by slot, waits out kBusy and removes what is armed. A writer
// that claims a slot checks the mark before creating anything, so each file
// is either seen by the handler or never made. A thread blocks the stop
// signals while its slot is busy: a handler on that thread would wait for
// itself.

constexpr int kSlots = 128;
enum SlotState : int { kFree, kBusy, kArmed };

struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};

Slot g_slots[kSlots];
std::atomic<bool> g_stopping{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "the signal handler needs lock-free atomics");

const int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

sigset_t StopSignalSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int s : kStopSignals) {
        sigaddset(&set, s);
    }
    return set;
}

class StopSignalsBlocked {
public:
    StopSignalsBlocked()
    {
        const sigset_t set = StopSignalSet();
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~StopSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    StopSignalsBlocked(const StopSignalsBlocked &) = delete;
    StopSignalsBlocked &operator=(const StopSignalsBlocked &) = delete;

private:
    sigset_t previous_;
};

// Creates the file `path` by `create` (which returns 0 or an errno value)
// with the path listed. Returns the slot, or -1 with the reason in `error`.
template <typename Create>
int CreateListed(const std::string &path, Create create, int &error)
{
    if (path.size() >= PATH_MAX) {
        error = ENAMETOOLONG;
        return -1;
    }
    StopSignalsBlocked blocked;
    for (;;) {
        for (int i = 0; i < kSlots; ++i) {
            Slot &slot = g_slots[i];
            int expected = kFree;
            if (!slot.state.compare_exchange_strong(expected, kBusy)) {
                continue;
            }
            if (g_stopping.load()) {
                // The handler may have passed this slot already.
                slot.state.store(kFree);
                error = EINTR;
                return -1;
            }
            std::memcpy(slot.path, path.c_str(), path.size() + 1);
            error = create();
            slot.state.store(error == 0 ? kArmed : kFree);
            return error == 0 ? i : -1;
        }
        // Every slot holds a file being written by another thread, which
        // frees its slot without needing another.
        std::this_thread::yield();
    }
}

void Unlist(int slot)
{
    g_slots[slot].state.store(kFree);
}

void RemoveListed()
{
    g_stopping.store(true);
    for (Slot &slot : g_slots) {
        int state = slot.state.load();
        while (state == kBusy) {
            const timespec pause{0, 100000};
            nanosleep(&pause, nullptr);
            state = slot.state.load();
        }
        if (state == kArmed) {
            ::unlink(slot.path);
        }
    }
}

void OnStopSignal(int signal)
{
    const int saved = errno;
    RemoveListed();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    // Delivered as soon as the handler returns (the signal is blocked while
    // it runs), with the default action: the process ends by this signal.
    raise(signal);
    errno = saved;
}

// ------------------------------------------------------------------

[[noreturn]] void Fail(const std::string &target, int error)
{
    throw Failure("cannot write '" + target + "': " + WriteErrorText(error));
}

// The permissions a new file would get, or the target's own when it exists,
// so that replacing a file keeps its mode.
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

// A name beside `target`, hidden and unlikely to be taken.
std::string TemporaryName(const std::string &folder, const std::string &base)
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random(std::random_device{}() ^
                                        std::hash<std::thread::id>{}(std::this_thread::get_id()));
    std::string name = folder + "." + base + ".tmp-";
    for (int i = 0; i < 8; ++i) {
        name += kLetters[random() % (sizeof kLetters - 1)];
    }
    return name;
}

// Linking an unnamed file goes through its descriptor's entry under /proc.
bool ProcFdAvailable()
{
    static const bool available = ::access("/proc/self/fd", X_OK) == 0;
    return available;
}

}  // namespace

std::string WriteErrorText(int error)
{
    switch (error) {
        case ENOSPC:
            return "the disk is full";
#if defined(EDQUOT)
        case EDQUOT:
            return "the disk is full (the disk quota is used up)";
#endif
        case EFBIG:
            return "the file would be larger than the file size limit allows";
        default:
            return std::strerror(error);
    }
}

void RemoveTemporariesOnSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_mask = StopSignalSet();
    for (const int s : kStopSignals) {
        struct sigaction previous {};
        if (sigaction(s, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN) {
            sigaction(s, &action, nullptr);
        }
    }
    signal(SIGXFSZ, SIG_IGN);
}

AtomicFile::AtomicFile(std::string target, Kind kind) : target_(std::move(target))
{
    const std::size_t slash = target_.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    if (base.empty()) {
        throw Failure("cannot write '" + target_ + "': not a file name");
    }
    const mode_t mode = TargetMode(target_);
#if defined(O_TMPFILE)
    if (kind == Kind::kUnnamedIfPossible && ProcFdAvailable()) {
        fd_ = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            unnamed_ = true;
            temp_ = "/proc/self/fd/" + std::to_string(fd_);
        } else if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            Fail(target_, errno);
        }
    }
#else
    (void)kind;
#endif
    for (int attempt = 0; fd_ < 0; ++attempt) {
        const std::string name = TemporaryName(folder, base);
        int fd = -1;
        int error = 0;
        const int slot = CreateListed(
            name,
            [&] {
                fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
                return fd < 0 ? errno : 0;
            },
            error);
        if (slot >= 0) {
            fd_ = fd;
            slot_ = slot;
            temp_ = name;
        } else if (error != EEXIST || attempt == 100) {
            Fail(target_, error);
        }
    }
    if (::fchmod(fd_, mode) != 0) {
        const int error = errno;
        Abandon();
        Fail(target_, error);
    }
}

AtomicFile::~AtomicFile()
{
    Abandon();
}

void AtomicFile::Abandon()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (slot_ >= 0) {
        ::unlink(temp_.c_str());
        Unlist(slot_);
        slot_ = -1;
    }
}

void AtomicFile::Write(const void *data, std::size_t size)
{
    const auto *from = static_cast<const unsigned char *>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, from, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            Fail(target_, n < 0 ? errno : EIO);
        }
        from += n;
        size -= static_cast<std::size_t>(n);
    }
}

void AtomicFile::Commit()
{
    if (fd_ < 0) {
        throw Failure("cannot write '" + target_ + "': the file was already committed");
    }
    if (::fsync(fd_) != 0) {
        Fail(target_, errno);
    }
    if (!unnamed_) {
        const int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0) {
            Fail(target_, errno);
        }
        if (::rename(temp_.c_str(), target_.c_str()) != 0) {
            Fail(target_, errno);  // the destructor removes the temporary file
        }
        Unlist(slot_);
        slot_ = -1;
        return;
    }
#if defined(O_TMPFILE)
    if (::linkat(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), AT_SYMLINK_FOLLOW) != 0) {
        if (errno != EEXIST) {
            Fail(target_, errno);
        }
        // A link cannot replace a file, a rename can: link the content under
        // a temporary name, listed for the signal handler, and rename that
        // over the target at once.
        const std::size_t slash = target_.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
        const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
        std::string name;
        int slot = -1;
        for (int attempt = 0; slot < 0; ++attempt) {
            name = TemporaryName(folder, base);
            int error = 0;
            slot = CreateListed(
                name,
                [&] {
                    return ::linkat(AT_FDCWD, temp_.c_str(), AT_FDCWD, name.c_str(),
                                    AT_SYMLINK_FOLLOW) == 0
                               ? 0
                               : errno;
                },
                error);
            if (slot < 0 && (error != EEXIST || attempt == 100)) {
                Fail(target_, error);
            }
        }
        const bool renamed = ::rename(name.c_str(), target_.c_str()) == 0;
        const int error = errno;
        if (!renamed) {
            ::unlink(name.c_str());
        }
        Unlist(slot);
        if (!renamed) {
            Fail(target_, error);
        }
    }
    ::close(fd_);
    fd_ = -1;
#endif
}

}  // namespace cli
