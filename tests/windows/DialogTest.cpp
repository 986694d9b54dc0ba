// The options dialog of the real plug-in: DO_DIALOG is sent on the test's
// main thread, which owns a host main window of our own and blocks in the
// dialog's modal loop, while a second thread finds the dialog, reads it,
// looks at its banner on the screen and presses its buttons.
//
// The dialog writes and deletes the defaults file in the roaming
// application-data folder, so these tests run only inside the Wine prefix of
// the test run (WINEPREFIX set), and they need a display (Xvfb).
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <type_traits>
#include <vector>

#include "host/Host.h"
#include "params/ParamIds.h"

namespace {

namespace pid = params::id;

constexpr int kGroupBox = 2000;
constexpr int kSaveButton = 2001;
constexpr int kRestoreButton = 2002;

enum class Language { kJapanese, kEnglish };

// Controls 2000, 2001 and 2002, Japanese in Shift-JIS:
//   "設定 （次回起動から有効になります）"
//   "現在のパラメータ設定をデフォルト値として記憶する"
//   "パラメータのデフォルト値設定を初期状態に復帰する"
const char *const kJapaneseTexts[3] = {
    "\x90\xDD\x92\xE8\x20\x81\x69\x8E\x9F\x89\xF1\x8B\x4E\x93\xAE\x82\xA9\x82\xE7\x97\x4C\x8C"
    "\xF8\x82\xC9\x82\xC8\x82\xE8\x82\xDC\x82\xB7\x81\x6A",
    "\x8C\xBB\x8D\xDD\x82\xCC\x83\x70\x83\x89\x83\x81\x81\x5B\x83\x5E\x90\xDD\x92\xE8\x82\xF0"
    "\x83\x66\x83\x74\x83\x48\x83\x8B\x83\x67\x92\x6C\x82\xC6\x82\xB5\x82\xC4\x8B\x4C\x89\xAF"
    "\x82\xB7\x82\xE9",
    "\x83\x70\x83\x89\x83\x81\x81\x5B\x83\x5E\x82\xCC\x83\x66\x83\x74\x83\x48\x83\x8B\x83\x67"
    "\x92\x6C\x90\xDD\x92\xE8\x82\xF0\x8F\x89\x8A\xFA\x8F\xF3\x91\xD4\x82\xC9\x95\x9C\x8B\x41"
    "\x82\xB7\x82\xE9",
};
const char *const kEnglishTexts[3] = {
    "Settings (Valid from next start-up)",
    "Set current parameter values to default",
    "Restore initial default parameter values",
};

// ---------------------------------------------------------------- the defaults file

struct DefaultsLocation {
    std::string appData = []() -> std::string {
        char buffer[MAX_PATH] = {};
        return SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_APPDATA, FALSE) ? buffer : "";
    }();
    std::string tavro = appData + "\\Tavro";
    std::string panelry = tavro + "\\Panelry";
    std::string file = panelry + "\\Stipplex.ini";
};

bool Exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string FileBytes(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// ---------------------------------------------------------------- host windows

void PumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// A plain top-level window of the test process, standing in for the host's
// main window and its other windows.
struct WindowCloser {
    void operator()(HWND window) const
    {
        DestroyWindow(window);
        PumpMessages();
    }
};
using HostWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowCloser>;

HostWindow NewHostWindow(int x, int y, int width, int height, bool visible = true)
{
    HostWindow window(CreateWindowExA(0, "STATIC", "Stipplex test host",
                                      WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), x, y, width,
                                      height, nullptr, nullptr, nullptr, nullptr));
    PumpMessages();
    return window;
}

// The host's main window: one for the whole process, placed anew for each
// test (under Wine without a window manager, every window that goes away
// costs two seconds of waiting for one).
HWND MainWindow(int x = 200, int y = 100, int width = 1000, int height = 700)
{
    static const HWND shared = NewHostWindow(x, y, width, height).release();
    EnableWindow(shared, TRUE);
    MoveWindow(shared, x, y, width, height, TRUE);
    PumpMessages();
    return shared;
}

// ---------------------------------------------------------------- images

