// The stored defaults: where the file lives, what saving writes into it, what
// the next parameter set-up takes from it, and how it is deleted.
//
// Elsewhere than on Windows the application-data folder is
// $XDG_CONFIG_HOME, which each test points at a fresh temporary folder. On
// Windows the tests use the real roaming folder, so they run only inside a
// Wine prefix of the test run.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "FakeHost.h"
#include "TestFiles.h"
#include "params/Params.h"
#include "platform/Platform.h"

namespace fs = std::filesystem;

namespace {

using paramtest::FakeHost;

// Host indices of the parameter table.
constexpr A_long kDotShape = 1;
constexpr A_long kDotColor = 2;
constexpr A_long kDotSize = 3;
constexpr A_long kDotAspect = 4;
constexpr A_long kDotRotation = 5;
constexpr A_long kCenterDotToFront = 12;
constexpr A_long kInvertMask = 17;
constexpr A_long kRandomInterval = 20;
constexpr A_long kEffectorSize2 = 66;
constexpr A_long kBlendColor3 = 120;

// GBK display names, the keys of the file.
const std::string kDotSizeKey = "\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1";            // 点的大小
const std::string kDotColorKey = "\xB5\xE3\xB5\xC4\xD1\xD5\xC9\xAB";           // 点的颜色
const std::string kDotAspectKey = "\xB5\xE3\xB5\xC4\xBF\xED\xB8\xDF\xB1\xC8";  // 点的宽高比
const std::string kDotRotationKey = "\xB5\xE3\xB5\xC4\xD0\xFD\xD7\xAA";        // 点的旋转
const std::string kCenterDotKey =
    "\xD6\xD0\xD0\xC4\xB5\xE3\xB5\xBD\xC7\xB0\xC3\xE6";                 // 中心点到前面
const std::string kInvertMaskKey = "\xB7\xB4\xD7\xAA\xD5\xDA\xD5\xD6";  // 反转遮罩
const std::string kSection = "[Version=1.5]\r\n";

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
        root_ = paramtest::FreshFolder("params-defaults");
        fs::create_directories(root_ / "config");
        xdg_.Set((root_ / "config").string().c_str());
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
        fs::remove_all(root_);
#endif
    }

    // Writes the file as a user or an older version might have left it.
    void WriteFile(const std::string &text)
    {
        fs::create_directories(panelry_);
        paramtest::WriteText(path_, text);
    }
    // The definitions a fresh host of that version receives, by host index.
    std::vector<PF_ParamDef> Declare(A_short major = 13, A_short minor = 28,
                                     A_long applId = 0x46585443)
    {
        FakeHost host;
        host.in.version.major = major;
        host.in.version.minor = minor;
        host.in.appl_id = applId;
        EXPECT_EQ(params::DeclareParams(&host.in, &host.out), PF_Err_NONE);
        EXPECT_EQ(host.added.size(), 122u);
        host.AdoptDeclared();
        return host.current;
    }
    // The file's text after saving a host's declared values changed by `change`.
    template <typename Change>
    std::string Save(Change change)
    {
        FakeHost host;
        EXPECT_EQ(params::DeclareParams(&host.in, &host.out), PF_Err_NONE);
        host.AdoptDeclared();
        change(host.current);
        std::vector<PF_ParamDef *> array = host.ParamArray();
        EXPECT_TRUE(platform::CreateFolderPath(panelry_.string()));
        EXPECT_EQ(params::SaveCurrentAsDefaults(&host.in, array.data(), path_), PF_Err_NONE);
        EXPECT_EQ(host.checkouts, 0);
        return paramtest::FileText(path_);
    }

    std::string appData_;
    char path_[params::kDefaultsPathCapacity] = {};
    fs::path tavro_;
    fs::path panelry_;
#ifndef _WIN32
    paramtest::ScopedEnv xdg_{"XDG_CONFIG_HOME"};
    fs::path root_;
#endif
};

