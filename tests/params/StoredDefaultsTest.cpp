// The stored defaults: where the file lives, what saving writes into it, what
// the next parameter set-up takes from it, and how it is deleted.
//
// Elsewhere than on Windows the application-data folder is
// $XDG_CONFIG_HOME, which each test points at a fresh temporary folder. On
// Windows the tests use the real roaming folder, so they run only inside a
// Wine prefix of the test run.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "FakeHost.h"
#include "params/Params.h"
#include "platform/Platform.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

using paramtest::FakeHost;

// Host indices of the parameter table.
constexpr A_long kDotShape = 1;
constexpr A_long kDotColor = 2;
constexpr A_long kDotSize = 3;
constexpr A_long kDotRotation = 5;
constexpr A_long kCenterDotToFront = 12;
constexpr A_long kRandomInterval = 20;
constexpr A_long kBlendColor3 = 120;
constexpr A_long kEffectorSize2 = 66;

// GBK display names, the keys of the file.
const std::string kDotSizeKey = "\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1";      // 点的大小
const std::string kDotColorKey = "\xB5\xE3\xB5\xC4\xD1\xD5\xC9\xAB";     // 点的颜色
const std::string kDotRotationKey = "\xB5\xE3\xB5\xC4\xD0\xFD\xD7\xAA";  // 点的旋转
const std::string kCenterDotKey =
    "\xD6\xD0\xD0\xC4\xB5\xE3\xB5\xBD\xC7\xB0\xC3\xE6";  // 中心点到前面

class StoredDefaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        paramtest::EnsureParamTable();
#ifdef _WIN32
        if (!std::getenv("WINEPREFIX")) {
            GTEST_SKIP() << "would touch the user's own application-data folder";
        }
