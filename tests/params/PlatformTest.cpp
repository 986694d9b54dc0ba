// The platform layer's meanings, which the parameter code relies on: INI
// files as the Windows profile functions treat them, folder and path
// handling, and (elsewhere than on Windows) how the stand-ins find the
// application-data folder and the code page.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>

#include "platform/Platform.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

class TempFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        static int serial = 0;
        const char *base = std::getenv("STIPPLEX_TEST_TMP");
#ifdef _WIN32
        const std::string pid = "w";
#else
        const std::string pid = std::to_string(::getpid());
#endif
        root_ = fs::path(base ? base : fs::temp_directory_path().string()) /
                ("params-platform-" + pid + "-" + std::to_string(++serial));
        fs::remove_all(root_);
        fs::create_directories(root_);
        ini_ = (root_ / "test.ini").string();
    }
    void TearDown() override
    {
        fs::remove_all(root_);
    }

    void Write(const std::string &text)
    {
        std::ofstream(ini_, std::ios::binary) << text;
    }
    std::string Text() const
    {
        std::ifstream in(ini_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string Read(const char *section, const char *key, const char *fallback = "none",
                     std::size_t capacity = 128)
    {
        return platform::ProfileReadString(section, key, fallback, capacity, ini_.c_str());
    }

    fs::path root_;
    std::string ini_;
};

using Profile = TempFolder;
using Folders = TempFolder;

TEST_F(Profile, MissingFileSectionOrKeyGivesTheFallback)
{
    EXPECT_EQ(platform::ProfileReadInt("S", "k", 42, ini_.c_str()), 42);
    EXPECT_EQ(Read("S", "k"), "none");
    Write("[S]\r\nk=5\r\n");
    EXPECT_EQ(platform::ProfileReadInt("T", "k", 42, ini_.c_str()), 42);
    EXPECT_EQ(platform::ProfileReadInt("S", "j", 42, ini_.c_str()), 42);
    EXPECT_EQ(platform::ProfileReadInt("S", "k", 42, ini_.c_str()), 5);
}

TEST_F(Profile, IntegerIsTheLeadingDecimalNumber)
{
    Write("[S]\r\na=12abc\r\nb=abc\r\nc=-7\r\nd=  300 \r\n");
    EXPECT_EQ(platform::ProfileReadInt("S", "a", 1, ini_.c_str()), 12);
    EXPECT_EQ(platform::ProfileReadInt("S", "b", 1, ini_.c_str()), 0);
    EXPECT_EQ(platform::ProfileReadInt("S", "c", 1, ini_.c_str()), -7);
    EXPECT_EQ(platform::ProfileReadInt("S", "d", 1, ini_.c_str()), 300);
}

TEST_F(Profile, NamesIgnoreCaseAndBlanksAroundThem)
{
    Write("[Version=1.5]\r\n  Dot Size  =  12.5  \r\nquoted=\"a b\"\r\n");
    EXPECT_EQ(Read("version=1.5", "DOT SIZE"), "12.5");
    EXPECT_EQ(Read("Version=1.5", "Dot Size   "), "12.5");
    EXPECT_EQ(Read("Version=1.5", "quoted"), "a b");
}

TEST_F(Profile, ValueIsCutToTheBuffer)
{
    Write("[S]\r\nk=abcdef\r\n");
    EXPECT_EQ(Read("S", "k", "none", 4), "abc");
}

TEST_F(Profile, WritingCreatesAndReplacesAndKeepsTheRest)
{
    EXPECT_TRUE(platform::ProfileWriteString("S", "a", "1", ini_.c_str()));
    EXPECT_TRUE(platform::ProfileWriteString("S", "b", "2", ini_.c_str()));
    EXPECT_TRUE(platform::ProfileWriteString("T", "a", "3", ini_.c_str()));
    EXPECT_TRUE(platform::ProfileWriteString("S", "a", "4", ini_.c_str()));
    EXPECT_EQ(Read("S", "a"), "4");
    EXPECT_EQ(Read("S", "b"), "2");
    EXPECT_EQ(Read("T", "a"), "3");
    const std::string text = Text();
    EXPECT_EQ(text.find("a=1"), std::string::npos);
    // One line each: two sections, three keys.
    std::size_t lines = 0;
    for (char c : text) {
        lines += c == '\n';
    }
    EXPECT_EQ(lines, 5u);
}

TEST_F(Profile, WritingKeepsLinesItDoesNotUnderstand)
{
    Write("; a comment\r\n[S]\r\nk=1\r\n\r\n[U]\r\nz=9\r\n");
    EXPECT_TRUE(platform::ProfileWriteString("S", "n", "2", ini_.c_str()));
    const std::string text = Text();
    EXPECT_NE(text.find("; a comment"), std::string::npos);
    EXPECT_EQ(Read("S", "n"), "2");
    EXPECT_EQ(Read("S", "k"), "1");
    EXPECT_EQ(Read("U", "z"), "9");
    // The new key joins its own section, before the next one.
    EXPECT_LT(text.find("n=2"), text.find("[U]"));
}

TEST_F(Profile, WritingIntoAMissingFolderFails)
{
    const std::string path = (root_ / "missing" / "x.ini").string();
    EXPECT_FALSE(platform::ProfileWriteString("S", "k", "1", path.c_str()));
    EXPECT_FALSE(fs::exists(root_ / "missing"));
}

#ifndef _WIN32
// Double-byte names: a trail byte that looks like an ASCII letter is not a
// letter, so case folding must not merge two different characters.
TEST_F(Profile, TrailBytesAreComparedExactly)
{
    Write("[S]\r\n\xB0\x41=1\r\n");
    EXPECT_EQ(platform::ProfileReadInt("S", "\xB0\x41", 0, ini_.c_str()), 1);
    EXPECT_EQ(platform::ProfileReadInt("S", "\xB0\x61", 0, ini_.c_str()), 0);
}
#endif

TEST_F(Folders, CreateMakesEveryParentAndAcceptsAnExistingFolder)
{
    const fs::path deep = root_ / "a" / "b" / "c";
    EXPECT_TRUE(platform::CreateFolderPath(deep.string()));
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_TRUE(platform::CreateFolderPath(deep.string()));
}

TEST_F(Folders, RemoveFolderOnlyWhenEmpty)
{
    fs::create_directories(root_ / "a" / "b");
    EXPECT_FALSE(platform::RemoveFolder((root_ / "a").string()));
    EXPECT_TRUE(platform::RemoveFolder((root_ / "a" / "b").string()));
    EXPECT_TRUE(platform::RemoveFolder((root_ / "a").string()));
    EXPECT_FALSE(fs::exists(root_ / "a"));
}

TEST_F(Folders, RemoveFileDeletesAFileOnly)
{
    Write("x");
    EXPECT_TRUE(platform::RemoveFile(ini_));
    EXPECT_FALSE(fs::exists(ini_));
    EXPECT_FALSE(platform::RemoveFile(ini_));
}

TEST(PathStrip, DropsTheLastComponent)
{
    const std::string sep(1, platform::kPathSeparator);
    std::string path = "x" + sep + "y" + sep + "z.ini";
    EXPECT_TRUE(platform::StripLastComponent(path));
    EXPECT_EQ(path, "x" + sep + "y");
    EXPECT_TRUE(platform::StripLastComponent(path));
    EXPECT_EQ(path, "x");
    path = "x" + sep + "y" + sep;
    EXPECT_TRUE(platform::StripLastComponent(path));
    EXPECT_EQ(path, "x" + sep + "y");
}

TEST(CommandLine, NamesThisProgram)
{
    EXPECT_NE(platform::CommandLine().find("stipplex_params_tests"), std::string::npos);
}

#ifndef _WIN32
TEST(PathStrip, RootStaysRoot)
{
    std::string path = "/a";
    EXPECT_TRUE(platform::StripLastComponent(path));
    EXPECT_EQ(path, "/");
    EXPECT_FALSE(platform::StripLastComponent(path));
    EXPECT_EQ(path, "/");
}

// Sets environment variables for one test and puts them back afterwards.
class Environment : public ::testing::Test {
protected:
    void Set(const char *name, const char *value)
    {
        if (saved_.find(name) == saved_.end()) {
            const char *old = std::getenv(name);
            saved_[name] =
                old ? std::make_pair(true, std::string(old)) : std::make_pair(false, std::string());
        }
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    void TearDown() override
    {
        for (const auto &entry : saved_) {
            if (entry.second.first) {
                ::setenv(entry.first.c_str(), entry.second.second.c_str(), 1);
            } else {
                ::unsetenv(entry.first.c_str());
            }
        }
    }
    std::map<std::string, std::pair<bool, std::string>> saved_;
};

TEST_F(Environment, AppDataIsXdgConfigHomeElseDotConfig)
{
    std::string folder;
    Set("XDG_CONFIG_HOME", "/tmp/xdg-here/");
    ASSERT_TRUE(platform::AppDataFolder(folder));
    EXPECT_EQ(folder, "/tmp/xdg-here");
    Set("XDG_CONFIG_HOME", "relative/ignored");
    Set("HOME", "/home/someone");
    ASSERT_TRUE(platform::AppDataFolder(folder));
    EXPECT_EQ(folder, "/home/someone/.config");
    Set("XDG_CONFIG_HOME", nullptr);
    ASSERT_TRUE(platform::AppDataFolder(folder));
    EXPECT_EQ(folder, "/home/someone/.config");
}

TEST_F(Environment, CodePageFollowsTheLocaleNamed)
{
    Set("LC_ALL", "ja_JP.UTF-8");
    EXPECT_EQ(platform::AnsiCodePage(), 932u);
    Set("LC_ALL", "en_US.UTF-8");
    EXPECT_EQ(platform::AnsiCodePage(), 1252u);
    Set("LC_ALL", nullptr);
    Set("LC_CTYPE", nullptr);
    Set("LANG", "ja_JP.SJIS");
    EXPECT_EQ(platform::AnsiCodePage(), 932u);
    Set("LANG", "C");
    EXPECT_EQ(platform::AnsiCodePage(), 1252u);
}

TEST_F(Environment, ShiftKeyIsPlayedThroughTheEnvironment)
{
    Set("STIPPLEX_SHIFT_KEY", nullptr);
    EXPECT_FALSE(platform::ShiftKeyDown());
    Set("STIPPLEX_SHIFT_KEY", "1");
    EXPECT_TRUE(platform::ShiftKeyDown());
}
#endif

}  // namespace
