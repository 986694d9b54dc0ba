// The built `stipplex` program stopped by signals, short of disk space, and
// facing an effect that breaks the host's rules.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "TestDir.h"
#include "cli/ImageIO.h"

namespace {

using ::testing::HasSubstr;

using namespace cli;
using clitest::Outcome;
using clitest::RunTool;
using clitest::TestDir;

// Noise, which compresses badly: outputs of some size.
void WriteNoise(const std::string &path, int width, int height)
{
    WriteImage(path, clitest::RandomImage(width, height, Depth::k8, 7));
}

bool EndsWithPngEnd(const std::string &bytes)
{
    static const std::string end("IEND\xae\x42\x60\x82", 8);
    return bytes.size() > end.size() &&
           bytes.compare(bytes.size() - end.size(), end.size(), end) == 0;
}

// A sequence render is stopped by each signal once its first frame has
// replaced an old output. Every output is then either the old file,
// untouched, or a complete new frame; nothing else is in the folder; and the
// program ended by that signal (a shell shows 128 + the signal number).
TEST(Stop, ASignalMidSequenceLeavesOnlyCompleteOutputsAndUntouchedOldOnes)
{
    REQUIRE_BUILT();
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGKILL}) {
        SCOPED_TRACE("signal " + std::to_string(signal));
        TestDir dir;
        if (signal == SIGKILL && !clitest::UnnamedFilesSupported(dir.Path(""))) {
            std::printf("this file system has no unnamed files: SIGKILL not tried\n");
            continue;
        }
        WriteNoise(dir.Path("in.png"), 480, 360);
        ASSERT_EQ(::mkdir(dir.Path("seq").c_str(), 0755), 0);
        WriteNoise(dir.Path("old.png"), 8, 8);
        const std::string old = clitest::ReadFile(dir.Path("old.png"));
        std::vector<std::string> names;  // seq/o.0000.png to seq/o.0119.png
        for (int f = 0; f < 120; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "seq/o.%04d.png", f);
            clitest::WriteFile(dir.Path(names.emplace_back(name)), old);
        }
        const auto rendered = [&] {
            return std::count_if(names.begin(), names.end(), [&](const std::string &name) {
                return clitest::ReadFile(dir.Path(name)) != old;
            });
        };
        const pid_t pid = Start(dir, {"render", "in.png", "seq/o.####.png", "--frames", "0-119",
                                      "--threads", "2", "-q", "--plugin", STIPPLEX_PLUGIN_PATH});
        ASSERT_GT(pid, 0);
        // Polled by size, which is quick: reading every file at each turn
        // takes longer than the whole render in a sanitizer build.
        const auto anyReplaced = [&] {
            return std::any_of(names.begin(), names.end(), [&](const std::string &name) {
                std::error_code e;
                const auto size = std::filesystem::file_size(dir.Path(name), e);
                return !e && size != old.size();
            });
        };
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
        while (!anyReplaced() && std::chrono::steady_clock::now() < deadline) {
            int ignored = 0;
            ASSERT_EQ(::waitpid(pid, &ignored, WNOHANG), 0) << "the render ended by itself";
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_EQ(::kill(pid, signal), 0);
        const Outcome o = Wait(dir, pid);
        EXPECT_EQ(o.signal, signal) << "exit status " << o.status << "\n" << o.err;
        // Nothing left behind (the old files are all there); every new file
        // complete. Replacing a file links the finished frame under a hidden
        // name and renames it: only SIGKILL between the two can leave that
        // complete file.
        for (const std::string &entry : dir.Entries("seq")) {
            if (std::count(names.begin(), names.end(), "seq/" + entry) == 0) {
                EXPECT_EQ(signal, SIGKILL) << entry << " left behind";
                EXPECT_TRUE(entry[0] == '.' && entry.find(".png.tmp-") != std::string::npos &&
                            EndsWithPngEnd(clitest::ReadFile(dir.Path("seq/" + entry))))
                    << entry;
            }
        }
        for (const std::string &name : names) {
            const std::string bytes = clitest::ReadFile(dir.Path(name));
            if (bytes != old) {
                EXPECT_TRUE(EndsWithPngEnd(bytes)) << name << " is cut short";
                EXPECT_EQ(ReadImage(dir.Path(name)).Width(), 480) << name;
            }
        }
        EXPECT_GE(rendered(), 1);
        EXPECT_LT(rendered(), 120);
    }
}

