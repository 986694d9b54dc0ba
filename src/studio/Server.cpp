#include "Server.h"

#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <nlohmann/json.hpp>

#include "Document.h"
#include "Export.h"
#include "Preview.h"
#include "Security.h"
#include "cli/Errors.h"
#include "cli/FramePattern.h"
#include "cli/ImageIO.h"
#include "cli/WorldBridge.h"

namespace studio {

struct EmbeddedFile {
    const char *name;
    const unsigned char *data;
    std::size_t size;
};
const EmbeddedFile *EmbeddedFiles();  // generated from web/

namespace {

using Json = nlohmann::json;

// A request that is malformed: 400 with this message.
class BadRequest : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A request too large for its kind: 413.
class TooLarge : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How long a request for the next preview frame waits at most.
constexpr int kMaxFrameWaitMs = 10000;

void SendError(httplib::Response &res, int status, const std::string &message)
{
    res.status = status;
    res.set_content(Json{{"error", message}}.dump(), "application/json");
}

// Sent as it is: the library would compress a plain JSON body with Brotli
// at its highest quality for a browser that accepts it, which costs an edit's
// answer over 10 ms for nothing on the loopback. It leaves a body of known
// length from a provider as it is.
void SendJson(httplib::Response &res, const Json &body)
{
    res.status = 200;
    auto text = std::make_shared<const std::string>(body.dump());
    const std::size_t size = text->size();
    res.set_content_provider(
        size, "application/json",
        [text = std::move(text)](std::size_t offset, std::size_t length, httplib::DataSink &sink) {
            return sink.write(text->data() + offset, length);
        });
}

// Runs a handler and turns what it throws into an answer with a message.
template <typename F>
void Guard(httplib::Response &res, F &&handler)
{
    try {
        handler();
    } catch (const BadRequest &e) {
        SendError(res, 400, e.what());
    } catch (const TooLarge &e) {
        SendError(res, 413, e.what());
    } catch (const cli::UsageError &e) {
        SendError(res, 400, e.what());
    } catch (const cli::Failure &e) {
        SendError(res, 422, e.what());
    } catch (const Json::exception &e) {
        SendError(res, 400, std::string("malformed request: ") + e.what());
    } catch (const std::bad_alloc &) {
        SendError(res, 507, "out of memory");
    } catch (const std::exception &e) {
        SendError(res, 500, e.what());
    }
}

Json ParseBody(const httplib::Request &req, std::size_t limit)
{
    if (req.body.size() > limit) {
        throw TooLarge("the request has " + std::to_string(req.body.size()) +
                       " bytes; the studio takes up to " + std::to_string(limit) +
                       " in a JSON request");
    }
    try {
        Json body = Json::parse(req.body.empty() ? std::string("{}") : req.body);
        if (!body.is_object()) {
            throw BadRequest("malformed JSON: the request must be an object");
        }
        return body;
    } catch (const Json::parse_error &e) {
        throw BadRequest(std::string("malformed JSON: ") + e.what());
    }
}

std::string StringField(const Json &body, const char *name)
{
    const auto it = body.find(name);
    if (it == body.end() || !it->is_string()) {
        throw BadRequest(std::string("'") + name + "' is missing or not a string");
    }
    return it->get<std::string>();
}

bool BoolField(const Json &body, const char *name, bool fallback)
{
    const auto it = body.find(name);
    if (it == body.end()) {
        return fallback;
    }
    if (!it->is_boolean()) {
        throw BadRequest(std::string("'") + name + "' must be true or false");
    }
    return it->get<bool>();
}

long IntegerField(const Json &body, const char *name, long fallback, long min, long max)
{
    const auto it = body.find(name);
    if (it == body.end()) {
        return fallback;
    }
    if (!it->is_number_integer()) {
        throw BadRequest(std::string("'") + name + "' must be an integer");
    }
    const long value = it->get<long>();
    if (value < min || value > max) {
        throw BadRequest(std::string("'") + name + "' must be " + std::to_string(min) + " to " +
                         std::to_string(max));
    }
    return value;
}

long IntegerParam(const httplib::Request &req, const char *name, long fallback)
{
    if (!req.has_param(name)) {
        return fallback;
    }
    const std::string text = req.get_param_value(name);
    try {
        std::size_t used = 0;
        const long value = std::stol(text, &used);
        if (used == text.size()) {
            return value;
        }
    } catch (const std::exception &) {
    }
    throw BadRequest(std::string("'") + name + "' must be an integer, not '" + text + "'");
}

std::string ContentType(const std::string &name)
{
    const std::string ext = name.substr(name.find_last_of('.') + 1);
    if (ext == "html") {
        return "text/html; charset=utf-8";
    }
    if (ext == "css") {
        return "text/css; charset=utf-8";
    }
    if (ext == "js") {
        return "text/javascript; charset=utf-8";
    }
    if (ext == "svg") {
        return "image/svg+xml";
    }
    return "application/octet-stream";
}

std::string FolderOf(const std::string &path)
{
    char buf[4096];
    std::string absolute = path;
    if (path.empty() || path[0] != '/') {
        absolute = std::string(::getcwd(buf, sizeof buf) ? buf : ".") + "/" + path;
    }
    return absolute.substr(0, absolute.find_last_of('/'));
}

// A file name for an upload: the user's name with anything but letters,
// digits, '.', '-' and '_' replaced.
std::string SafeUploadName(const std::string &name)
{
    std::string safe;
    for (const char c : name.substr(name.find_last_of("/\\") + 1)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
        safe += plain ? c : '_';
    }
    while (!safe.empty() && safe.front() == '.') {
        safe.erase(safe.begin());
    }
    return safe.empty() ? "upload" : safe.substr(0, 120);
}

}  // namespace

struct Server::Impl {
    Impl(cli::Session &s, std::string folder, ServerLimits l)
        : session(s), workFolder(std::move(folder)), limits(l), preview(s), exporter(s)
    {
    }