TEST_F(StoredDefaults, PathIsTavroPanelryStipplexIniUnderAppData)
{
    const char sep = platform::kPathSeparator;
    EXPECT_EQ(std::string(path_),
              appData_ + sep + "Tavro" + sep + "Panelry" + sep + "Stipplex.ini");
}

TEST_F(StoredDefaults, SavedValuesAreTheNextDeclarationsDefaults)
{
    const std::string text = Save([](std::vector<PF_ParamDef> &d) {
        d[kDotShape].u.pd.value = 4;
        d[kDotColor].u.cd.value = PF_Pixel{255, 10, 20, 30};
        d[kDotSize].u.fs_d.value = 12.5;
        d[kDotRotation].u.ad.value = 45 * 65536 + 32768;  // 45.5 degrees
        d[kCenterDotToFront].u.bd.value = 1;
        d[kRandomInterval].u.sd.value = 7;
        d[kEffectorSize2].u.fs_d.value = 333.25;
    });
    for (const std::string &line :
         {kSection, kDotSizeKey + "=12.500000", kDotRotationKey + "=45.500000",
          kCenterDotKey + "=1", kDotColorKey + ".r=10", kDotColorKey + ".g=20",
          kDotColorKey + ".b=30", kDotColorKey + ".a=255"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line;
    }
    // Every parameter with a stored form, switched-off effectors included:
    // 14 popups, 3 sliders, 21 checkboxes, 49 float sliders, 15 angles and
    // 4 colours of four keys each, and the section's own '='.
    EXPECT_EQ(std::count(text.begin(), text.end(), '='), 1 + 14 + 3 + 21 + 49 + 15 + 4 * 4);

    const std::vector<PF_ParamDef> next = Declare();
    EXPECT_EQ(next[kDotShape].u.pd.value, 4);
    EXPECT_EQ(next[kDotShape].u.pd.dephault, 4);
    EXPECT_EQ(next[kDotColor].u.cd.dephault.red, 10);
    EXPECT_EQ(next[kDotColor].u.cd.dephault.green, 20);
    EXPECT_EQ(next[kDotColor].u.cd.dephault.blue, 30);
    EXPECT_EQ(next[kDotSize].u.fs_d.dephault, 12.5f);
    EXPECT_EQ(next[kDotSize].u.fs_d.value, 12.5);
    EXPECT_EQ(next[kDotRotation].u.ad.dephault, 45 * 65536 + 32768);
    EXPECT_EQ(next[kCenterDotToFront].u.bd.dephault, 1);
    EXPECT_EQ(next[kRandomInterval].u.sd.dephault, 7);
    EXPECT_EQ(next[kEffectorSize2].u.fs_d.dephault, 333.25f);
    // Unchanged parameters come back with their factory values.
    EXPECT_EQ(next[kBlendColor3].u.cd.dephault.green, 255);
}

TEST_F(StoredDefaults, NumbersKeepTheirFractionsUnderADecimalCommaLocale)
{
    const std::vector<PF_ParamDef> inC = Declare();
    struct RestoreLocale {
        std::string name = std::setlocale(LC_ALL, nullptr);
        ~RestoreLocale() { std::setlocale(LC_ALL, name.c_str()); }
    } restore;
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (scripts/install-deps.sh)";
    }
    // The factory values go through the file's text form as well.
    const std::vector<PF_ParamDef> factory = Declare();
    ASSERT_EQ(factory.size(), inC.size());
    for (std::size_t i = 1; i < factory.size(); ++i) {
        EXPECT_EQ(std::memcmp(&factory[i].u, &inC[i].u, sizeof factory[i].u), 0) << i;
    }

    const std::string text = Save([](std::vector<PF_ParamDef> &d) {
        d[kDotSize].u.fs_d.value = 12.5;
        d[kDotRotation].u.ad.value = 45 * 65536 + 32768;
    });
    EXPECT_NE(text.find(kDotSizeKey + "=12,500000"), std::string::npos);
    const std::vector<PF_ParamDef> next = Declare();
    EXPECT_EQ(next[kDotSize].u.fs_d.dephault, 12.5f);
    EXPECT_EQ(next[kDotRotation].u.ad.dephault, 45 * 65536 + 32768);
}