// 24-bit pixels, blue-green-red, rows top-down and padded to four bytes.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> bits;
};

Image PixelsOf(HDC dc, HBITMAP bitmap, int width, int height)
{
    Image image{width, height, {}};
    image.bits.resize(static_cast<std::size_t>((width * 3 + 3) & ~3) * height);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    if (width <= 0 || GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), image.bits.data(), &info,
                                DIB_RGB_COLORS) != height) {
        return {};
    }
    return image;
}

// What the screen shows in a rectangle (screen coordinates).
Image CaptureScreen(const RECT &r)
{
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, previous);
    Image image = PixelsOf(memory, bitmap, width, height);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

// The banner, bitmap resource 203 of the plug-in.
Image BannerResource(BITMAP *format = nullptr)
{
    auto bitmap = static_cast<HBITMAP>(LoadImageA(GetModuleHandleA(STIPPLEX_PLUGIN_PATH),
                                                  MAKEINTRESOURCEA(203), IMAGE_BITMAP, 0, 0,
                                                  LR_CREATEDIBSECTION));
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    if (format) {
        *format = info;
    }
    HDC screen = GetDC(nullptr);
    Image image = PixelsOf(screen, bitmap, info.bmWidth, info.bmHeight);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
    return image;
}

// ---------------------------------------------------------------- the dialog driver

// How the driver ends the dialog: a click on a control, or a message to the dialog.
struct Press {
    const char *name;
    int control;
    UINT message;
    WPARAM wParam;
};
const Press kOk{"Ok", IDOK, BM_CLICK, 0};
const Press kSave{"Save", kSaveButton, BM_CLICK, 0};
const Press kRestore{"Restore", kRestoreButton, BM_CLICK, 0};
const Press kCancel{"Cancel", 0, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED)};
const Press kEscape{"Escape", 0, WM_KEYDOWN, VK_ESCAPE};
const Press kCloseBox{"CloseBox", 0, WM_SYSCOMMAND, SC_CLOSE};

void PrintTo(const Press &p, std::ostream *os)
{
    *os << p.name;
}

struct DriverScript {
    HWND owner = nullptr;
    Press press = kOk;
    std::vector<HWND> watched;
    bool banner = false;  // wait for the banner to show on the screen
};

// What the driver saw while the dialog was up, and how the command ended.
struct DialogView {
    bool found = false;
    bool closedByPress = false;  // the press ended it, not the driver's fallback
    bool ok = false;             // DO_DIALOG succeeded
    HWND dialog = nullptr;
    HWND owner = nullptr;
    HWND parent = nullptr;
    std::string title;
    std::string texts[3];  // controls 2000, 2001, 2002
    std::string okText;
    LONG okStyle = 0;
    bool saveEnabled = false;
    bool restoreEnabled = false;
    RECT rect{};
    std::vector<bool> watchedEnabled;  // IsWindowEnabled of the watched windows
    bool bannerShown = false;          // the screen shows bitmap 203 in the banner control
};

std::string WindowText(HWND window)
{
    char buffer[1024] = {};
    GetWindowTextA(window, buffer, sizeof buffer);
    return buffer;
}

std::string ClassOf(HWND window)
{
    char buffer[256] = {};
    GetClassNameA(window, buffer, sizeof buffer);
    return buffer;
}