    cli::Session &session;
    std::string workFolder;
    ServerLimits limits;
    std::string token = NewToken();
    int port = 0;
    httplib::Server http;
    Preview preview;
    Exporter exporter;

    std::mutex mutex;  // everything below
    std::unique_ptr<Document> doc;
    long frame = 0;
    int fps = 30;
    std::string exportFolder;
    int uploads = 0;

    void Routes();
    bool Allowed(const httplib::Request &req, httplib::Response &res);
    Json StateJson();
    std::uint64_t SubmitPreview(bool interactive, double pageMs = 0);
    Json Changed(bool interactive, double pageMs = 0)
    {
        Json state = StateJson();
        state["generation"] = SubmitPreview(interactive, pageMs);
        return state;
    }
    std::string SaveUpload(const std::string &name, const std::string &body);
    Document &Doc()
    {
        if (!doc) {
            throw cli::UsageError("open an image first");
        }
        return *doc;
    }
};

Json Server::Impl::StateJson()
{
    Json state;
    if (doc) {
        state = doc->State();
        const InputSource &input = *doc->Input();
        state["input"] = {
            {"name", input.DisplayName()},    {"width", input.Width()},
            {"height", input.Height()},       {"depth", cli::DepthName(input.GetDepth())},
            {"sequence", input.IsSequence()}, {"clip", input.IsClip()},
            {"first", input.First()},         {"last", input.Last()}};
        state["command"] = doc->CommandLine(frame, fps);
    } else {
        state["input"] = nullptr;
    }
    state["frame"] = frame;
    state["fps"] = fps;
    if (doc && doc->Input()->IsClip()) {  // plays at its own rate
        const cli::FrameTime t = doc->Input()->TimeAt(frame, fps);
        state["fps"] = std::max(1, (t.fps + t.step / 2) / t.step);
    }
    return state;
}

std::uint64_t Server::Impl::SubmitPreview(bool interactive, double pageMs)
{
    if (!doc) {
        return 0;
    }
    PreviewRequest request;
    request.values = doc->Snapshot();
    request.input = doc->Input();
    for (const LayerFile &f : doc->LayerFiles()) {
        request.layerPaths[f.id] = f.path;
    }
    request.frame = frame;
    request.fps = fps;
    request.interactive = interactive;
    request.pageMs = pageMs;
    return preview.Submit(std::move(request));
}

std::string Server::Impl::SaveUpload(const std::string &name, const std::string &body)
{
    const std::string path =
        workFolder + "/" + std::to_string(++uploads) + "-" + SafeUploadName(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(body.data(), static_cast<std::streamsize>(body.size()));
    out.close();
    if (!out) {
        throw cli::Failure("cannot keep the upload '" + name + "' in " + workFolder);
    }
    return path;
}

bool Server::Impl::Allowed(const httplib::Request &req, httplib::Response &res)
{
    RequestHeaders h;
    if (req.has_header("Host")) {
        h.host = req.get_header_value("Host");
    }
    if (req.has_header("Origin")) {
        h.origin = req.get_header_value("Origin");
    }
    if (req.has_header("Sec-Fetch-Site")) {
        h.fetchSite = req.get_header_value("Sec-Fetch-Site");
    }
    if (req.has_header("X-Stipplex-Token")) {
        h.token = req.get_header_value("X-Stipplex-Token");
    } else if (req.has_param("token")) {
        h.token = req.get_param_value("token");
    }
    if (const auto reason = RefusalReason(h, port, token)) {
        SendError(res, 403, *reason);
        return false;
    }
    return true;
}

void Server::Impl::Routes()
{
    http.set_pre_routing_handler([this](const httplib::Request &req, httplib::Response &res) {
        return Allowed(req, res) ? httplib::Server::HandlerResponse::Unhandled
                                 : httplib::Server::HandlerResponse::Handled;
    });
    http.set_error_handler([this](const httplib::Request &, httplib::Response &res) {
        if (!res.body.empty()) {
            return;
        }
        if (res.status == 413) {
            SendError(res, 413,
                      "the request is larger than the studio takes (" +
                          (limits.maxUploadBytes >= (1u << 20)
                               ? std::to_string(limits.maxUploadBytes >> 20) + " MB)"
                               : std::to_string(limits.maxUploadBytes >> 10) + " KB)"));
        } else if (res.status == 404) {
            SendError(res, 404, "nothing here");
        } else {
            SendError(res, res.status, "the request could not be served");
        }
    });
    http.set_exception_handler(
        [](const httplib::Request &, httplib::Response &res, std::exception_ptr) {
            SendError(res, 500, "the studio failed to answer this request");
        });
    http.set_default_headers(
        {{"Cache-Control", "no-store"},
         {"X-Content-Type-Options", "nosniff"},
         {"Referrer-Policy", "no-referrer"},
         {"X-Frame-Options", "DENY"},
         {"Content-Security-Policy",
          "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data: blob:; "
          "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'"}});

    // The page and its files, from the program itself.
    http.Get(
        R"(/([a-z0-9\-]*\.?[a-z]*))", [this](const httplib::Request &req, httplib::Response &res) {
            const std::string name =
                req.matches[1].str().empty() ? std::string("index.html") : req.matches[1].str();
            for (const EmbeddedFile *f = EmbeddedFiles(); f->name != nullptr; ++f) {
                if (name == f->name) {
                    std::string content(reinterpret_cast<const char *>(f->data), f->size);
                    if (name == "index.html") {
                        const std::string mark = "{{TOKEN}}";
                        for (std::size_t at = content.find(mark); at != std::string::npos;
                             at = content.find(mark, at)) {
                            content.replace(at, mark.size(), token);
                        }
                    }
                    res.set_content(content, ContentType(name));
                    return;
                }
            }
            SendError(res, 404, "no file '" + name + "' here");
        });

    http.Get("/api/session", [this](const httplib::Request &, httplib::Response &res) {
        Guard(res, [&] {
            std::lock_guard<std::mutex> lock(mutex);
            Json body;
            body["definitions"] = Document::Definitions(session);
            body["state"] = StateJson();
            body["exportFolder"] = exportFolder;
            body["limits"] = {{"maxUploadBytes", limits.maxUploadBytes},
                              {"maxSide", limits.image.maxSide},
                              {"maxPixels", limits.image.maxPixels}};
            body["generation"] = SubmitPreview(false);
            SendJson(res, body);
        });
    });

    http.Post("/api/edit", [this](const httplib::Request &req, httplib::Response &res) {
        Guard(res, [&] {
            const Json body = ParseBody(req, limits.maxJsonBytes);
            const std::string identifier = StringField(body, "identifier");
            const std::string value = StringField(body, "value");
            const bool gesture = BoolField(body, "gesture", false);
            // The page's share of its last draft's time, in milliseconds.
            const long pageMs = IntegerField(body, "pageMs", 0, 0, 60000);
            std::lock_guard<std::mutex> lock(mutex);
            Doc().Edit(identifier, value, gesture);
            SendJson(res, Changed(gesture, static_cast<double>(pageMs)));
        });
    });

    http.Post("/api/reset", [this](const httplib::Request &req, httplib::Response &res) {
        Guard(res, [&] {
            const Json body = ParseBody(req, limits.maxJsonBytes);
            std::lock_guard<std::mutex> lock(mutex);
            if (body.contains("identifier")) {
                Doc().Reset(StringField(body, "identifier"));
            } else {
                Doc().ResetAll();
            }
            SendJson(res, Changed(false));
        });
    });

    http.Post(R"(/api/(undo|redo))", [this](const httplib::Request &req, httplib::Response &res) {
        Guard(res, [&] {
            ParseBody(req, limits.maxJsonBytes);
            std::lock_guard<std::mutex> lock(mutex);
            if (req.matches[1] == "undo") {
                Doc().Undo();
            } else {
                Doc().Redo();
            }
            SendJson(res, Changed(false));
        });
    });

    http.Post("/api/time", [this](const httplib::Request &req, httplib::Response &res) {
        Guard(res, [&] {
            const Json body = ParseBody(req, limits.maxJsonBytes);
            std::lock_guard<std::mutex> lock(mutex);
            frame = IntegerField(body, "frame", frame, 0, 100000000);
            fps = static_cast<int>(IntegerField(body, "fps", fps, 1, 1000));
            SendJson(res, Changed(BoolField(body, "interactive", false)));
        });
    });

    http.Get("/api/preset", [this](const httplib::Request &, httplib::Response &res) {
        Guard(res, [&] {
            std::lock_guard<std::mutex> lock(mutex);
            res.set_content("# Stipplex look, saved by stipplex studio\n" + Doc().PresetText(),
                            "text/plain; charset=utf-8");
        });
    });

    http.Get("/api/frame", [this](const httplib::Request &req, httplib::Response &res) {
        Guard(res, [&] {
            const long after = IntegerParam(req, "after", 0);
            const long wait = std::clamp(IntegerParam(req, "wait", kMaxFrameWaitMs), 0L,
                                         static_cast<long>(kMaxFrameWaitMs));
            const auto ready = preview.WaitFrame(static_cast<std::uint64_t>(std::max(0L, after)),
                                                 std::chrono::milliseconds(wait));
            if (!ready) {
                res.status = 204;
                return;
            }
            const PreviewFrame &f = **ready;
            res.set_header("X-Generation", std::to_string(f.generation));
            if (!f.error.empty()) {
                SendError(res, 422, f.error);
                return;
            }
            res.set_header("X-Width", std::to_string(f.width));
            res.set_header("X-Height", std::to_string(f.height));
            res.set_header("X-Downsample", std::to_string(f.downsample));
            res.set_header("X-Frame", std::to_string(f.frame));
            res.set_header("X-Render-Ms", std::to_string(f.milliseconds));
            res.set_content(reinterpret_cast<const char *>(f.rgba.data()), f.rgba.size(),
                            "application/octet-stream");
        });
    });

    http.Get("/api/input", [this](const httplib::Request &req, httplib::Response &res) {
        Guard(res, [&] {
            std::shared_ptr<InputSource> input;
            {
                std::lock_guard<std::mutex> lock(mutex);
                input = Doc().Input();
            }
            const auto world = input->Frame(IntegerParam(req, "frame", input->First()));
            const std::vector<unsigned char> rgba = ToRgba8(cli::FromWorld(*world));
            res.set_header("X-Width", std::to_string(world->width()));
            res.set_header("X-Height", std::to_string(world->height()));
            res.set_content(reinterpret_cast<const char *>(rgba.data()), rgba.size(),
                            "application/octet-stream");
        });
    });

    http.Post("/api/upload", [this](const httplib::Request &req, httplib::Response &res) {
        Guard(res, [&] {
            const std::string kind = req.get_param_value("kind");
            const std::string name = req.get_param_value("name");
            if (name.empty()) {
                throw BadRequest("the upload has no 'name'");
            }
            if (req.body.empty()) {
                throw cli::Failure("'" + name + "' is empty");
            }
            if (kind == "preset") {
                if (req.body.size() > limits.maxJsonBytes) {
                    throw TooLarge("'" + name + "' is too large for a preset");
                }
                std::lock_guard<std::mutex> lock(mutex);
                const std::vector<std::string> warnings = Doc().LoadPreset(req.body, name);
                Json state = Changed(false);
                state["warnings"] = warnings;
                SendJson(res, state);
                return;
            }
            if (kind != "input" && kind != "layer") {
                throw BadRequest("'kind' must be input, layer or preset");
            }
            const std::string path = SaveUpload(name, req.body);
            try {
                // The file is checked and read before anything changes.
                if (kind == "input") {
                    auto input = std::make_shared<InputSource>(path, name, limits.image);
                    std::lock_guard<std::mutex> lock(mutex);
                    if (doc) {
                        doc->SetInput(std::move(input));
                    } else {
                        doc = std::make_unique<Document>(session, std::move(input));
                    }
                    frame = 0;
                    SendJson(res, Changed(false));
                } else {
                    CheckImageLimits(path, limits.image);
                    const cli::Image image = cli::ReadImage(path);
                    std::lock_guard<std::mutex> lock(mutex);
                    const LayerFile &f = Doc().AddLayerFile(SafeUploadName(name), path,
                                                            image.Width(), image.Height());
                    Json state = StateJson();
                    state["layer"] = f.name;
                    SendJson(res, state);
                }
            } catch (const cli::Failure &e) {
                std::remove(path.c_str());
                // The reader names our private copy: name the user's file.
                std::string message = e.what();
                for (std::size_t at = message.find(path); at != std::string::npos;
                     at = message.find(path, at)) {
                    message.replace(at, path.size(), name);
                }
                throw cli::Failure(message);
            } catch (...) {
                std::remove(path.c_str());
                throw;
            }
        });
    });

    http.Post("/api/export", [this](const httplib::Request &req, httplib::Response &res) {
        Guard(res, [&] {
            const Json body = ParseBody(req, limits.maxJsonBytes);
            ExportJob job;
            job.folder = StringField(body, "folder");
            job.name = StringField(body, "name");
            const std::string range = StringField(body, "range");
            if (range != "frame" && range != "all") {
                throw BadRequest("'range' must be frame or all");
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                const InputSource &input = *Doc().Input();
                job.input = input.Path();
                job.presetText = Doc().PresetText();
                for (const LayerFile &f : Doc().LayerFiles()) {
                    if (job.presetText.find("=" + f.name + "\n") != std::string::npos) {
                        job.layerFiles.emplace_back(f.name, f.path);
                    }
                }
                job.sequence = input.IsSequence();
                job.first = range == "all" ? input.First() : frame;
                job.last = range == "all" ? input.Last() : frame;
                job.fps = fps;
            }
            exporter.Start(job);
            {
                std::lock_guard<std::mutex> lock(mutex);
                exportFolder = job.folder;
            }
            SendJson(res, exporter.Status());
        });
    });
    http.Get("/api/export", [this](const httplib::Request &, httplib::Response &res) {
        Guard(res, [&] { SendJson(res, exporter.Status()); });
    });
    http.Post("/api/export/cancel", [this](const httplib::Request &, httplib::Response &res) {
        Guard(res, [&] {
            exporter.Cancel();
            SendJson(res, exporter.Status());
        });
    });
}

Server::Server(cli::Session &session, const std::string &input, std::string workFolder,
               ServerLimits limits)
    : impl_(std::make_unique<Impl>(session, std::move(workFolder), limits))
{
    impl_->exportFolder = FolderOf(input.empty() ? std::string("x") : input);
    if (!input.empty()) {
        auto source = std::make_shared<InputSource>(input, input, limits.image);
        impl_->doc = std::make_unique<Document>(session, std::move(source));
        impl_->frame = impl_->doc->Input()->First();
    }
    // Without SO_REUSEPORT, which the library would set: no other program
    // may take connections on the studio's port beside it.
    impl_->http.set_socket_options([](socket_t sock) {
        int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    impl_->http.set_payload_max_length(limits.maxUploadBytes);
    impl_->http.set_keep_alive_timeout(2);
    impl_->http.set_keep_alive_max_count(1000);
    impl_->http.set_read_timeout(10);
    impl_->http.new_task_queue = [] { return new httplib::ThreadPool(16); };
    impl_->Routes();
}

Server::~Server()
{
    Stop();
}

int Server::Bind(int port)
{
    if (port == 0) {
        impl_->port = impl_->http.bind_to_any_port("127.0.0.1");
    } else if (impl_->http.bind_to_port("127.0.0.1", port)) {
        impl_->port = port;
    } else {
        impl_->port = -1;
    }
    if (impl_->port <= 0) {
        throw cli::Failure("cannot listen on 127.0.0.1" +
                           (port ? ":" + std::to_string(port) + " (is it taken?)" : std::string()));
    }
    return impl_->port;
}

void Server::Serve()
{
    impl_->http.listen_after_bind();
}

void Server::Stop()
{
    // Requests waiting for a frame end now, so the server stops at once.
    impl_->preview.Shutdown();
    if (impl_->http.is_running()) {
        impl_->http.stop();
    }
    impl_->exporter.Cancel();
}

const std::string &Server::Token() const
{
    return impl_->token;
}

std::string Server::Address() const
{
    return "http://127.0.0.1:" + std::to_string(impl_->port) + "/?token=" + impl_->token;
}

}  // namespace studio
