// What only the real Windows DLL can show: its export table, the property
// list read back with the resource calls, and the language chosen from the
// real command line and code page.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/Host.h"

namespace {

struct Module {
    HMODULE handle = LoadLibraryA(STIPPLEX_PLUGIN_PATH);
    ~Module()
    {
        if (handle) {
            FreeLibrary(handle);
        }
    }
};

std::vector<std::string> ExportedNames(HMODULE module)
{
    const auto *base = reinterpret_cast<const unsigned char *>(module);
    const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS64 *>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY &dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::vector<std::string> names;
    if (dir.VirtualAddress == 0) {
        return names;
    }
    const auto *exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + dir.VirtualAddress);
    const auto *nameRvas = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
        names.emplace_back(reinterpret_cast<const char *>(base + nameRvas[i]));
    }
    EXPECT_EQ(exports->NumberOfFunctions, exports->NumberOfNames);
    return names;
}

// The property list as its layout describes it, built here independently of
// the resource script.
class PiplWriter {
public:
    std::vector<unsigned char> bytes;
    void U16(unsigned v)
    {
        bytes.push_back(static_cast<unsigned char>(v));
        bytes.push_back(static_cast<unsigned char>(v >> 8));
    }
    void U32(std::uint32_t v)
    {
        U16(v & 0xFFFF);
        U16(v >> 16);
    }
    // Four-character codes are integers with the first character highest.
    void Code(const char *c)
    {
        U32(static_cast<std::uint32_t>(static_cast<unsigned char>(c[0])) << 24 |
            static_cast<std::uint32_t>(static_cast<unsigned char>(c[1])) << 16 |
            static_cast<std::uint32_t>(static_cast<unsigned char>(c[2])) << 8 |
            static_cast<unsigned char>(c[3]));
    }
    void Property(const char *key, const std::vector<unsigned char> &data, std::uint32_t length)
    {
        Code("8BIM");
        Code(key);
        U32(0);
        U32(length);
        bytes.insert(bytes.end(), data.begin(), data.end());
        while (bytes.size() % 4 != 2) {  // the list starts after a 2-byte marker
            bytes.push_back(0);
        }
    }
    static std::vector<unsigned char> Int(std::uint32_t v)
    {
        return {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    }
    static std::vector<unsigned char> Pascal(const std::string &s)
    {
        std::vector<unsigned char> out{static_cast<unsigned char>(s.size())};
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(0);
        return out;
    }
};

std::vector<unsigned char> ExpectedPipl()
{
    PiplWriter w;
    w.U16(1);
    w.U32(0);
    w.U32(12);
    const std::vector<unsigned char> kind = {'T', 'K', 'F', 'e'};
    w.Property("kind", kind, 4);
    w.Property("name", PiplWriter::Pascal("Stipplex"), 12);
    w.Property("catg", PiplWriter::Pascal("Tavro"), 8);
    const std::string entry = "EntryPointFunc";
    std::vector<unsigned char> cstr(entry.begin(), entry.end());
    cstr.push_back(0);
    w.Property("8664", cstr, 16);
    w.Property("ePVR", PiplWriter::Int(2), 4);
    w.Property("eSVR", PiplWriter::Int(13), 4);
    w.Property("eVER", PiplWriter::Int(699907), 4);
    w.Property("eINF", {0, 0}, 2);
    w.Property("eGLO", PiplWriter::Int(0x06000062), 4);
    w.Property("eGL2", PiplWriter::Int(0x00001419), 4);
    w.Property("eMNA", PiplWriter::Pascal("TAVRO HALFTONE"), 16);
    w.Property("aeFL", PiplWriter::Int(0), 4);
    return w.bytes;
}

std::vector<unsigned char> ReadPipl(HMODULE module)
{
    HRSRC info = FindResourceExA(module, "PIPL", MAKEINTRESOURCEA(16000),
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!info) {
        return {};
    }
    HGLOBAL data = LoadResource(module, info);
    const auto *bytes = static_cast<const unsigned char *>(LockResource(data));
    return std::vector<unsigned char>(bytes, bytes + SizeofResource(module, info));
}

std::uint32_t U32At(const std::vector<unsigned char> &b, std::size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// The value of a property found by walking the list.
std::uint32_t PropertyValue(const std::vector<unsigned char> &pipl, const char *key)
{
    std::size_t at = 10;
    for (std::uint32_t i = 0; i < U32At(pipl, 6) && at + 16 <= pipl.size(); ++i) {
        const std::uint32_t length = U32At(pipl, at + 12);
        if (std::string(pipl.begin() + at + 4, pipl.begin() + at + 8) ==
            std::string{key[3], key[2], key[1], key[0]}) {
            return U32At(pipl, at + 16);
        }
        at += 16 + ((length + 3) & ~3u);
    }
    ADD_FAILURE() << "no property " << key;
    return 0;
}

TEST(WindowsDll, ExportsOnlyTheEntryPoint)
{
    Module module;
    ASSERT_NE(module.handle, nullptr) << GetLastError();
    EXPECT_EQ(ExportedNames(module.handle), std::vector<std::string>{"EntryPointFunc"});
    EXPECT_NE(GetProcAddress(module.handle, "EntryPointFunc"), nullptr);
}

TEST(WindowsDll, PropertyListHasTheExactLayout)
{
    Module module;
    ASSERT_NE(module.handle, nullptr);
    const std::vector<unsigned char> pipl = ReadPipl(module.handle);
    ASSERT_EQ(pipl.size(), 286u);
    EXPECT_EQ(pipl, ExpectedPipl());
}

TEST(WindowsDll, PropertyListAgreesWithGlobalSetup)
{
    std::vector<unsigned char> pipl;
    {
        Module module;
        ASSERT_NE(module.handle, nullptr);
        pipl = ReadPipl(module.handle);
    }
    ASSERT_FALSE(pipl.empty());
    host::Effect effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH));
    ASSERT_TRUE(effect.globalSetup().ok());
    EXPECT_EQ(PropertyValue(pipl, "eVER"), effect.version());
    EXPECT_EQ(PropertyValue(pipl, "eGLO"), static_cast<std::uint32_t>(effect.outFlags()));
    EXPECT_EQ(PropertyValue(pipl, "eGL2"), static_cast<std::uint32_t>(effect.outFlags2()));
    effect.shutdown();
    EXPECT_TRUE(effect.faults().empty());
}