// A visible dialog of this process owned by `owner` (null: any owner).
HWND FindDialog(HWND owner)
{
    std::pair<HWND, HWND> search{owner, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto *s = reinterpret_cast<std::pair<HWND, HWND> *>(param);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process != GetCurrentProcessId() || ClassOf(window) != "#32770" ||
                !IsWindowVisible(window) || (s->first && GetWindow(window, GW_OWNER) != s->first)) {
                return TRUE;
            }
            s->second = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

// Waits until the condition holds or the time is up; true if it held.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

void LookForTheBanner(HWND dialog, DialogView &view)
{
    HWND banner = nullptr;
    EnumChildWindows(
        dialog,
        [](HWND window, LPARAM param) -> BOOL {
            if (ClassOf(window) != "Static" ||
                (GetWindowLongA(window, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP) {
                return TRUE;
            }
            *reinterpret_cast<HWND *>(param) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&banner));
    if (banner) {
        RECT r{};
        GetWindowRect(banner, &r);
        const Image resource = BannerResource();
        r.right = r.left + resource.width;
        r.bottom = r.top + resource.height;
        // The dialog paints after it is shown: look until the banner is there.
        view.bannerShown = !resource.bits.empty() &&
                           WaitFor([&] { return CaptureScreen(r).bits == resource.bits; },
                                   std::chrono::milliseconds(3000));
    }
}

void Drive(const DriverScript &script, const std::atomic<bool> &returned, DialogView &view)
{
    const auto ended = [&] { return returned.load(); };
    HWND dialog = nullptr;
    WaitFor([&] { return (dialog = FindDialog(script.owner)) != nullptr || ended(); },
            std::chrono::milliseconds(20000));
    if (!dialog) {
        // Never leave the command hanging: close whatever dialog there is.
        if (HWND stray = FindDialog(nullptr)) {
            PostMessageA(stray, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        }
        return;
    }
    view.found = true;
    view.dialog = dialog;
    view.owner = GetWindow(dialog, GW_OWNER);
    view.parent = GetParent(dialog);
    view.title = WindowText(dialog);
    for (int i = 0; i < 3; ++i) {
        view.texts[i] = WindowText(GetDlgItem(dialog, kGroupBox + i));
    }
    view.okText = WindowText(GetDlgItem(dialog, IDOK));
    view.okStyle = GetWindowLongA(GetDlgItem(dialog, IDOK), GWL_STYLE);
    view.saveEnabled = IsWindowEnabled(GetDlgItem(dialog, kSaveButton)) != FALSE;
    view.restoreEnabled = IsWindowEnabled(GetDlgItem(dialog, kRestoreButton)) != FALSE;
    GetWindowRect(dialog, &view.rect);
    for (HWND window : script.watched) {
        view.watchedEnabled.push_back(IsWindowEnabled(window) != FALSE);
    }
    if (script.banner) {
        LookForTheBanner(dialog, view);
    }
    const Press &p = script.press;
    PostMessageA(p.control ? GetDlgItem(dialog, p.control) : dialog, p.message, p.wParam, 0);
    view.closedByPress = WaitFor(ended, std::chrono::milliseconds(10000));
    if (!view.closedByPress) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        if (!WaitFor(ended, std::chrono::milliseconds(5000))) {
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        }
    }
}

// Sends DO_DIALOG on this thread while a driver thread works the dialog.
DialogView RunDialog(host::Instance &instance, const DriverScript &script)
{
    DialogView view;
    std::atomic<bool> returned{false};
    std::thread driver([&] { Drive(script, returned, view); });
    view.ok = instance.doDialog().ok();
    returned = true;
    driver.join();
    EXPECT_TRUE(view.found) << "no dialog owned by the main window appeared";
    EXPECT_TRUE(view.closedByPress) << "the dialog did not close by " << script.press.name;
    EXPECT_TRUE(view.ok);
    return view;
}

// ---------------------------------------------------------------- fixtures

host::Effect LoadEffect(const host::HostOptions &options = {})
{
    return host::Effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH), options);
}

// The dot size's default as a newly started host gets it.
float FreshDotSizeDefault()
{
    host::Effect effect = LoadEffect();
    EXPECT_TRUE(effect.paramsSetup().ok());
    return effect.params()
        .at(static_cast<std::size_t>(effect.indexOfId(pid::DotSize)))
        .def.u.fs_d.dephault;
}

// The real plug-in under a host of this version whose main window is `main`,
// an instance of it, and no protocol fault when it shuts down.
struct Session {
    explicit Session(HWND window = MainWindow(), A_short major = 13, A_short minor = 28)
        : main(window), effect(LoadEffect([&] {
              host::HostOptions options;
              options.main_window = window;
              options.spec_major = major;
              options.spec_minor = minor;
              return options;
          }()))
    {
    }
    ~Session()
    {
        effect.shutdown();
        EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
    }
    void SetDotSize(double size)
    {
        instance.setFloatSlider(instance.indexOfId(pid::DotSize), size);
    }
    DialogView Run(const Press &press, std::vector<HWND> watched = {}, bool banner = false)
    {
        return RunDialog(instance, {main, press, std::move(watched), banner});
    }

    HWND main;
    host::Effect effect;
    host::Instance instance{effect.newInstance(320, 240)};
};

// The dialog touches the real application-data folder of the Wine prefix:
// each test starts and ends without the defaults file and its folders.
class OptionsDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::getenv("WINEPREFIX")) {
            GTEST_SKIP() << "would touch the user's own application-data folder";
        }
        ASSERT_FALSE(where_.appData.empty());
        RemoveDefaults();
    }
    void TearDown() override
    {
        if (std::getenv("WINEPREFIX")) {
            RemoveDefaults();
        }
    }
    void RemoveDefaults()
    {
        std::error_code ec;
        std::filesystem::remove_all(where_.tavro, ec);
        ASSERT_FALSE(Exists(where_.tavro)) << where_.tavro;
    }
    // A defaults file as an earlier save left it, with a dot size of 33 only.
    void WriteDefaultsFile()
    {
        CreateDirectoryA(where_.tavro.c_str(), nullptr);
        CreateDirectoryA(where_.panelry.c_str(), nullptr);
        ASSERT_TRUE(WritePrivateProfileStringA("Version=1.5", "\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1",
                                               "33.000000", where_.file.c_str()));   // 点的大小
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, where_.file.c_str());  // flush
        ASSERT_TRUE(Exists(where_.file));
    }

    DefaultsLocation where_;
};