TEST_F(StoredDefaults, AfterEffectsBefore12_12IgnoresTheFile)
{
    WriteFile(kSection + kDotSizeKey + "=33\r\n");
    EXPECT_EQ(Declare(12, 11)[kDotSize].u.fs_d.dephault, 10.0f);
    EXPECT_STREQ(params::DefaultsSection(), "");
    EXPECT_EQ(Declare(11, 99)[kDotSize].u.fs_d.dephault, 10.0f);
    EXPECT_EQ(Declare(12, 12)[kDotSize].u.fs_d.dephault, 33.0f);
    EXPECT_STREQ(params::DefaultsSection(), "Version=1.5");
    EXPECT_EQ(Declare(13, 0)[kDotSize].u.fs_d.dephault, 33.0f);
    // Another host reads the file whatever its version says.
    EXPECT_EQ(Declare(1, 0, 0x50724D72 /* 'PrMr' */)[kDotSize].u.fs_d.dephault, 33.0f);
}

TEST_F(StoredDefaults, EachTypeReadsItsTextByItsOwnRule)
{
    std::string text = "[Version=1.4]\r\n" + kDotSizeKey + "=77\r\n" + kSection;
    for (const std::string &line : {
             kDotAspectKey + "=abc",         // not a number: 0
             kDotRotationKey + "=-1.00001",  // -65536.65536 in 16.16, truncated
             kCenterDotKey + "=257",         // the low eight bits: 1
             kInvertMaskKey + "=256",        // and 0
             kDotColorKey + ".r=1", kDotColorKey + ".g=2", kDotColorKey + ".b=3",
             kDotColorKey + ".a=0",  // never read
         }) {
        text += line + "\r\n";
    }
    WriteFile(text);
    const std::vector<PF_ParamDef> d = Declare();
    EXPECT_EQ(d[kDotSize].u.fs_d.dephault, 10.0f);  // only in another section
    EXPECT_EQ(d[kDotAspect].u.fs_d.dephault, 0.0f);
    EXPECT_EQ(d[kDotAspect].u.fs_d.value, 0.0);
    EXPECT_EQ(d[kDotRotation].u.ad.value, -65536);
    EXPECT_EQ(d[kCenterDotToFront].u.bd.dephault, 1);
    EXPECT_EQ(d[kInvertMask].u.bd.dephault, 0);
    const PF_Pixel color = d[kDotColor].u.cd.dephault;
    EXPECT_EQ(color.alpha, 255);
    EXPECT_EQ(d[kDotColor].u.cd.value.alpha, 255);
    EXPECT_EQ(color.red, 1);
    EXPECT_EQ(color.green, 2);
    EXPECT_EQ(color.blue, 3);
    EXPECT_EQ(d[kBlendColor3].u.cd.dephault.green, 255);  // no key: the factory value
}

TEST_F(StoredDefaults, DeleteRemovesTheFileAndBothEmptyFolders)
{
    for (bool withFile : {true, false}) {
        SCOPED_TRACE(withFile ? "with a file" : "folders only");
        fs::create_directories(panelry_);
        if (withFile) {
            WriteFile(kSection);
        }
        params::DeleteDefaultsFile(path_);
        EXPECT_FALSE(fs::exists(tavro_));
        EXPECT_TRUE(fs::is_directory(appData_));
    }
}

TEST_F(StoredDefaults, DeleteStopsAtTavroWhenItHoldsAnotherProduct)
{
    WriteFile(kSection);
    fs::create_directories(tavro_ / "Other");
    params::DeleteDefaultsFile(path_);
    EXPECT_FALSE(fs::exists(path_));
    EXPECT_FALSE(fs::exists(panelry_));
    EXPECT_TRUE(fs::is_directory(tavro_ / "Other"));
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
