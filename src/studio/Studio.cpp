#include "Studio.h"

#include <fcntl.h>
#include <ftw.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "Server.h"
#include "cli/Errors.h"
#include "cli/Session.h"

extern char **environ;

namespace studio {

namespace {

// The folder that keeps uploads while the studio runs.
class WorkFolder {
public:
    WorkFolder()
    {
        const char *tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/stipplex-studio-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw cli::Failure("cannot make a folder for uploads in " + pattern);
        }
        path_ = pattern;
    }
    ~WorkFolder()
    {
        ::nftw(
            path_.c_str(),
            [](const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); },
            16, FTW_DEPTH | FTW_PHYS);
    }
    WorkFolder(const WorkFolder &) = delete;
    WorkFolder &operator=(const WorkFolder &) = delete;
    const std::string &Path() const { return path_; }

private:
    std::string path_;
};

// Where a desktop is, xdg-open shows the page in the default browser. It
// runs on its own; whether it manages is not the studio's concern.
bool OpenBrowser(const std::string &address)
{
    const char *display = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (!wayland || !*wayland)) {
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string program = "xdg-open";
    char *argv[] = {program.data(), const_cast<char *>(address.c_str()), nullptr};
    pid_t pid = 0;
    const int failed = ::posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        return false;
    }
    // Reaped in the background, so that it leaves no zombie.
    std::thread([pid] { ::waitpid(pid, nullptr, 0); }).detach();
    return true;
}

}  // namespace

void RunStudio(const cli::CommonOptions &common, const cli::StudioOptions &options,
               std::ostream &out, std::ostream &err)
{
    // Ctrl+C and the like end the studio in order (uploads removed, the
    // effect set down): every thread blocks them and one waits for them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    for (const int s : {SIGINT, SIGTERM, SIGHUP, SIGUSR1}) {
        sigaddset(&stopSignals, s);
    }
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);
    struct Unblock {
        sigset_t *mask;
        ~Unblock() { pthread_sigmask(SIG_SETMASK, mask, nullptr); }
    } unblock{&previous};

    cli::Session session(common.plugin.empty() ? cli::DefaultPluginPath() : common.plugin);
    WorkFolder work;
    {
        Server server(session, options.input, work.Path());
        server.Bind(options.port);
        const std::string address = server.Address();
        out << "Stipplex studio: " << address << "\n";
        const bool opened = options.openBrowser && OpenBrowser(address);
        if (!opened && common.verbosity != cli::Verbosity::kQuiet) {
            err << "Open the address above in a browser. ";
        }
        if (common.verbosity != cli::Verbosity::kQuiet) {
            err << "Press Ctrl+C to stop.\n";
        }
        out.flush();
        err.flush();

        std::thread waiter([&] {
            int signal = 0;
            sigwait(&stopSignals, &signal);
            server.Stop();
        });
        server.Serve();
        // Serve may end without a signal: wake the waiter.
        pthread_kill(waiter.native_handle(), SIGUSR1);
        waiter.join();
    }
    session.Shutdown();
    session.TakeFaults();
}

}  // namespace studio
