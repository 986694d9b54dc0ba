// The options dialog of the real plug-in: DO_DIALOG is sent on the test's
// main thread, which owns a host main window of our own and blocks in the
// dialog's modal loop, while a second thread finds the dialog, reads it,
// photographs it and presses its buttons.
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
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "host/Host.h"
#include "params/ParamIds.h"

namespace {

namespace pid = params::id;
using Clock = std::chrono::steady_clock;

// ---------------------------------------------------------------- expected texts

constexpr int kGroupBox = 2000;
constexpr int kSaveButton = 2001;
constexpr int kRestoreButton = 2002;

enum class Language { kJapanese, kEnglish };

const char *LanguageName(Language language)
{
    return language == Language::kJapanese ? "ja" : "en";
}

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

const char kSection[] = "Version=1.5";

// GBK display names, the keys of the file.
const char kDotSizeKey[] = "\xB5\xE3\xB5\xC4\xB4\xF3\xD0\xA1";      // 点的大小
const char kDotColorKey[] = "\xB5\xE3\xB5\xC4\xD1\xD5\xC9\xAB";     // 点的颜色
const char kDotRotationKey[] = "\xB5\xE3\xB5\xC4\xD0\xFD\xD7\xAA";  // 点的旋转
const char kCenterDotToFrontKey[] =
    "\xD6\xD0\xD0\xC4\xB5\xE3\xB5\xBD\xC7\xB0\xC3\xE6";            // 中心点到前面
const char kRandomSeedKey[] = "\xCB\xE6\xBB\xFA\xD6\xD6\xD7\xD3";  // 随机种子
const char kEffectorSize3Key[] = "\xB4\xF3\xD0\xA1\x33";           // 大小3
const char kEnableEffector3Key[] = "\xC6\xF4\xD3\xC3\xD0\xA7\xB9\xFB\xC6\xF7\x33";  // 启用效果器3
const char kTile1Key[] = "\xB4\xC9\xD7\xA9\x31";                                    // 瓷砖1
const char kEffectorPosition1Key[] = "\xCE\xBB\xD6\xC3\x31";                        // 位置1
const char kMaskLayerKey[] = "\xC4\xBF\xB1\xEA\xD5\xDA\xD5\xD6\xCD\xBC\xB2\xE3";  // 目标遮罩图层

// Keys of every parameter with a stored form: 16 main parameters (the colour
// with four keys), 12 of the randomise group, and 26 per effector (its blend
// colour with four keys); points, layers and groups have none.
constexpr int kStoredKeyCount = (16 + 3) + 12 + 3 * (26 + 3);

std::string AppDataFolder()
{
    char buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_APPDATA, FALSE)) {
        return {};
    }
    return buffer;
}

