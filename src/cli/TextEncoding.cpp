#include "TextEncoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace cli {

namespace {

class Converter {
public:
    explicit Converter(const char *from) : cd_(iconv_open("UTF-8", from)) {}
    ~Converter()
    {
        if (ok()) {
            iconv_close(cd_);
        }
    }
    Converter(const Converter &) = delete;
    Converter &operator=(const Converter &) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

bool IsAscii(std::string_view bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string Escaped(std::string_view bytes)
{
    std::string out;
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            out += c;
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", u);
            out += buf;
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> ConvertToUtf8(std::string_view bytes, const char *encoding)
{
    if (IsAscii(bytes)) {
        return std::string(bytes);
    }
    Converter converter(encoding);
    if (!converter.ok()) {
        return std::nullopt;
    }
    std::vector<char> in(bytes.begin(), bytes.end());
    // Every GBK or Shift-JIS character of one or two bytes takes at most
    // three bytes in UTF-8.
    std::vector<char> out(bytes.size() * 3 + 4);
    char *inPtr = in.data();
    std::size_t inLeft = in.size();
    char *outPtr = out.data();
    std::size_t outLeft = out.size();
    if (iconv(converter.get(), &inPtr, &inLeft, &outPtr, &outLeft) ==
        static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    // Flush any shift state; both encodings are stateless, but be tidy.
    if (iconv(converter.get(), nullptr, nullptr, &outPtr, &outLeft) ==
        static_cast<std::size_t>(-1)) {
        return std::nullopt;
    }
    return std::string(out.data(), static_cast<std::size_t>(outPtr - out.data()));
}

std::string GbkToUtf8(std::string_view bytes)
{
    if (auto text = ConvertToUtf8(bytes, "GBK")) {
        return *text;
    }
    return Escaped(bytes);
}

std::string LegacyTextToUtf8(std::string_view bytes)
{
    for (const char *encoding : {"CP932", "GBK"}) {
        if (auto text = ConvertToUtf8(bytes, encoding)) {
            return *text;
        }
    }
    return Escaped(bytes);
}

}  // namespace cli
