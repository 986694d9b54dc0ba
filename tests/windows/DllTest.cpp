// What only the real Windows DLL can show: the property list read back with
// the resource calls, and the language chosen from the real code page (the
// dialog tests run children with other command lines). Its exports and
// imports are checked on the file by scripts/check-aex.sh.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <string>

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

std::string Le32(std::uint32_t v)
{
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

// The property list as its layout describes it, built here independently of
// the resource script.
std::string ExpectedPipl()
{
    std::string pipl = std::string("\x01\x00", 2) + Le32(0) + Le32(12);
    const auto property = [&pipl](const char *key, const std::string &data, std::uint32_t length) {
        // Four-character codes are integers with the first character highest.
        const auto code = [](const char *c) { return std::string{c[3], c[2], c[1], c[0]}; };
        pipl += code("8BIM") + code(key) + Le32(0) + Le32(length) + data;
        pipl.append((4 - data.size() % 4) % 4, '\0');
    };
    const auto counted = [](const std::string &s) {
        return static_cast<char>(s.size()) + s + '\0';
    };
    property("kind", "TKFe", 4);
    property("name", counted("Stipplex"), 12);
    property("catg", counted("Tavro"), 8);
    property("8664", std::string("EntryPointFunc") + '\0', 16);
    property("ePVR", Le32(2), 4);
    property("eSVR", Le32(13), 4);
    property("eVER", Le32(699907), 4);
    property("eINF", std::string(2, '\0'), 2);
    property("eGLO", Le32(0x06000062), 4);
    property("eGL2", Le32(0x00001419), 4);
    property("eMNA", counted("TAVRO HALFTONE"), 16);
    property("aeFL", Le32(0), 4);
    return pipl;
}

std::string ReadPipl(HMODULE module)
{
    HRSRC info = FindResourceExA(module, "PIPL", MAKEINTRESOURCEA(16000),
                                 MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!info) {
        return {};
    }
    const auto *bytes = static_cast<const char *>(LockResource(LoadResource(module, info)));
    return std::string(bytes, SizeofResource(module, info));
}

TEST(WindowsDll, PropertyListHasTheExactLayout)
{
    Module module;
    ASSERT_NE(module.handle, nullptr);
    const std::string pipl = ReadPipl(module.handle);
    ASSERT_EQ(pipl.size(), 286u);
    EXPECT_EQ(pipl, ExpectedPipl());
}

// The test program runs once more with a Japanese locale (see
// tests/CMakeLists.txt), in which Wine reports code page 932. Japanese about
// texts end with the notice line; English ones end after the two line breaks
// (the notice has no English text).
TEST(WindowsLanguage, WithoutOptionTheCodePageDecides)
{
    if (const char *expected = std::getenv("STIPPLEX_EXPECT_ACP")) {
        ASSERT_EQ(GetACP(), static_cast<UINT>(std::atoi(expected)));
    }
    host::Effect effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH));
    const std::string about = effect.about().message;
    effect.shutdown();
    ASSERT_EQ(about.rfind("Stipplex 1.5.5 Release", 0), 0u) << about;
    const bool endsAfterBreaks = about.compare(about.size() - 2, 2, "\r\r") == 0;
    EXPECT_EQ(endsAfterBreaks, GetACP() != 932) << GetACP() << ": " << about;
}

}  // namespace