TEST(OptionsDialogBanner, IsA365By65TrueColourBitmapOfThePlugin)
{
    host::Effect effect = LoadEffect();  // keeps the library loaded
    BITMAP format{};
    EXPECT_EQ(BannerResource(&format).width, 365);
    EXPECT_EQ(format.bmHeight, 65);
    EXPECT_EQ(format.bmBitsPixel, 24);
}

// ---------------------------------------------------------------- position

struct Placement {
    const char *name;
    int x, y, width, height;
    bool xByRule, yByRule;  // centring would come closer than 32 pixels to the left, top
};

class OptionsDialogPosition : public OptionsDialog,
                              public ::testing::WithParamInterface<Placement> {};

TEST_P(OptionsDialogPosition, IsCentredOnTheMainWindowButAtLeast32PixelsFromItsLeftAndTop)
{
    const Placement &p = GetParam();
    Session s(MainWindow(p.x, p.y, p.width, p.height));
    RECT parent{};
    GetWindowRect(s.main, &parent);
    const DialogView view = s.Run(kOk);
    EXPECT_EQ(view.parent, s.main);

    const LONG width = view.rect.right - view.rect.left;
    const LONG height = view.rect.bottom - view.rect.top;
    // Integer divisions truncate toward zero, as C++ does.
    const LONG centredX = (parent.left + parent.right - width) / 2;
    const LONG centredY = (parent.top + parent.bottom - height) / 2;
    EXPECT_EQ(view.rect.left, std::max(centredX, parent.left + 32)) << "width " << width;
    EXPECT_EQ(view.rect.top, std::max(centredY, parent.top + 32)) << "height " << height;
    // Each placement exercises the rule it is meant to.
    EXPECT_EQ(centredX < parent.left + 32, p.xByRule);
    EXPECT_EQ(centredY < parent.top + 32, p.yByRule);
}

// The case the rule is for: a main window at the left edge of the screen,
// narrower and lower than the dialog.
INSTANTIATE_TEST_SUITE_P(
    Placements, OptionsDialogPosition,
    ::testing::Values(Placement{"LargeWindow", 200, 100, 1000, 700, false, false},
                      Placement{"LeftEdgeNarrowAndShort", 0, 300, 150, 90, true, true},
                      Placement{"WideButLow", 250, 400, 1100, 60, false, true},
                      Placement{"PartlyOffTheLeftOfTheScreen", -700, 80, 1500, 800, false, false}),
    [](const ::testing::TestParamInfo<Placement> &tested) {
        return std::string(tested.param.name);
    });