struct DefaultsLocation {
    std::string appData = AppDataFolder();
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

const char kMissing[] = "<missing>";

std::string StoredText(const std::string &file, const char *key)
{
    char buffer[256] = {};
    GetPrivateProfileStringA(kSection, key, kMissing, buffer, sizeof buffer, file.c_str());
    return buffer;
}

// The names of a double-zero-terminated list as the profile calls return it.
std::vector<std::string> SplitList(const std::vector<char> &buffer, DWORD length)
{
    std::vector<std::string> names;
    for (DWORD at = 0; at < length && buffer[at] != '\0';) {
        names.emplace_back(&buffer[at]);
        at += static_cast<DWORD>(names.back().size()) + 1;
    }
    return names;
}

std::vector<std::string> StoredKeys(const std::string &file)
{
    std::vector<char> buffer(64 * 1024, '\0');
    const DWORD length = GetPrivateProfileStringA(kSection, nullptr, "", buffer.data(),
                                                  static_cast<DWORD>(buffer.size()), file.c_str());
    return SplitList(buffer, length);
}

std::vector<std::string> StoredSections(const std::string &file)
{
    std::vector<char> buffer(4096, '\0');
    const DWORD length = GetPrivateProfileSectionNamesA(
        buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
    return SplitList(buffer, length);
}

// ---------------------------------------------------------------- host windows

const char kHostWindowClass[] = "StipplexDialogTestHost";

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
class HostWindow {
public:
    HostWindow(int x, int y, int width, int height, bool visible = true)
    {
        static const ATOM registered = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = DefWindowProcA;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_APPWORKSPACE + 1);
            wc.lpszClassName = kHostWindowClass;
            return RegisterClassA(&wc);
        }();
        (void)registered;
        window_ = CreateWindowExA(0, kHostWindowClass, "Stipplex test host",
                                  WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), x, y, width,
                                  height, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        PumpMessages();
    }
    ~HostWindow()
    {
        if (window_) {
            DestroyWindow(window_);
            PumpMessages();
        }
    }
    HostWindow(const HostWindow &) = delete;
    HostWindow &operator=(const HostWindow &) = delete;

    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

RECT WindowRect(HWND window)
{
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// The host's main window: one for the whole process, placed anew for each
// test (under Wine without a window manager, every window that goes away
// costs two seconds of waiting for one).
HWND MainWindow(int x, int y, int width, int height)
{
    static HostWindow *const shared = new HostWindow(x, y, width, height);
    EnableWindow(shared->get(), TRUE);
    MoveWindow(shared->get(), x, y, width, height, TRUE);
    PumpMessages();
    return shared->get();
}

// ---------------------------------------------------------------- images

// 24-bit pixels, rows top-down, blue-green-red, no row padding.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> bgr;
};

int Stride(int width)
{
    return (width * 3 + 3) & ~3;
}

Image PixelsOf(HDC dc, HBITMAP bitmap, int width, int height)
{
    Image image;
    if (width <= 0 || height <= 0) {
        return image;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    const int stride = Stride(width);
    std::vector<unsigned char> raw(static_cast<std::size_t>(stride) * height);
    if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), raw.data(), &info, DIB_RGB_COLORS) !=
        height) {
        return image;
    }
    image.width = width;
    image.height = height;
    for (int y = 0; y < height; ++y) {
        const auto row = raw.begin() + static_cast<std::ptrdiff_t>(y) * stride;
        image.bgr.insert(image.bgr.end(), row, row + width * 3);
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
Image BannerResource(BITMAP *format)
{
    HMODULE module = GetModuleHandleA(STIPPLEX_PLUGIN_PATH);
    auto bitmap = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(203), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!bitmap) {
        return {};
    }
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

// The top-left part of `whole` of the size of `part` equals `part`.
bool StartsWith(const Image &whole, const Image &part)
{
    if (part.width == 0 || whole.width < part.width || whole.height < part.height) {
        return false;
    }
    for (int y = 0; y < part.height; ++y) {
        const auto a = whole.bgr.begin() + static_cast<std::ptrdiff_t>(y) * whole.width * 3;
        const auto b = part.bgr.begin() + static_cast<std::ptrdiff_t>(y) * part.width * 3;
        if (!std::equal(b, b + part.width * 3, a)) {
            return false;
        }
    }
    return true;
}

bool WriteBmp(const std::string &file, const Image &image)
{
    const int stride = Stride(image.width);
    BITMAPFILEHEADER head{};
    BITMAPINFOHEADER info{};
    head.bfType = 0x4D42;  // "BM"
    head.bfOffBits = sizeof head + sizeof info;
    head.bfSize = head.bfOffBits + static_cast<DWORD>(stride) * image.height;
    info.biSize = sizeof info;
    info.biWidth = image.width;
    info.biHeight = image.height;  // bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char *>(&head), sizeof head);
    out.write(reinterpret_cast<const char *>(&info), sizeof info);
    const std::vector<char> padding(static_cast<std::size_t>(stride - image.width * 3), '\0');
    for (int y = image.height - 1; y >= 0; --y) {
        out.write(reinterpret_cast<const char *>(
                      &image.bgr[static_cast<std::size_t>(y) * image.width * 3]),
                  image.width * 3);
        out.write(padding.data(), static_cast<std::streamsize>(padding.size()));
    }
    return static_cast<bool>(out);
}

// ---------------------------------------------------------------- the dialog driver

// How the driver ends the dialog.
enum class Press { kOk, kCancel, kEscape, kCloseBox, kSave, kRestore };

// What the driver saw while the dialog was up.
struct DialogView {
    bool found = false;
    HWND dialog = nullptr;
    bool closedByPress = false;  // the press ended it, not the driver's fallback
    std::string windowClass;
    HWND owner = nullptr;
    HWND parent = nullptr;
    std::string title;
    std::string texts[3];  // controls 2000, 2001, 2002
    bool okExists = false;
    std::string okText;
    LONG okStyle = 0;
    bool saveEnabled = false;
    bool restoreEnabled = false;
    RECT rect{};
    std::vector<bool> watchedEnabled;  // IsWindowEnabled of the watched windows
    bool bannerShown = false;          // the screen shows bitmap 203 in the banner control
    RECT bannerRect{};
    bool screenshotWritten = false;
};

struct DialogRun {
    host::CommandResult result;
    DialogView view;
};

struct DriverScript {
    HWND owner = nullptr;
    Press press = Press::kOk;
    std::vector<HWND> watched;
    std::string screenshot;  // file name, or empty
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

struct DialogSearch {
    HWND owner;  // null: any dialog of this process
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param)
{
    auto *search = reinterpret_cast<DialogSearch *>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId() || ClassOf(window) != "#32770" ||
        !IsWindowVisible(window)) {
        return TRUE;
    }
    if (search->owner && GetWindow(window, GW_OWNER) != search->owner) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

HWND FindDialog(HWND owner)
{
    DialogSearch search{owner, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK MatchBanner(HWND window, LPARAM param)
{
    if (ClassOf(window) == "Static" &&
        (GetWindowLongA(window, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
        *reinterpret_cast<HWND *>(param) = window;
        return FALSE;
    }
    return TRUE;
}

// Waits until the condition holds or the time is up; true if it held.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

void PressButton(HWND dialog, Press press)
{
    switch (press) {
        case Press::kOk:
            PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            break;
        case Press::kSave:
            PostMessageA(GetDlgItem(dialog, kSaveButton), BM_CLICK, 0, 0);
            break;
        case Press::kRestore:
            PostMessageA(GetDlgItem(dialog, kRestoreButton), BM_CLICK, 0, 0);
            break;
        case Press::kCancel:
            PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
            break;
        case Press::kEscape:
            PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
            break;
        case Press::kCloseBox:
            PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
    }
}

void Inspect(HWND dialog, const DriverScript &script, DialogView &view)
{
    view.windowClass = ClassOf(dialog);
    view.owner = GetWindow(dialog, GW_OWNER);
    view.parent = GetParent(dialog);
    view.title = WindowText(dialog);
    for (int i = 0; i < 3; ++i) {
        view.texts[i] = WindowText(GetDlgItem(dialog, kGroupBox + i));
    }
    HWND ok = GetDlgItem(dialog, IDOK);
    view.okExists = ok != nullptr;
    view.okText = WindowText(ok);
    view.okStyle = GetWindowLongA(ok, GWL_STYLE);
    view.saveEnabled = IsWindowEnabled(GetDlgItem(dialog, kSaveButton)) != FALSE;
    view.restoreEnabled = IsWindowEnabled(GetDlgItem(dialog, kRestoreButton)) != FALSE;
    GetWindowRect(dialog, &view.rect);
    for (HWND window : script.watched) {
        view.watchedEnabled.push_back(IsWindowEnabled(window) != FALSE);
    }
}

void Photograph(HWND dialog, const DriverScript &script, DialogView &view)
{
    HWND banner = nullptr;
    EnumChildWindows(dialog, MatchBanner, reinterpret_cast<LPARAM>(&banner));
    const Image resource = BannerResource(nullptr);
    if (banner) {
        GetWindowRect(banner, &view.bannerRect);
        // The dialog paints after it is shown: look until the banner is there.
        view.bannerShown =
            WaitFor([&] { return StartsWith(CaptureScreen(view.bannerRect), resource); },
                    std::chrono::milliseconds(3000));
    }
    Sleep(200);  // let the rest settle as well
    RECT r{};
    GetWindowRect(dialog, &r);
    view.screenshotWritten = WriteBmp(script.screenshot, CaptureScreen(r));
}

void Drive(const DriverScript &script, const std::atomic<bool> &returned, DialogView &view)
{
    HWND dialog = nullptr;
    WaitFor(
        [&] {
            dialog = FindDialog(script.owner);
            return dialog != nullptr || returned.load();
        },
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
    Inspect(dialog, script, view);
    if (!script.screenshot.empty()) {
        Photograph(dialog, script, view);
    }
    PressButton(dialog, script.press);
    view.closedByPress = WaitFor([&] { return returned.load(); }, std::chrono::milliseconds(10000));
    if (!view.closedByPress) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        if (!WaitFor([&] { return returned.load(); }, std::chrono::milliseconds(5000))) {
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        }
    }
}

// Sends DO_DIALOG on this thread while a driver thread works the dialog.
DialogRun RunDialog(host::Instance &instance, const DriverScript &script)
{
    DialogRun run;
    std::atomic<bool> returned{false};
    std::thread driver([&] { Drive(script, returned, run.view); });
    run.result = instance.doDialog();
    returned = true;
    driver.join();
    return run;
}

// ---------------------------------------------------------------- fixtures

host::HostOptions OptionsFor(HWND mainWindow, A_short major = 13, A_short minor = 28)
{
    host::HostOptions options;
    options.main_window = mainWindow;
    options.spec_major = major;
    options.spec_minor = minor;
    return options;
}

host::Effect LoadEffect(const host::HostOptions &options = {})
{
    return host::Effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH), options);
}

// The definition a newly started host gets for the parameter with this id.
PF_ParamDef FreshDefinition(A_long id)
{
    host::Effect effect = LoadEffect();
    EXPECT_TRUE(effect.paramsSetup().ok());
    const PF_ParamDef def = effect.params().at(static_cast<std::size_t>(effect.indexOfId(id))).def;
    effect.shutdown();
    return def;
}

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
    // A defaults file as an earlier save left it, with the dot size only.
    void WriteDefaultsFile(const char *dotSize)
    {
        CreateDirectoryA(where_.tavro.c_str(), nullptr);
        CreateDirectoryA(where_.panelry.c_str(), nullptr);
        ASSERT_TRUE(
            WritePrivateProfileStringA(kSection, kDotSizeKey, dotSize, where_.file.c_str()));
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, where_.file.c_str());  // flush
        ASSERT_TRUE(Exists(where_.file));
    }

    DefaultsLocation where_;
};

// ---------------------------------------------------------------- the window

TEST_F(OptionsDialog, IsAModalDialogOwnedByTheHostMainWindowWithAnOkButton)
{
    const HWND main = MainWindow(200, 100, 1000, 700);
    ASSERT_NE(main, nullptr);
    host::Effect effect = LoadEffect(OptionsFor(main));
    host::Instance instance = effect.newInstance(320, 240);
    const DialogRun run = RunDialog(instance, {main, Press::kOk, {}, {}});

    ASSERT_TRUE(run.view.found) << "no dialog owned by the main window appeared";
    EXPECT_TRUE(run.view.closedByPress);
    EXPECT_EQ(run.view.windowClass, "#32770");
    EXPECT_EQ(run.view.owner, main);
    EXPECT_TRUE(run.view.okExists);
    EXPECT_EQ(run.view.okText, "OK");
    EXPECT_EQ(run.view.okStyle & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_TRUE(run.result.ok()) << run.result.err;
    EXPECT_FALSE(IsWindow(run.view.dialog)) << "the dialog outlived the command";
    instance.sequenceSetdown();
    effect.shutdown();
    EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
}

TEST(OptionsDialogBanner, IsA365By65TrueColourBitmapOfThePlugin)
{
    host::Effect effect = LoadEffect();  // keeps the library loaded
    BITMAP format{};
    const Image banner = BannerResource(&format);
    EXPECT_EQ(format.bmWidth, 365);
    EXPECT_EQ(format.bmHeight, 65);
    EXPECT_EQ(format.bmBitsPixel, 24);
    EXPECT_EQ(banner.width, 365);
}

// ---------------------------------------------------------------- position

struct Placement {
    const char *name;
    int x, y, width, height;
    bool xByRule, yByRule;  // centring would come closer than 32 pixels to the left, top
};

void PrintTo(const Placement &p, std::ostream *os)
{
    *os << p.name;
}

class OptionsDialogPosition : public OptionsDialog,
                              public ::testing::WithParamInterface<Placement> {};

TEST_P(OptionsDialogPosition, IsCentredOnTheMainWindowButAtLeast32PixelsFromItsLeftAndTop)
{
    const Placement &p = GetParam();
    const HWND main = MainWindow(p.x, p.y, p.width, p.height);
    const RECT parent = WindowRect(main);
    host::Effect effect = LoadEffect(OptionsFor(main));
    host::Instance instance = effect.newInstance(320, 240);
    const DialogRun run = RunDialog(instance, {main, Press::kOk, {}, {}});
    ASSERT_TRUE(run.view.found);
    EXPECT_EQ(run.view.parent, main);

    const int width = run.view.rect.right - run.view.rect.left;
    const int height = run.view.rect.bottom - run.view.rect.top;
    // Integer divisions truncate toward zero, as C++ does.
    const LONG x = std::max<LONG>((parent.left + parent.right - width) / 2, parent.left + 32);
    const LONG y = std::max<LONG>((parent.top + parent.bottom - height) / 2, parent.top + 32);
    EXPECT_EQ(run.view.rect.left, x)
        << "parent " << parent.left << ".." << parent.right << ", dialog width " << width;
    EXPECT_EQ(run.view.rect.top, y)
        << "parent " << parent.top << ".." << parent.bottom << ", dialog height " << height;

    // Each placement exercises the rule it is meant to.
    EXPECT_EQ((parent.left + parent.right - width) / 2 < parent.left + 32, p.xByRule);
    EXPECT_EQ((parent.top + parent.bottom - height) / 2 < parent.top + 32, p.yByRule);
    if (p.xByRule) {
        EXPECT_EQ(run.view.rect.left, parent.left + 32);
    } else {
        // Centred: as much room left as right.
        EXPECT_LE(
            std::abs((run.view.rect.left - parent.left) - (parent.right - run.view.rect.right)), 1);
    }
    if (p.yByRule) {
        EXPECT_EQ(run.view.rect.top, parent.top + 32);
    } else {
        EXPECT_LE(
            std::abs((run.view.rect.top - parent.top) - (parent.bottom - run.view.rect.bottom)), 1);
    }
    if (std::string(p.name) == "LeftEdgeNarrowAndShort") {
        // The case the rule is for: a main window at the left edge of the
        // screen, narrower than the dialog.
        ASSERT_EQ(parent.left, 0);
        ASSERT_LT(parent.right - parent.left, width);
        EXPECT_EQ(run.view.rect.left, 32);
    }
}

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

void PrintTo(const HostVersion &v, std::ostream *os)
{
    *os << v.major << "." << v.minor;
}

class OptionsDialogHostVersion : public OptionsDialog,
                                 public ::testing::WithParamInterface<HostVersion> {};

TEST_P(OptionsDialogHostVersion, OffersTheActionsOnlyFromSpecificationVersion12_12)
{
    const HostVersion &v = GetParam();
    const HWND main = MainWindow(200, 100, 1000, 700);
    host::Effect effect = LoadEffect(OptionsFor(main, v.major, v.minor));
    host::Instance instance = effect.newInstance(320, 240);
    instance.setFloatSlider(instance.indexOfId(pid::DotSize), 33.0);
    const DialogRun run = RunDialog(instance, {main, Press::kOk, {}, {}});
    ASSERT_TRUE(run.view.found);
    EXPECT_TRUE(run.view.closedByPress);
    EXPECT_EQ(run.view.saveEnabled, v.actionsEnabled);
    EXPECT_EQ(run.view.restoreEnabled, v.actionsEnabled);
    EXPECT_TRUE(run.result.ok());
    // OK does nothing, whatever the version.
    EXPECT_FALSE(Exists(where_.tavro));
}

INSTANTIATE_TEST_SUITE_P(Versions, OptionsDialogHostVersion,
                         ::testing::Values(HostVersion{12, 11, false}, HostVersion{11, 40, false},
                                           HostVersion{12, 12, true}, HostVersion{13, 0, true},
                                           HostVersion{13, 28, true}),
                         [](const ::testing::TestParamInfo<HostVersion> &tested) {
                             return "Version" + std::to_string(tested.param.major) + "_" +
                                    std::to_string(tested.param.minor);
                         });

// ---------------------------------------------------------------- modality

TEST_F(OptionsDialog, DisablesTheVisibleHostWindowsWhileShownAndEnablesOnlyThoseAgain)
{
    const HWND main = MainWindow(200, 100, 1000, 700);
    HostWindow panel(1250, 100, 300, 400);
    HostWindow alreadyDisabled(1250, 550, 300, 300);
    HostWindow hidden(100, 100, 200, 200, false);
    EnableWindow(alreadyDisabled.get(), FALSE);
    ASSERT_TRUE(IsWindowEnabled(panel.get()));
    ASSERT_FALSE(IsWindowEnabled(alreadyDisabled.get()));
    ASSERT_FALSE(IsWindowVisible(hidden.get()));

    host::Effect effect = LoadEffect(OptionsFor(main));
    host::Instance instance = effect.newInstance(320, 240);
    const std::vector<HWND> watched = {main, panel.get(), alreadyDisabled.get(), hidden.get()};
    const DialogRun run = RunDialog(instance, {main, Press::kOk, watched, {}});
    ASSERT_TRUE(run.view.found);
    ASSERT_EQ(run.view.watchedEnabled.size(), 4u);
    // While shown: every visible window of the process is disabled; a
    // hidden one is left alone.
    EXPECT_FALSE(run.view.watchedEnabled[0]);
    EXPECT_FALSE(run.view.watchedEnabled[1]);
    EXPECT_FALSE(run.view.watchedEnabled[2]);
    EXPECT_TRUE(run.view.watchedEnabled[3]);
    // Afterwards: what the effect disabled is enabled again, nothing more.
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_TRUE(IsWindowEnabled(panel.get()));
    EXPECT_FALSE(IsWindowEnabled(alreadyDisabled.get()));
    EXPECT_TRUE(IsWindowEnabled(hidden.get()));
}

// ---------------------------------------------------------------- the two actions

TEST_F(OptionsDialog, SaveWritesEveryStoredParameterIncludingSwitchedOffEffectors)
{
    const HWND main = MainWindow(200, 100, 1000, 700);
    {
        host::Effect effect = LoadEffect(OptionsFor(main));
        host::Instance instance = effect.newInstance(320, 240);
        instance.setFloatSlider(instance.indexOfId(pid::DotSize), 33.0);
        // Effector 3 stays switched off; its values are saved all the same.
        ASSERT_FALSE(instance.param(instance.indexOfId(pid::EnableEffector3)).u.bd.value);
        instance.setFloatSlider(instance.indexOfId(pid::EffectorSize3), 321.5);
        instance.setAngle(instance.indexOfId(pid::DotRotation), 45 * 65536);
        PF_Pixel color{};
        color.alpha = 255;
        color.red = 1;
        color.green = 2;
        color.blue = 3;
        instance.setColor(instance.indexOfId(pid::DotColor), color);
        instance.setPopup(instance.indexOfId(pid::Tile1), 2);
        instance.setSlider(instance.indexOfId(pid::RandomSeed), 77);
        instance.setCheckbox(instance.indexOfId(pid::CenterDotToFront), true);

        const DialogRun run = RunDialog(instance, {main, Press::kSave, {}, {}});
        ASSERT_TRUE(run.view.found);
        EXPECT_TRUE(run.view.closedByPress);
        EXPECT_TRUE(run.result.ok());
        instance.sequenceSetdown();
        effect.shutdown();
        EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
    }

    ASSERT_TRUE(Exists(where_.file)) << where_.file;
    EXPECT_EQ(StoredSections(where_.file), std::vector<std::string>{kSection});
    EXPECT_EQ(StoredKeys(where_.file).size(), static_cast<std::size_t>(kStoredKeyCount));
    EXPECT_EQ(StoredText(where_.file, kDotSizeKey), "33.000000");
    EXPECT_EQ(StoredText(where_.file, kEffectorSize3Key), "321.500000");
    EXPECT_EQ(StoredText(where_.file, kEnableEffector3Key), "0");
    EXPECT_EQ(StoredText(where_.file, kDotRotationKey), "45.000000");
    EXPECT_EQ(StoredText(where_.file, (std::string(kDotColorKey) + ".r").c_str()), "1");
    EXPECT_EQ(StoredText(where_.file, (std::string(kDotColorKey) + ".g").c_str()), "2");
    EXPECT_EQ(StoredText(where_.file, (std::string(kDotColorKey) + ".b").c_str()), "3");
    EXPECT_EQ(StoredText(where_.file, (std::string(kDotColorKey) + ".a").c_str()), "255");
    EXPECT_EQ(StoredText(where_.file, kTile1Key), "2");
    EXPECT_EQ(StoredText(where_.file, kRandomSeedKey), "77");
    EXPECT_EQ(StoredText(where_.file, kCenterDotToFrontKey), "1");
    // Points and layers have no stored form.
    EXPECT_EQ(StoredText(where_.file, kEffectorPosition1Key), kMissing);
    EXPECT_EQ(StoredText(where_.file, kMaskLayerKey), kMissing);
}

TEST_F(OptionsDialog, SavedValuesAreTheDefaultsOfTheNextParameterSetUp)
{
    const HWND main = MainWindow(200, 100, 1000, 700);
    ASSERT_FLOAT_EQ(FreshDefinition(pid::DotSize).u.fs_d.dephault, 10.0f);
    {
        host::Effect effect = LoadEffect(OptionsFor(main));
        host::Instance instance = effect.newInstance(320, 240);
        instance.setFloatSlider(instance.indexOfId(pid::DotSize), 33.0);
        instance.setFloatSlider(instance.indexOfId(pid::EffectorSize3), 321.5);
        instance.setAngle(instance.indexOfId(pid::DotRotation), 45 * 65536);
        PF_Pixel color{};
        color.alpha = 0;
        color.red = 1;
        color.green = 2;
        color.blue = 3;
        instance.setColor(instance.indexOfId(pid::DotColor), color);
        instance.setPopup(instance.indexOfId(pid::Tile1), 2);
        const DialogRun run = RunDialog(instance, {main, Press::kSave, {}, {}});
        ASSERT_TRUE(run.view.found);
        // Only from the next start: this effect's definitions are as they were.
        EXPECT_FLOAT_EQ(effect.params()[effect.indexOfId(pid::DotSize)].def.u.fs_d.dephault, 10.0f);
    }
    EXPECT_FLOAT_EQ(FreshDefinition(pid::DotSize).u.fs_d.dephault, 33.0f);
    EXPECT_FLOAT_EQ(FreshDefinition(pid::EffectorSize3).u.fs_d.dephault, 321.5f);
    EXPECT_EQ(FreshDefinition(pid::DotRotation).u.ad.dephault, 45 * 65536);
    EXPECT_EQ(FreshDefinition(pid::Tile1).u.pd.dephault, 2);
    const PF_Pixel color = FreshDefinition(pid::DotColor).u.cd.dephault;
    EXPECT_EQ(color.alpha, 255);
    EXPECT_EQ(color.red, 1);
    EXPECT_EQ(color.green, 2);
    EXPECT_EQ(color.blue, 3);
}

TEST_F(OptionsDialog, RestoreDeletesTheFileAndItsEmptyFoldersAndTheFactoryDefaultsReturn)
{
    WriteDefaultsFile("33.000000");
    ASSERT_FLOAT_EQ(FreshDefinition(pid::DotSize).u.fs_d.dephault, 33.0f);

    const HWND main = MainWindow(200, 100, 1000, 700);
    {
        host::Effect effect = LoadEffect(OptionsFor(main));
        host::Instance instance = effect.newInstance(320, 240);
        const DialogRun run = RunDialog(instance, {main, Press::kRestore, {}, {}});
        ASSERT_TRUE(run.view.found);
        EXPECT_TRUE(run.view.closedByPress);
        EXPECT_TRUE(run.result.ok());
    }
    EXPECT_FALSE(Exists(where_.file));
    EXPECT_FALSE(Exists(where_.panelry));
    EXPECT_FALSE(Exists(where_.tavro));
    EXPECT_TRUE(Exists(where_.appData));
    EXPECT_FLOAT_EQ(FreshDefinition(pid::DotSize).u.fs_d.dephault, 10.0f);
}

TEST_F(OptionsDialog, RestoreKeepsTheMakersFolderWhenItHoldsAnotherProduct)
{
    WriteDefaultsFile("33.000000");
    const std::string other = where_.tavro + "\\Other";
    ASSERT_TRUE(CreateDirectoryA(other.c_str(), nullptr));

    const HWND main = MainWindow(200, 100, 1000, 700);
    host::Effect effect = LoadEffect(OptionsFor(main));
    host::Instance instance = effect.newInstance(320, 240);
    const DialogRun run = RunDialog(instance, {main, Press::kRestore, {}, {}});
    ASSERT_TRUE(run.view.found);
    EXPECT_FALSE(Exists(where_.file));
    EXPECT_FALSE(Exists(where_.panelry));
    EXPECT_TRUE(Exists(other));
}

TEST_F(OptionsDialog, RestoreWithoutAFileLeavesNoFolderBehind)
{
    const HWND main = MainWindow(200, 100, 1000, 700);
    host::Effect effect = LoadEffect(OptionsFor(main));
    host::Instance instance = effect.newInstance(320, 240);
    const DialogRun run = RunDialog(instance, {main, Press::kRestore, {}, {}});
    ASSERT_TRUE(run.view.found);
    EXPECT_TRUE(run.result.ok());
    EXPECT_FALSE(Exists(where_.tavro));
}

// ---------------------------------------------------------------- closing without action

struct Closing {
    const char *name;
    Press press;
};

void PrintTo(const Closing &c, std::ostream *os)
{
    *os << c.name;
}

class OptionsDialogClosing : public OptionsDialog, public ::testing::WithParamInterface<Closing> {};

TEST_P(OptionsDialogClosing, ChangesNothing)
{
    const HWND main = MainWindow(200, 100, 1000, 700);
    host::Effect effect = LoadEffect(OptionsFor(main));
    host::Instance instance = effect.newInstance(320, 240);
    instance.setFloatSlider(instance.indexOfId(pid::DotSize), 50.0);

    // No file: none appears, nor its folders.
    DialogRun run = RunDialog(instance, {main, GetParam().press, {}, {}});
    ASSERT_TRUE(run.view.found);
    EXPECT_TRUE(run.view.closedByPress) << "the dialog did not close by " << GetParam().name;
    EXPECT_TRUE(run.result.ok());
    EXPECT_FALSE(Exists(where_.tavro));

    // A file: it stays, byte for byte.
    WriteDefaultsFile("33.000000");
    const std::string before = FileBytes(where_.file);
    run = RunDialog(instance, {main, GetParam().press, {}, {}});
    ASSERT_TRUE(run.view.found);
    EXPECT_TRUE(run.view.closedByPress);
    EXPECT_EQ(FileBytes(where_.file), before);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, OptionsDialogClosing,
    ::testing::Values(Closing{"Ok", Press::kOk}, Closing{"Cancel", Press::kCancel},
                      Closing{"Escape", Press::kEscape}, Closing{"CloseBox", Press::kCloseBox}),
    [](const ::testing::TestParamInfo<Closing> &tested) { return std::string(tested.param.name); });

// ---------------------------------------------------------------- language
//
// The plug-in decides its language once per process, from the command line
// (option -L) and the ANSI code page. This process is checked as it is; the
// other cases run this program again as a child process with another command
// line or locale.

// Shows the dialog, checks its title and texts in `language`, and writes a
// screenshot of it.
void ExpectDialogInLanguage(Language language, const std::string &screenshot)
{
    const HWND main = MainWindow(200, 100, 1000, 700);
    host::Effect effect = LoadEffect(OptionsFor(main));
    host::Instance instance = effect.newInstance(320, 240);
    const DialogRun run = RunDialog(instance, {main, Press::kOk, {}, screenshot});
    ASSERT_TRUE(run.view.found);
    EXPECT_TRUE(run.view.closedByPress);

    const bool japanese = language == Language::kJapanese;
    // The effect's name is Japanese-only: the English title is empty.
    EXPECT_EQ(run.view.title, japanese ? "Stipplex" : "");
    const char *const *texts = japanese ? kJapaneseTexts : kEnglishTexts;
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(run.view.texts[i], texts[i]) << "control " << kGroupBox + i;
    }
    EXPECT_EQ(run.view.okText, "OK");
    EXPECT_TRUE(run.view.bannerShown)
        << "banner control at " << run.view.bannerRect.left << "," << run.view.bannerRect.top;
    EXPECT_TRUE(run.view.screenshotWritten) << screenshot;
}

// dialog-en.bmp, dialog-ja.bmp; with the code page named when it is not the
// language's own (Japanese forced on code page 1252, for example).
std::string ScreenshotName(Language language)
{
    const UINT own = language == Language::kJapanese ? 932 : 1252;
    std::string name = std::string("dialog-") + LanguageName(language);
    if (GetACP() != own) {
        name += "-cp" + std::to_string(GetACP());
    }
    return name + ".bmp";
}

bool CommandLineHasLanguageOption()
{
    const std::string line = GetCommandLineA();
    return line.find(" -L") != std::string::npos || line.find(" -l") != std::string::npos ||
           line.find("\t-L") != std::string::npos || line.find("\t-l") != std::string::npos;
}

TEST_F(OptionsDialog, WithoutLanguageOptionTheCodePageChoosesTheTexts)
{
    if (CommandLineHasLanguageOption()) {
        GTEST_SKIP() << "the command line chooses the language";
    }
    const Language language = GetACP() == 932 ? Language::kJapanese : Language::kEnglish;
    ExpectDialogInLanguage(language, ScreenshotName(language));
}

// The child's side: STIPPLEX_DIALOG_PROBE is "<ja|en>|<acp or 0>|<marker file>".
TEST(OptionsDialogLanguageProbe, ShowsTheLanguageItWasToldToExpect)
{
    const char *probe = std::getenv("STIPPLEX_DIALOG_PROBE");
    if (!probe) {
        GTEST_SKIP() << "runs only as a child of the language tests";
    }
    const std::string spec = probe;
    const std::size_t bar1 = spec.find('|');
    const std::size_t bar2 = spec.find('|', bar1 + 1);
    ASSERT_NE(bar2, std::string::npos) << spec;
    const Language language =
        spec.substr(0, bar1) == "ja" ? Language::kJapanese : Language::kEnglish;
    const UINT acp = static_cast<UINT>(std::atoi(spec.substr(bar1 + 1, bar2 - bar1 - 1).c_str()));
    const std::string marker = spec.substr(bar2 + 1);
    if (acp != 0 && GetACP() != acp) {
        std::ofstream(marker, std::ios::binary) << "code page " << GetACP();
        FAIL() << "code page " << GetACP() << ", not " << acp;
    }
    ExpectDialogInLanguage(language, ScreenshotName(language));
    std::ofstream(marker, std::ios::binary) << (HasFailure() ? "failed" : "shown");
}

class EnvironmentVariable {
public:
    EnvironmentVariable(const char *name, const char *value) : name_(name)
    {
        char buffer[4096];
        const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
        had_ = n > 0 && n < sizeof buffer;
        if (had_) {
            old_ = buffer;
        }
        SetEnvironmentVariableA(name, value);
    }
    ~EnvironmentVariable()
    {
        SetEnvironmentVariableA(name_.c_str(), had_ ? old_.c_str() : nullptr);
    }
    EnvironmentVariable(const EnvironmentVariable &) = delete;
    EnvironmentVariable &operator=(const EnvironmentVariable &) = delete;

private:
    std::string name_;
    std::string old_;
    bool had_ = false;
};

bool UnderWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Runs the probe in a child process with these extra arguments under this
// locale and expects it to show the dialog in `language` and pass all its
// checks. Wine takes the code page from the locale of the Unix process, and
// a child started by a Windows process keeps its parent's, so the child is
// started through the Unix side: env LANG=... wine <this program>.
void ExpectChildShows(Language language, const std::string &arguments, const char *locale, UINT acp)
{
    if (!UnderWine()) {
        GTEST_SKIP() << "chooses the child's code page through Wine";
    }
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string marker = std::string(tmp) + "stipplex-dialog-probe.txt";
    DeleteFileA(marker.c_str());

    const std::string probe =
        std::string(LanguageName(language)) + "|" + std::to_string(acp) + "|" + marker;
    EnvironmentVariable probeVar("STIPPLEX_DIALOG_PROBE", probe.c_str());
    const std::string command = std::string("/usr/bin/env LANG=") + locale + " LC_ALL=" + locale +
                                " wine \"" + self +
                                "\" --gtest_filter=OptionsDialogLanguageProbe.* " + arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &pi))
        << GetLastError() << ": " << command;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    // Wine cannot wait for a Unix process: the child's verdict comes as the
    // marker file, "shown" when every check passed.
    std::string verdict;
    WaitFor(
        [&] {
            verdict = FileBytes(marker);
            return !verdict.empty();
        },
        std::chrono::milliseconds(120000));
    EXPECT_EQ(verdict, "shown") << command << " (its output above says why)";
    DeleteFileA(marker.c_str());
}

TEST_F(OptionsDialog, OptionLJpChoosesJapaneseOnAWesternCodePage)
{
    ExpectChildShows(Language::kJapanese, "-L jp", "en_US.UTF-8", 1252);
}

TEST_F(OptionsDialog, OptionLEnChoosesEnglishOnTheJapaneseCodePage)
{
    ExpectChildShows(Language::kEnglish, "-L EN", "ja_JP.UTF-8", 932);
}

TEST_F(OptionsDialog, JapaneseCodePageWithoutOptionChoosesJapanese)
{
    ExpectChildShows(Language::kJapanese, "", "ja_JP.UTF-8", 932);
}

}  // namespace