#else
        static int serial = 0;
        const char *base = std::getenv("STIPPLEX_TEST_TMP");
        root_ = fs::path(base ? base : fs::temp_directory_path().string()) /
                ("params-defaults-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        fs::remove_all(root_);
        fs::create_directories(root_ / "config");
        const char *old = std::getenv("XDG_CONFIG_HOME");
        hadXdg_ = old != nullptr;
        oldXdg_ = old ? old : "";
        ::setenv("XDG_CONFIG_HOME", (root_ / "config").string().c_str(), 1);
#endif
        ASSERT_TRUE(platform::AppDataFolder(appData_));
        ASSERT_TRUE(params::GetDefaultsPath(path_));
        tavro_ = fs::path(appData_) / "Tavro";
        panelry_ = tavro_ / "Panelry";
        fs::remove_all(tavro_);
    }

    void TearDown() override
    {
        if (!tavro_.empty()) {
            fs::remove_all(tavro_);
        }
#ifndef _WIN32
        if (hadXdg_) {
            ::setenv("XDG_CONFIG_HOME", oldXdg_.c_str(), 1);
        } else {
            ::unsetenv("XDG_CONFIG_HOME");
        }
        fs::remove_all(root_);
#endif
    }

    // Writes the file as a user or an older version might have left it.
    void WriteFile(const std::string &text)
    {
        fs::create_directories(panelry_);
        std::ofstream(path_, std::ios::binary) << text;
    }
    std::string FileText() const
    {
        std::ifstream in(path_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // Declares against a fresh host of that version; returns the definition
    // the host received for `index`.
    PF_ParamDef Declared(A_long index, A_short major = 13, A_short minor = 28,
                         A_long applId = 0x46585443)
    {
        FakeHost host;
        host.in.version.major = major;
        host.in.version.minor = minor;
        host.in.appl_id = applId;
        EXPECT_EQ(params::DeclareParams(&host.in, &host.out), PF_Err_NONE);
        EXPECT_EQ(host.added.size(), 122u);
        return host.added.at(static_cast<std::size_t>(index - 1));
    }

    std::string appData_;
    char path_[params::kDefaultsPathCapacity] = {};
    fs::path tavro_;
    fs::path panelry_;
#ifndef _WIN32
    fs::path root_;
    bool hadXdg_ = false;
    std::string oldXdg_;
#endif
};

TEST_F(StoredDefaults, PathIsTavroPanelryStipplexIniUnderAppData)
{
    const char sep = platform::kPathSeparator;
    EXPECT_EQ(std::string(path_),
              appData_ + sep + "Tavro" + sep + "Panelry" + sep + "Stipplex.ini");
#ifndef _WIN32
    EXPECT_EQ(appData_, (root_ / "config").string());
#endif
}

TEST_F(StoredDefaults, SavedValuesAreTheNextDeclarationsDefaults)
{
    FakeHost host;
    ASSERT_EQ(params::DeclareParams(&host.in, &host.out), PF_Err_NONE);
    EXPECT_STREQ(params::DefaultsSection(), "Version=1.5");
    host.AdoptDeclared();
    host.current[kDotShape].u.pd.value = 4;
    host.current[kDotColor].u.cd.value = PF_Pixel{255, 10, 20, 30};
    host.current[kDotSize].u.fs_d.value = 12.5;
    host.current[kDotRotation].u.ad.value = 45 * 65536 + 32768;  // 45.5 degrees
    host.current[kCenterDotToFront].u.bd.value = 1;
    host.current[kRandomInterval].u.sd.value = 7;
    host.current[kEffectorSize2].u.fs_d.value = 333.25;
    std::vector<PF_ParamDef *> array = host.ParamArray();
    ASSERT_TRUE(platform::CreateFolderPath(panelry_.string()));
    EXPECT_EQ(params::SaveCurrentAsDefaults(&host.in, array.data(), path_), PF_Err_NONE);
    EXPECT_EQ(host.checkouts, 0);

    const std::string text = FileText();
    EXPECT_NE(text.find("[Version=1.5]"), std::string::npos);
    EXPECT_NE(text.find(kDotSizeKey + "=12.500000"), std::string::npos);
    EXPECT_NE(text.find(kDotRotationKey + "=45.500000"), std::string::npos);
    EXPECT_NE(text.find(kCenterDotKey + "=1"), std::string::npos);
    EXPECT_NE(text.find(kDotColorKey + ".r=10"), std::string::npos);
    EXPECT_NE(text.find(kDotColorKey + ".g=20"), std::string::npos);
    EXPECT_NE(text.find(kDotColorKey + ".b=30"), std::string::npos);
    EXPECT_NE(text.find(kDotColorKey + ".a=255"), std::string::npos);
    // Every parameter with a stored form, switched-off effectors included:
    // 14 popups, 3 sliders, 21 checkboxes, 49 float sliders, 15 angles and
    // 4 colours of four keys each.
    std::size_t keys = 0;
    for (std::size_t at = text.find('='); at != std::string::npos; at = text.find('=', at + 1)) {
        ++keys;
    }
    EXPECT_EQ(keys, 1u /* the section's own '=' */ + 14 + 3 + 21 + 49 + 15 + 4 * 4);

    EXPECT_EQ(Declared(kDotShape).u.pd.value, 4);
    EXPECT_EQ(Declared(kDotShape).u.pd.dephault, 4);
    const PF_ParamDef color = Declared(kDotColor);
    EXPECT_EQ(color.u.cd.dephault.red, 10);
    EXPECT_EQ(color.u.cd.dephault.green, 20);
    EXPECT_EQ(color.u.cd.dephault.blue, 30);
    EXPECT_EQ(Declared(kDotSize).u.fs_d.dephault, 12.5f);
    EXPECT_EQ(Declared(kDotSize).u.fs_d.value, 12.5);
    EXPECT_EQ(Declared(kDotRotation).u.ad.dephault, 45 * 65536 + 32768);
    EXPECT_EQ(Declared(kCenterDotToFront).u.bd.dephault, 1);
    EXPECT_EQ(Declared(kRandomInterval).u.sd.dephault, 7);
    EXPECT_EQ(Declared(kEffectorSize2).u.fs_d.dephault, 333.25f);
    // Unchanged parameters come back with their factory values.
    EXPECT_EQ(Declared(kBlendColor3).u.cd.dephault.green, 255);
}

TEST_F(StoredDefaults, AfterEffectsBefore12_12IgnoresTheFile)
{
    WriteFile("[Version=1.5]\r\n" + kDotSizeKey + "=33\r\n");
    EXPECT_EQ(Declared(kDotSize, 12, 11).u.fs_d.dephault, 10.0f);
    EXPECT_STREQ(params::DefaultsSection(), "");
    EXPECT_EQ(Declared(kDotSize, 11, 99).u.fs_d.dephault, 10.0f);
    EXPECT_EQ(Declared(kDotSize, 12, 12).u.fs_d.dephault, 33.0f);
    EXPECT_STREQ(params::DefaultsSection(), "Version=1.5");
    EXPECT_EQ(Declared(kDotSize, 13, 0).u.fs_d.dephault, 33.0f);
    // Another host reads the file whatever its version says.
    EXPECT_EQ(Declared(kDotSize, 1, 0, 0x50724D72 /* 'PrMr' */).u.fs_d.dephault, 33.0f);
}

TEST_F(StoredDefaults, NumberThatIsNotANumberReadsAsZero)
{
    WriteFile("[Version=1.5]\r\n" + kDotSizeKey + "=abc\r\n" + kDotRotationKey + "=-12.25\r\n");
    EXPECT_EQ(Declared(kDotSize).u.fs_d.dephault, 0.0f);
    EXPECT_EQ(Declared(kDotSize).u.fs_d.value, 0.0);
    EXPECT_EQ(Declared(kDotRotation).u.ad.dephault, -(12 * 65536 + 16384));
}

TEST_F(StoredDefaults, AngleIsTruncatedTowardZero)
{
    // -1.00001 degrees is -65536.65536 in 16.16.
    WriteFile("[Version=1.5]\r\n" + kDotRotationKey + "=-1.00001\r\n");
    EXPECT_EQ(Declared(kDotRotation).u.ad.value, -65536);
}

TEST_F(StoredDefaults, ColourAlphaIsAlways255)
{
    WriteFile("[Version=1.5]\r\n" + kDotColorKey + ".r=1\r\n" + kDotColorKey + ".g=2\r\n" +
              kDotColorKey + ".b=3\r\n" + kDotColorKey + ".a=0\r\n");
    const PF_ParamDef color = Declared(kDotColor);
    EXPECT_EQ(color.u.cd.value.alpha, 255);
    EXPECT_EQ(color.u.cd.dephault.alpha, 255);
    EXPECT_EQ(color.u.cd.dephault.red, 1);
    EXPECT_EQ(color.u.cd.dephault.green, 2);
    EXPECT_EQ(color.u.cd.dephault.blue, 3);
}

TEST_F(StoredDefaults, CheckboxKeepsTheLowEightBits)
{
    WriteFile("[Version=1.5]\r\n" + kCenterDotKey + "=257\r\n");
    EXPECT_EQ(Declared(kCenterDotToFront).u.bd.dephault, 1);
    WriteFile("[Version=1.5]\r\n" + kCenterDotKey + "=256\r\n");
    EXPECT_EQ(Declared(kCenterDotToFront).u.bd.dephault, 0);
}

TEST_F(StoredDefaults, OtherSectionOrMissingKeyGivesTheFactoryDefault)
{
    WriteFile("[Version=1.4]\r\n" + kDotSizeKey + "=77\r\n[Version=1.5]\r\nunrelated=1\r\n");
    EXPECT_EQ(Declared(kDotSize).u.fs_d.dephault, 10.0f);
    EXPECT_EQ(Declared(kDotColor).u.cd.dephault.green, 125);
}

TEST_F(StoredDefaults, DeleteRemovesTheFileAndBothEmptyFolders)
{
    WriteFile("[Version=1.5]\r\n");
    params::DeleteDefaultsFile(path_);
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_FALSE(fs::exists(panelry_));
    EXPECT_FALSE(fs::exists(tavro_));
    EXPECT_TRUE(fs::is_directory(appData_));
}

TEST_F(StoredDefaults, DeleteStopsAtTavroWhenItHoldsAnotherProduct)
{
    WriteFile("[Version=1.5]\r\n");
    fs::create_directories(tavro_ / "Other");
    params::DeleteDefaultsFile(path_);
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_FALSE(fs::exists(panelry_));
    EXPECT_TRUE(fs::is_directory(tavro_ / "Other"));
}

TEST_F(StoredDefaults, DeleteWithoutAFileStillRemovesEmptyFolders)
{
    fs::create_directories(panelry_);
    params::DeleteDefaultsFile(path_);
    EXPECT_FALSE(fs::exists(tavro_));
}

TEST(NumberText, FormatsSixDecimalsAndParsesWhatIsANumber)
{
    EXPECT_EQ(params::FormatNumber(10.0), "10.000000");
    EXPECT_EQ(params::FormatNumber(-0.5), "-0.500000");
    EXPECT_EQ(params::ParseNumber("abc"), 0.0);
    EXPECT_EQ(params::ParseNumber(""), 0.0);
    EXPECT_EQ(params::ParseNumber("12.5xyz"), 12.5);
    EXPECT_EQ(params::ParseNumber("  -3"), -3.0);
}

}  // namespace
