#include "Security.h"

#include <cctype>
#include <fstream>
#include <random>

namespace studio {

namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    for (char &c : out) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return out;
}

bool IsOwnAuthority(std::string_view authority, int port)
{
    const std::string a = Lower(authority);
    const std::string p = ":" + std::to_string(port);
    return a == "127.0.0.1" + p || a == "localhost" + p;
}

}  // namespace

std::string NewToken()
{
    unsigned char bytes[16] = {};
    std::ifstream urandom("/dev/urandom", std::ios::binary);
    if (!urandom.read(reinterpret_cast<char *>(bytes), sizeof bytes)) {
        std::random_device device;
        for (unsigned char &b : bytes) {
            b = static_cast<unsigned char>(device());
        }
    }
    static const char kHex[] = "0123456789abcdef";
    std::string token;
    for (const unsigned char b : bytes) {
        token += kHex[b >> 4];
        token += kHex[b & 15];
    }
    return token;
}

bool SameToken(std::string_view given, std::string_view token)
{
    unsigned difference = given.size() == token.size() ? 0u : 1u;
    for (std::size_t i = 0; i < token.size(); ++i) {
        const char g = i < given.size() ? given[i] : '\0';
        difference |= static_cast<unsigned>(static_cast<unsigned char>(g) ^
                                            static_cast<unsigned char>(token[i]));
    }
    return difference == 0 && !token.empty();
}

std::optional<std::string> RefusalReason(const RequestHeaders &h, int port, std::string_view token)
{
    if (!h.host || !IsOwnAuthority(*h.host, port)) {
        return "the Host header '" + h.host.value_or("") +
               "' does not name this studio (127.0.0.1:" + std::to_string(port) + ")";
    }
    if (h.origin) {
        const std::string origin = Lower(*h.origin);
        const std::string prefix = "http://";
        if (origin.compare(0, prefix.size(), prefix) != 0 ||
            !IsOwnAuthority(std::string_view(origin).substr(prefix.size()), port)) {
            return "requests from '" + *h.origin + "' are not accepted: only the studio's own page";
        }
    }
    if (h.fetchSite && *h.fetchSite != "same-origin" && *h.fetchSite != "none") {
        return "requests from other sites (" + *h.fetchSite + ") are not accepted";
    }
    if (!h.token || !SameToken(*h.token, token)) {
        return std::string(h.token ? "wrong" : "missing") +
               " token: open the address that 'stipplex studio' printed";
    }
    return std::nullopt;
}

std::optional<std::string> BadFileName(std::string_view name)
{
    if (name.empty()) {
        return std::string("the file name is empty");
    }
    if (name.size() > 200) {
        return std::string("the file name is longer than 200 bytes");
    }
    for (const char c : name) {
        if (c == '/' || c == '\\') {
            return "'" + std::string(name) +
                   "' names a folder too: give a file name only, the folder is chosen apart";
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            return std::string("the file name holds a control character");
        }
    }
    if (name == "." || name == ".." || name.front() == '.') {
        return "'" + std::string(name) + "' is not a plain file name (it starts with '.')";
    }
    return std::nullopt;
}

}  // namespace studio
