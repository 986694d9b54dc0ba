// The built `stipplex` program stopped by signals, short of disk space, and
// facing an effect that breaks the host's rules.
#include <fcntl.h>
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
#include <map>
#include <random>
#include <thread>

#include "TestDir.h"
#include "cli/ImageIO.h"

namespace {

using namespace cli;
using clitest::Outcome;
using clitest::RunTool;
using clitest::TestDir;

// Opaque noise, which compresses badly: outputs of some size.
void WriteNoise(const std::string &path, int width, int height)
{
    Image image(width, height, Depth::k8);
    std::mt19937 random(7);
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        const auto v = static_cast<std::uint32_t>(random());
        image.Pixels8()[i] =
            Argb8{255, static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                  static_cast<std::uint8_t>(v >> 16)};
    }
    WriteImage(path, image);
}

ino_t Inode(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
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
        constexpr int kFrames = 120;
        std::map<std::string, ino_t> before;
        for (int f = 0; f < kFrames; ++f) {
            char name[32];
            std::snprintf(name, sizeof name, "o.%04d.png", f);
            clitest::WriteFile(dir.Path(std::string("seq/") + name), old);
            before[name] = Inode(dir.Path(std::string("seq/") + name));
        }
        const pid_t pid = Start(dir, {"render", "in.png", "seq/o.####.png", "--frames", "0-119",
                                      "--threads", "2", "-q", "--plugin", STIPPLEX_PLUGIN_PATH});
        ASSERT_GT(pid, 0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
        bool replaced = false;
        while (!replaced && std::chrono::steady_clock::now() < deadline) {
            for (const auto &[name, inode] : before) {
                replaced = replaced || Inode(dir.Path("seq/" + name)) != inode;
            }
            int ignored = 0;
            ASSERT_EQ(::waitpid(pid, &ignored, WNOHANG), 0) << "the render ended by itself";
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ASSERT_TRUE(replaced) << "no frame written in time";
        ASSERT_EQ(::kill(pid, signal), 0);
        const Outcome o = Wait(dir, pid);
        EXPECT_EQ(o.signal, signal) << "exit status " << o.status << "\n" << o.err;

        for (const std::string &name : dir.Entries("seq")) {
            EXPECT_EQ(before.count(name), 1u) << "left behind: " << name;
        }
        int rendered = 0;
        for (const auto &[name, inode] : before) {
            const std::string path = dir.Path("seq/" + name);
            const std::string bytes = clitest::ReadFile(path);
            if (bytes == old) {
                continue;
            }
            ++rendered;
            EXPECT_TRUE(EndsWithPngEnd(bytes)) << name << " is cut short";
            EXPECT_EQ(ReadImage(path).Width(), 480) << name;
        }
        EXPECT_GE(rendered, 1);
        EXPECT_LT(rendered, kFrames);
    }
}

// A failed write names the output and the reason; the old output stays and
// no temporary file is left. Returns the messages of a PNG and an EXR output
// written into `folder`.
std::vector<std::string> WriteFailures(const TestDir &dir, const std::string &folder,
                                       rlim_t fileSizeLimit = 0)
{
    WriteNoise(dir.Path("in.png"), 256, 256);
    ::mkdir(folder.c_str(), 0755);  // or there already
    std::vector<std::string> messages;
    for (const std::string name : {"o.png", "o.exr"}) {
        const std::string path = folder + "/" + name;
        clitest::WriteFile(path, "old");
        const Outcome o = RunTool(dir, {"render", "in.png", path, "--plugin", STIPPLEX_PLUGIN_PATH},
                                  fileSizeLimit);
        EXPECT_EQ(o.status, 1) << o.err;
        EXPECT_NE(o.err.find("cannot write '" + path + "': "), std::string::npos) << o.err;
        EXPECT_EQ(clitest::ReadFile(path), "old");
        messages.push_back(o.err);
    }
    EXPECT_EQ(dir.Entries(folder), (std::vector<std::string>{"o.exr", "o.png"}));
    return messages;
}

TEST(Stop, AFileSizeLimitIsNamedAsSuch)
{
    REQUIRE_BUILT();
    TestDir dir;
    for (const std::string &message : WriteFailures(dir, dir.Path("out"), 16384)) {
        EXPECT_NE(message.find("the file would be larger than the file size limit allows"),
                  std::string::npos)
            << message;
    }
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
    for (const std::string &message : WriteFailures(dir, full)) {
        EXPECT_NE(message.find("the disk is full"), std::string::npos) << message;
    }
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
    EXPECT_NE(o.err.find("stipplex: protocol fault: SMART_RENDER: checkin_param of"),
              std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("error: the effect broke the host's rules (1 protocol fault above)"),
              std::string::npos)
        << o.err;
    EXPECT_EQ(clitest::ReadFile(dir.Path("o.png")), clitest::ReadFile(dir.Path("real.png")));

    o = RunTool(dir, {"render", "in.png", "s.####.png", "--frames", "0-2", "--threads", "1",
                      "--strict", "--plugin", STIPPLEX_FAULTING_PLUGIN_PATH});
    EXPECT_EQ(o.status, 3) << o.err;
    EXPECT_NE(o.err.find("error: stopped at the effect's first protocol fault (--strict)"),
              std::string::npos)
        << o.err;
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
