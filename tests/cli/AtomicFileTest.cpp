// Files that appear only when complete, of both kinds, and the signal
// handler that removes named temporary files.
#include "cli/AtomicFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "TestDir.h"
#include "cli/Errors.h"

namespace {

using ::testing::HasSubstr;
using ::testing::IsSubsetOf;

using cli::AtomicFile;
using clitest::TestDir;

TEST(AtomicFile, EachKindShowsTheTargetOnlyOnCommitKeepsItsModeAndLeavesNothingElse)
{
    for (const AtomicFile::Kind kind :
         {AtomicFile::Kind::kUnnamedIfPossible, AtomicFile::Kind::kNamed}) {
        TestDir dir;
        const std::string fresh = dir.Path("fresh.png"), old = dir.Path("old.png");
        clitest::WriteFile(old, "old");
        ASSERT_EQ(::chmod(old.c_str(), 0640), 0);
        {
            AtomicFile a(fresh, kind), b(old, kind), dropped(dir.Path("dropped.png"), kind);
            EXPECT_EQ(a.Unnamed(), kind == AtomicFile::Kind::kUnnamedIfPossible &&
                                       clitest::UnnamedFilesSupported(dir.Path("")));
            clitest::WriteFile(a.TempPath(), "new A");
            clitest::WriteFile(b.TempPath(), "new B");
            clitest::WriteFile(dropped.TempPath(), "never seen");
            EXPECT_EQ(::access(fresh.c_str(), F_OK), -1);
            EXPECT_EQ(clitest::ReadFile(old), "old");
            a.Commit();
            b.Commit();
            EXPECT_THROW(b.Commit(), cli::Failure);
        }
        EXPECT_EQ(clitest::ReadFile(fresh), "new A");
        EXPECT_EQ(clitest::ReadFile(old), "new B");
        EXPECT_EQ(std::filesystem::status(old).permissions(), std::filesystem::perms(0640));
        EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"fresh.png", "old.png"}));
    }
}

TEST(AtomicFile, WriteErrorsSayTheDiskIsFull)
{
    EXPECT_EQ(cli::WriteErrorText(ENOSPC), "the disk is full");
    EXPECT_EQ(cli::WriteErrorText(EDQUOT).rfind("the disk is full", 0), 0u);
    EXPECT_THAT(cli::WriteErrorText(EFBIG), HasSubstr("file size limit"));
    EXPECT_EQ(cli::WriteErrorText(EACCES), std::strerror(EACCES));
}

// A child process that keeps writing named temporary files on three threads
// (committing every other one) until a stop signal ends it: the handler must
// remove every temporary file, also those created while it runs, and the
// process must end by that signal.
TEST(AtomicFile, StopSignalsRemoveNamedTemporaryFilesAndEndTheProcessBySignal)
{
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        TestDir dir;
        const std::string keep = dir.Path("keep.png");
        clitest::WriteFile(keep, "keep");
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            ::close(ready[0]);
            for (const int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, SIG_DFL);
            cli::RemoveTemporariesOnSignals();
            AtomicFile pending(keep, AtomicFile::Kind::kNamed);
            std::ofstream(pending.TempPath()) << "never committed";
            std::atomic<int> rounds{0};
            auto writer = [&](int n) {
                for (long i = 0;; ++i) {
                    try {
                        AtomicFile f(dir.Path("t" + std::to_string(n) + ".png"),
                                     AtomicFile::Kind::kNamed);
                        // Into the file as it is, never making it again
                        // once the handler has removed it.
                        std::ofstream(f.TempPath(), std::ios::in | std::ios::out) << i;
                        if (i % 2 == 0) f.Commit();
                    } catch (const cli::Failure &) {
                        // Refused once the handler has started.
                    }
                    ++rounds;
                }
            };
            for (int n = 0; n < 3; ++n) std::thread(writer, n).detach();
            while (rounds < 30) std::this_thread::yield();
            const char go = 1;
            (void)!::write(ready[1], &go, 1);
            for (;;) ::pause();
        }
        ::close(ready[1]);
        char go = 0;
        ASSERT_EQ(::read(ready[0], &go, 1), 1);
        ::close(ready[0]);
        ASSERT_EQ(::kill(child, signal), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(clitest::ReadFile(keep), "keep");
        EXPECT_THAT(dir.Entries(), IsSubsetOf({"keep.png", "t0.png", "t1.png", "t2.png"}))
            << "left behind after signal " << signal;
    }
}

}  // namespace