// ---------------------------------------------------------------- language
//
// The language is decided once per process from GetCommandLineA and GetACP,
// so each case runs this test program again as a child process, which writes
// the about text to a file.

TEST(AboutProbe, WritesTheAboutText)
{
    const char *out = std::getenv("STIPPLEX_ABOUT_PROBE");
    if (!out) {
        GTEST_SKIP() << "runs only as a child of the language tests";
    }
    host::Effect effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH));
    const std::string text = effect.about().message;
    effect.shutdown();
    std::ofstream(out, std::ios::binary) << text;
}

std::string AboutTextOfChild(const std::string &arguments)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    char tmp[MAX_PATH];
    GetTempPathA(MAX_PATH, tmp);
    const std::string out = std::string(tmp) + "stipplex-about-probe.txt";
    DeleteFileA(out.c_str());
    SetEnvironmentVariableA("STIPPLEX_ABOUT_PROBE", out.c_str());
    std::string command = std::string("\"") + self + "\" --gtest_filter=AboutProbe.* " + arguments;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &si, &pi);
    SetEnvironmentVariableA("STIPPLEX_ABOUT_PROBE", nullptr);
    if (!started) {
        ADD_FAILURE() << "CreateProcess failed: " << GetLastError();
        return {};
    }
    WaitForSingleObject(pi.hProcess, 120000);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    std::ifstream in(out, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Japanese about texts end with the notice line; English ones end after the
// two line breaks (the notice has no English text).
bool EndsAfterBreaks(const std::string &about)
{
    return about.size() >= 2 && about.compare(about.size() - 2, 2, "\r\r") == 0;
}

TEST(WindowsLanguage, OptionLOnTheRealCommandLineChoosesTheLanguage)
{
    const std::string japanese = AboutTextOfChild("-L jp");
    ASSERT_EQ(japanese.rfind("Stipplex 1.5.5 Release", 0), 0u) << japanese;
    EXPECT_FALSE(EndsAfterBreaks(japanese)) << japanese;

    const std::string english = AboutTextOfChild("-L EN");
    ASSERT_EQ(english.rfind("Stipplex 1.5.5 Release", 0), 0u) << english;
    EXPECT_TRUE(EndsAfterBreaks(english)) << english;
}

// The test program runs once more with a Japanese locale (see
// tests/CMakeLists.txt), in which Wine reports code page 932.
TEST(WindowsLanguage, WithoutOptionTheCodePageDecides)
{
    if (const char *expected = std::getenv("STIPPLEX_EXPECT_ACP")) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
    }
    host::Effect effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH));
    const std::string about = effect.about().message;
    effect.shutdown();
    ASSERT_EQ(about.rfind("Stipplex 1.5.5 Release", 0), 0u) << about;
    EXPECT_EQ(EndsAfterBreaks(about), GetACP() != 932) << GetACP();
}

}  // namespace