// ---------------------------------------------------------------- host version

struct HostVersion {
    A_short major;
    A_short minor;
    bool actionsEnabled;
};

class OptionsDialogHostVersion : public OptionsDialog,
                                 public ::testing::WithParamInterface<HostVersion> {};

TEST_P(OptionsDialogHostVersion, OffersTheActionsOnlyFromSpecificationVersion12_12)
{
    const HostVersion &v = GetParam();
    Session s(MainWindow(), v.major, v.minor);
    s.SetDotSize(33.0);
    const DialogView view = s.Run(kOk);
    EXPECT_EQ(view.saveEnabled, v.actionsEnabled);
    EXPECT_EQ(view.restoreEnabled, v.actionsEnabled);
    EXPECT_FALSE(Exists(where_.tavro));  // OK does nothing, whatever the version
}

INSTANTIATE_TEST_SUITE_P(Versions, OptionsDialogHostVersion,
                         ::testing::Values(HostVersion{12, 11, false}, HostVersion{11, 40, false},
                                           HostVersion{12, 12, true}, HostVersion{13, 0, true}),
                         [](const ::testing::TestParamInfo<HostVersion> &tested) {
                             return "Version" + std::to_string(tested.param.major) + "_" +
                                    std::to_string(tested.param.minor);
                         });

// ---------------------------------------------------------------- modality

TEST_F(OptionsDialog, DisablesTheVisibleHostWindowsWhileShownAndEnablesOnlyThoseAgain)
{
    Session s;
    const HostWindow panel = NewHostWindow(1250, 100, 300, 400);
    const HostWindow alreadyDisabled = NewHostWindow(1250, 550, 300, 300);
    const HostWindow hidden = NewHostWindow(100, 100, 200, 200, false);
    EnableWindow(alreadyDisabled.get(), FALSE);

    const DialogView view = s.Run(kOk, {s.main, panel.get(), alreadyDisabled.get(), hidden.get()});
    // While shown: every visible window of the process is disabled; a
    // hidden one is left alone.
    EXPECT_EQ(view.watchedEnabled, (std::vector<bool>{false, false, false, true}));
    // Afterwards: what the effect disabled is enabled again, nothing more.
    EXPECT_TRUE(IsWindowEnabled(s.main));
    EXPECT_TRUE(IsWindowEnabled(panel.get()));
    EXPECT_FALSE(IsWindowEnabled(alreadyDisabled.get()));
    EXPECT_TRUE(IsWindowEnabled(hidden.get()));
}

// ---------------------------------------------------------------- the two actions

TEST_F(OptionsDialog, SavedValuesAreTheDefaultsOfTheNextParameterSetUp)
{
    ASSERT_FLOAT_EQ(FreshDotSizeDefault(), 10.0f);
    {
        Session s;
        s.SetDotSize(33.0);
        s.Run(kSave);
        // Only from the next start: this effect's definitions are as they were.
        EXPECT_FLOAT_EQ(s.effect.params()[s.effect.indexOfId(pid::DotSize)].def.u.fs_d.dephault,
                        10.0f);
    }
    EXPECT_FLOAT_EQ(FreshDotSizeDefault(), 33.0f);
}

TEST_F(OptionsDialog, RestoreDeletesTheFileAndItsEmptyFoldersAndTheFactoryDefaultsReturn)
{
    WriteDefaultsFile();
    ASSERT_FLOAT_EQ(FreshDotSizeDefault(), 33.0f);
    Session().Run(kRestore);
    EXPECT_FALSE(Exists(where_.tavro));
    EXPECT_TRUE(Exists(where_.appData));
    EXPECT_FLOAT_EQ(FreshDotSizeDefault(), 10.0f);
}

// ---------------------------------------------------------------- closing without action

class OptionsDialogClosing : public OptionsDialog, public ::testing::WithParamInterface<Press> {};

TEST_P(OptionsDialogClosing, LeavesTheFileAsItWas)
{
    WriteDefaultsFile();
    const std::string before = FileBytes(where_.file);
    {
        Session s;
        s.SetDotSize(50.0);
        s.Run(GetParam());
    }
    EXPECT_EQ(FileBytes(where_.file), before);
}