// A failed write names the output and the reason; the old output stays and
// no temporary file is left: a PNG and an EXR output written into `folder`.
void ExpectWriteFailures(const TestDir &dir, const std::string &folder, const std::string &reason,
                         rlim_t fileSizeLimit = 0)
{
    WriteNoise(dir.Path("in.png"), 256, 256);
    ::mkdir(folder.c_str(), 0755);  // or there already
    for (const std::string name : {"o.png", "o.exr"}) {
        const std::string path = folder + "/" + name;
        clitest::WriteFile(path, "old");
        const Outcome o = RunTool(dir, {"render", "in.png", path, "--plugin", STIPPLEX_PLUGIN_PATH},
                                  fileSizeLimit);
        EXPECT_EQ(o.status, 1) << o.err;
        EXPECT_THAT(o.err, HasSubstr("cannot write '" + path + "': "));
        EXPECT_THAT(o.err, HasSubstr(reason));
        EXPECT_EQ(clitest::ReadFile(path), "old");
    }
    EXPECT_EQ(dir.Entries(folder), (std::vector<std::string>{"o.exr", "o.png"}));
}

TEST(Stop, AFileSizeLimitIsNamedAsSuch)
{
    REQUIRE_BUILT();
    TestDir dir;
    ExpectWriteFailures(dir, dir.Path("out"),
                        "the file would be larger than the file size limit allows", 16384);
}

TEST(Stop, AFullDiskIsNamedAsSuch)
{
    REQUIRE_BUILT();
    TestDir dir;
    const std::string full = dir.Path("full");
    ASSERT_EQ(::mkdir(full.c_str(), 0755), 0);
    // A small file system of its own, in a mount namespace of this process
    // that ends with it.
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", full.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
    }
    ExpectWriteFailures(dir, full, "the disk is full");
    ::umount2(full.c_str(), MNT_DETACH);
}

// The wrapper plug-in renders the real effect's frames and breaks a rule of
// the host after each one.
TEST(Faults, AreShownEvenWhenQuietAndExit3AfterTheRenderOrAtTheFirstWithStrict)
{
    REQUIRE_BUILT();
    ASSERT_EQ(::access(STIPPLEX_FAULTING_PLUGIN_PATH, R_OK), 0);
    TestDir dir;
    WriteNoise(dir.Path("in.png"), 64, 48);
    ASSERT_EQ(
        RunTool(dir, {"render", "in.png", "real.png", "--plugin", STIPPLEX_PLUGIN_PATH}).status, 0);

    Outcome o = RunTool(
        dir, {"render", "in.png", "o.png", "-q", "--plugin", STIPPLEX_FAULTING_PLUGIN_PATH});
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_THAT(o.err, HasSubstr("stipplex: protocol fault: SMART_RENDER: checkin_param of"));
    EXPECT_THAT(o.err,
                HasSubstr("error: the effect broke the host's rules (1 protocol fault above)"));
    EXPECT_EQ(clitest::ReadFile(dir.Path("o.png")), clitest::ReadFile(dir.Path("real.png")));

    o = RunTool(dir, {"render", "in.png", "s.####.png", "--frames", "0-2", "--threads", "1",
                      "--strict", "--plugin", STIPPLEX_FAULTING_PLUGIN_PATH});
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_THAT(o.err, HasSubstr("error: stopped at the effect's first protocol fault (--strict)"));
    std::size_t faults = 0;
    for (std::size_t at = 0; (at = o.err.find("protocol fault: ", at)) != std::string::npos; ++at) {
        ++faults;
    }
    EXPECT_EQ(faults, 1u) << o.err;
    for (const std::string &name : dir.Entries()) {
        EXPECT_EQ(name.rfind("s.", 0), std::string::npos) << name << " was written";
    }
}

}  // namespace
