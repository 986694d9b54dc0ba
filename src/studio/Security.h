// What keeps the studio's server to its one user: a random token in the
// address it prints, and checks of the Host and Origin headers, so that
// neither another page in the browser nor a name that resolves to this
// machine (DNS rebinding) can drive it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace studio {

// 32 hex digits from the system's random source.
std::string NewToken();

// Compares in time that does not depend on where the texts differ.
bool SameToken(std::string_view given, std::string_view token);

struct RequestHeaders {
    std::optional<std::string> host;
    std::optional<std::string> origin;
    std::optional<std::string> fetchSite;  // Sec-Fetch-Site
    std::optional<std::string> token;      // X-Stipplex-Token header, or the token query
};

// Why the request must be refused (403), or nothing when it may pass: the
// Host must name this server (127.0.0.1 or localhost with its port); an
// Origin, when sent, must be this server's; a browser's Sec-Fetch-Site must
// not say the request comes from another site; and the token must match.
std::optional<std::string> RefusalReason(const RequestHeaders &headers, int port,
                                         std::string_view token);

// A name for a file inside a chosen folder: no folder parts, not "." or
// "..", no control characters, not hidden, at most 200 bytes. Returns the
// reason it is refused, or nothing when it is fine.
std::optional<std::string> BadFileName(std::string_view name);

}  // namespace studio
