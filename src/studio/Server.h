// The studio's HTTP server on 127.0.0.1: the page (compiled into the
// program) and a small JSON interface to the document, the preview and the
// export. Every request must carry the token and come from the studio's own
// page (Security.h); bodies and images have size limits; a malformed
// request gets a 4xx answer with a message.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "Input.h"
#include "cli/Session.h"

namespace studio {

struct ServerLimits {
    std::size_t maxJsonBytes = 1 << 20;         // requests other than uploads
    std::size_t maxUploadBytes = 512ull << 20;  // an image or a preset
    ImageLimits image;
};

class Server {
public:
    // `input` may be empty: the page then asks for an image. `workFolder`
    // keeps uploads (the caller removes it). Throws cli::Failure or
    // cli::UsageError when the input cannot be opened.
    Server(cli::Session &session, const std::string &input, std::string workFolder,
           ServerLimits limits = {});
    ~Server();
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Binds 127.0.0.1:port (0: any free port); returns the port. Throws
    // cli::Failure when the port cannot be had.
    int Bind(int port);
    // Serves until Stop(); call from one thread.
    void Serve();
    void Stop();

    const std::string &Token() const;
    std::string Address() const;  // http://127.0.0.1:PORT/?token=...

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace studio