INSTANTIATE_TEST_SUITE_P(Ways, OptionsDialogClosing,
                         ::testing::Values(kOk, kCancel, kEscape, kCloseBox),
                         [](const ::testing::TestParamInfo<Press> &tested) {
                             return std::string(tested.param.name);
                         });

// ---------------------------------------------------------------- language
//
// The plug-in decides its language once per process, from the command line
// (option -L) and the ANSI code page. This process is checked as it is; the
// other cases run this program again as a child process with another command
// line or locale. (That the code page alone chooses Japanese is checked by
// the whole program's run under the Japanese locale; that -L EN overrides it,
// with the rest of the option's reading, by LanguageTest.)

// Shows the dialog and checks it and its texts in `language`.
void ExpectDialogInLanguage(Language language)
{
    const bool japanese = language == Language::kJapanese;
    Session s;
    const DialogView view = s.Run(kOk, {}, true);
    EXPECT_EQ(view.owner, s.main);
    EXPECT_FALSE(IsWindow(view.dialog)) << "the dialog outlived the command";
    // The effect's name is Japanese-only: the English title is empty.
    EXPECT_EQ(view.title, japanese ? "Stipplex" : "");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(view.texts[i], (japanese ? kJapaneseTexts : kEnglishTexts)[i])
            << "control " << kGroupBox + i;
    }
    EXPECT_EQ(view.okText, "OK");
    EXPECT_EQ(view.okStyle & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(view.bannerShown);
}

TEST_F(OptionsDialog, IsAModalDialogOfTheMainWindowInTheCodePagesLanguage)
{
    ExpectDialogInLanguage(GetACP() == 932 ? Language::kJapanese : Language::kEnglish);
}

// The child's side: STIPPLEX_DIALOG_PROBE names the file for its verdict.
TEST(OptionsDialogLanguageProbe, ShowsJapaneseOnAWesternCodePage)
{
    const char *marker = std::getenv("STIPPLEX_DIALOG_PROBE");
    if (!marker) {
        GTEST_SKIP() << "runs only as a child of the language test";
    }
    if (GetACP() != 1252) {
        std::ofstream(marker, std::ios::binary) << "code page " << GetACP();
        FAIL() << "code page " << GetACP() << ", not 1252";
    }
    ExpectDialogInLanguage(Language::kJapanese);
    std::ofstream(marker, std::ios::binary) << (HasFailure() ? "failed" : "shown");
}

// Runs the probe in a child process with option -L jp under a Western locale
// and expects it to show the dialog in Japanese and pass all its checks. Wine
// takes the code page from the locale of the Unix process, and a child
// started by a Windows process keeps its parent's, so the child is started
// through the Unix side: env LANG=... wine <this program>.
TEST_F(OptionsDialog, OptionLJpChoosesJapaneseOnAWesternCodePage)
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) {
        GTEST_SKIP() << "chooses the child's code page through Wine";
    }
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string marker = std::string(tmp) + "stipplex-dialog-probe.txt";
    DeleteFileA(marker.c_str());
    const std::string command = std::string("/usr/bin/env LANG=en_US.UTF-8 LC_ALL=en_US.UTF-8") +
                                " wine \"" + self +
                                "\" --gtest_filter=OptionsDialogLanguageProbe.* -L jp";
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    SetEnvironmentVariableA("STIPPLEX_DIALOG_PROBE", marker.c_str());
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &si, &pi);
    SetEnvironmentVariableA("STIPPLEX_DIALOG_PROBE", nullptr);
    ASSERT_TRUE(started) << GetLastError() << ": " << command;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    // Wine cannot wait for a Unix process: the child's verdict comes as the
    // marker file, "shown" when every check passed.
    std::string verdict;
    WaitFor([&] { return !(verdict = FileBytes(marker)).empty(); },
            std::chrono::milliseconds(120000));
    EXPECT_EQ(verdict, "shown") << command << " (its output above says why)";
    DeleteFileA(marker.c_str());
}

}  // namespace
