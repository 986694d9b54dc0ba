// The platform layer's meanings, which the parameter code relies on: INI
// files as the Windows profile functions treat them, folder and path
// handling, and (elsewhere than on Windows) how the stand-ins find the
// application-data folder and the code page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "TestFiles.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace {

class Profile : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = paramtest::FreshFolder("params-platform");
        ini_ = (root_ / "test.ini").string();
    }
    void TearDown() override { fs::remove_all(root_); }

    void Write(const std::string &text) { paramtest::WriteText(ini_, text); }
    int Int(const char *section, const char *key)
    {
        return platform::ProfileReadInt(section, key, 42, ini_.c_str());
    }
    std::string Read(const char *section, const char *key, std::size_t capacity = 128)
    {
        return platform::ProfileReadString(section, key, "none", capacity, ini_.c_str());
    }
    bool Put(const char *section, const char *key, const char *value)
    {
        return platform::ProfileWriteString(section, key, value, ini_.c_str());
    }

    fs::path root_;
    std::string ini_;
};

using Folders = Profile;

TEST_F(Profile, MissingFileSectionOrKeyGivesTheFallback)
{
    EXPECT_EQ(Int("S", "k"), 42);
    EXPECT_EQ(Read("S", "k"), "none");
    Write("[S]\r\nk=5\r\n");
    EXPECT_EQ(Int("T", "k"), 42);
    EXPECT_EQ(Int("S", "j"), 42);
    EXPECT_EQ(Int("S", "k"), 5);
}

TEST_F(Profile, IntegerIsTheLeadingDecimalNumber)
{
    Write("[S]\r\na=12abc\r\nb=abc\r\nc=-7\r\nd=  300 \r\n");
    EXPECT_EQ(Int("S", "a"), 12);
    EXPECT_EQ(Int("S", "b"), 0);
    EXPECT_EQ(Int("S", "c"), -7);
    EXPECT_EQ(Int("S", "d"), 300);
}

TEST_F(Profile, NamesIgnoreCaseAndBlanksAroundThemAndValuesAreCutToTheBuffer)
{
    Write("[Version=1.5]\r\n  Dot Size  =  12.5  \r\nquoted=\"a b\"\r\nk=abcdef\r\n");
    EXPECT_EQ(Read("version=1.5", "DOT SIZE"), "12.5");
    EXPECT_EQ(Read("Version=1.5", "Dot Size   "), "12.5");
    EXPECT_EQ(Read("Version=1.5", "quoted"), "a b");
    EXPECT_EQ(Read("Version=1.5", "k", 4), "abc");
}

TEST_F(Profile, WritingCreatesAndReplacesAndKeepsTheRest)
{
    EXPECT_TRUE(Put("S", "a", "1"));
    EXPECT_TRUE(Put("S", "b", "2"));
    EXPECT_TRUE(Put("T", "a", "3"));
    EXPECT_TRUE(Put("S", "a", "4"));
    EXPECT_EQ(Read("S", "a"), "4");
    EXPECT_EQ(Read("S", "b"), "2");
    EXPECT_EQ(Read("T", "a"), "3");
    const std::string text = paramtest::FileText(ini_);
    EXPECT_EQ(text.find("a=1"), std::string::npos);
    // One line each: two sections, three keys.
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 5);
}

TEST_F(Profile, WritingKeepsLinesItDoesNotUnderstand)
{
    Write("; a comment\r\n[S]\r\nk=1\r\n\r\n[U]\r\nz=9\r\n");
    EXPECT_TRUE(Put("S", "n", "2"));
    const std::string text = paramtest::FileText(ini_);
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
    EXPECT_EQ(Int("S", "\xB0\x41"), 1);
    EXPECT_EQ(Int("S", "\xB0\x61"), 42);
}
#endif

TEST_F(Folders, CreateMakesEveryParentAndRemoveTakesOnlyEmptyFolders)
{
    const fs::path a = root_ / "a";
    EXPECT_TRUE(platform::CreateFolderPath((a / "b" / "c").string()));
    EXPECT_TRUE(fs::is_directory(a / "b" / "c"));
    EXPECT_TRUE(platform::CreateFolderPath((a / "b" / "c").string()));  // already there
    EXPECT_FALSE(platform::RemoveFolder((a / "b").string()));
    EXPECT_TRUE(platform::RemoveFolder((a / "b" / "c").string()));
    EXPECT_TRUE(platform::RemoveFolder((a / "b").string()));
    EXPECT_TRUE(fs::is_directory(a));
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
#ifndef _WIN32
    path = "/a";
    EXPECT_TRUE(platform::StripLastComponent(path));
    EXPECT_EQ(path, "/");
    EXPECT_FALSE(platform::StripLastComponent(path));  // the root stays
    EXPECT_EQ(path, "/");
#endif
}

#ifndef _WIN32
// The arguments joined as Windows hands over a command line: those that are
// empty or hold a blank are quoted, so the language scan skips an option
// inside them. This program runs itself with such arguments.
TEST(CommandLine, QuotesArgumentsThatAreEmptyOrHoldBlanks)
{
    if (const char *out = std::getenv("STIPPLEX_COMMAND_LINE_OUT")) {
        paramtest::WriteText(out, platform::CommandLine());
        return;
    }
    const fs::path root = paramtest::FreshFolder("params-cmdline");
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    const std::string filter = "--gtest_filter=CommandLine.QuotesArgumentsThatAreEmptyOrHoldBlanks";
    const std::string run = "STIPPLEX_COMMAND_LINE_OUT='" + (root / "line").string() + "' '" +
                            self + "' " + filter + " 'a -Ljp' '' 'tab\there' -Ljp >/dev/null";
    ASSERT_EQ(std::system(run.c_str()), 0);
    EXPECT_EQ(paramtest::FileText(root / "line"),
              self + " " + filter + " \"a -Ljp\" \"\" \"tab\there\" -Ljp");
    fs::remove_all(root);
}

TEST(Environment, AppDataIsXdgConfigHomeElseDotConfig)
{
    paramtest::ScopedEnv xdg("XDG_CONFIG_HOME");
    paramtest::ScopedEnv home("HOME");
    std::string folder;
    xdg.Set("/tmp/xdg-here/");
    ASSERT_TRUE(platform::AppDataFolder(folder));
    EXPECT_EQ(folder, "/tmp/xdg-here");
    xdg.Set("relative/ignored");
    home.Set("/home/someone");
    ASSERT_TRUE(platform::AppDataFolder(folder));
    EXPECT_EQ(folder, "/home/someone/.config");
    xdg.Set(nullptr);
    ASSERT_TRUE(platform::AppDataFolder(folder));
    EXPECT_EQ(folder, "/home/someone/.config");
}

TEST(Environment, CodePageFollowsTheLocaleNamed)
{
    paramtest::ScopedEnv all("LC_ALL");
    paramtest::ScopedEnv ctype("LC_CTYPE");
    paramtest::ScopedEnv lang("LANG");
    all.Set("ja_JP.UTF-8");
    EXPECT_EQ(platform::AnsiCodePage(), 932u);
    all.Set("en_US.UTF-8");
    EXPECT_EQ(platform::AnsiCodePage(), 1252u);
    all.Set(nullptr);
    ctype.Set(nullptr);
    lang.Set("ja_JP.SJIS");
    EXPECT_EQ(platform::AnsiCodePage(), 932u);
    lang.Set("C");
    EXPECT_EQ(platform::AnsiCodePage(), 1252u);
}
#endif

}  // namespace
