// The studio's server against the real plug-in, over HTTP on 127.0.0.1:
// what it refuses and how, and that the look it edits is the effect's.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli/Preset.h"
#include "cli/Session.h"
#include "cli/WorldBridge.h"
#include "studio/Document.h"
#include "studio/Preview.h"
#include "studio/Server.h"

namespace {

using ::testing::HasSubstr;

namespace fs = std::filesystem;
using Json = nlohmann::json;

std::string ReadFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// One studio on the demo picture for all tests, with small limits so that
// oversized requests stay small.
class StudioServer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        root_ = fs::temp_directory_path() / ("stipplex-studio-test-" + std::to_string(::getpid()));
        for (const char *sub : {"config", "uploads", "exports"})
            fs::create_directories(root_ / sub);
        // Stored defaults of this user must not leak into the test.
        ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
        session_ = new cli::Session(STIPPLEX_PLUGIN_PATH);
        studio::ServerLimits limits;
        limits.maxJsonBytes = 4096;
        limits.maxUploadBytes = 64 * 1024;
        limits.image.maxSide = 4000;
        server_ = new studio::Server(*session_, STIPPLEX_SOURCE_DIR "/assets/demo-input.png",
                                     (root_ / "uploads").string(), limits);
        port_ = server_->Bind(0);
        thread_ = new std::thread([] { server_->Serve(); });
    }
    static void TearDownTestSuite()
    {
        server_->Stop();
        thread_->join();
        delete thread_;
        delete server_;
        session_->Shutdown();
        delete session_;
        fs::remove_all(root_);
    }

    static httplib::Headers Own(httplib::Headers extra = {})
    {
        extra.emplace("X-Stipplex-Token", server_->Token());
        return extra;
    }
    static httplib::Client Client()
    {
        httplib::Client client("127.0.0.1", port_);
        client.set_read_timeout(30);
        return client;
    }
    static Json Body(const httplib::Result &r) { return Json::parse(r->body); }
    // A POST of JSON with the token, which must succeed; its answer.
    static Json Post(const std::string &path, const std::string &body = "{}")
    {
        const httplib::Result r = Client().Post(path, Own(), body, "application/json");
        EXPECT_TRUE(r && r->status == 200) << path << ": " << (r ? r->body : "no answer");
        return r ? Json::parse(r->body, nullptr, false) : Json();
    }
    static std::shared_ptr<studio::InputSource> DemoInput()
    {
        return std::make_shared<studio::InputSource>(STIPPLEX_SOURCE_DIR "/assets/demo-input.png",
                                                     "demo", studio::ImageLimits{});
    }

    static inline fs::path root_;
    static inline cli::Session *session_ = nullptr;
    static inline studio::Server *server_ = nullptr;
    static inline std::thread *thread_ = nullptr;
    static inline int port_ = 0;
};

TEST_F(StudioServer, RefusesWhatDoesNotComeFromItsOwnPageWithAReason)
{
    // A request with a body is a POST, one without a GET.
    struct Case {
        const char *what;
        std::string path;
        httplib::Headers headers;
        std::string body;
        int status;
        std::string message;
    };
    const std::string token = server_->Token(), port = std::to_string(port_);
    const httplib::Headers none, wrong{{"X-Stipplex-Token", token + "0"}};
    const auto exportTo = [](const fs::path &folder, const char *name) {
        return Json{{"folder", folder.string()}, {"name", name}, {"range", "frame"}}.dump();
    };
    const Case cases[] = {
        {"no token", "/api/session", none, "", 403, "missing token"},
        {"wrong token", "/api/session", wrong, "", 403, "wrong token"},
        {"wrong token in the address", "/?token=" + std::string(32, 'a'), none, "", 403,
         "wrong token"},
        {"foreign origin", "/api/undo", Own({{"Origin", "http://evil.example"}}), "{}", 403,
         "not accepted"},
        {"origin on another port", "/api/undo",
         Own({{"Origin", "http://127.0.0.1:" + std::to_string(port_ + 1)}}), "{}", 403,
         "not accepted"},
        {"cross-site fetch", "/api/undo", Own({{"Sec-Fetch-Site", "cross-site"}}), "{}", 403,
         "other sites"},
        {"rebound host name", "/api/session", Own({{"Host", "evil.example:" + port}}), "", 403,
         "Host header"},
        {"malformed JSON", "/api/edit", Own(), "{\"identifier\": ", 400, "malformed JSON"},
        {"JSON that is no object", "/api/edit", Own(), "[1, 2]", 400, "must be an object"},
        {"missing field", "/api/edit", Own(), "{\"identifier\": \"DotSize\"}", 400,
         "'value' is missing"},
        {"unknown parameter", "/api/edit", Own(), "{\"identifier\": \"DotSiz\", \"value\": \"3\"}",
         400, "DotSize"},
        {"value out of range", "/api/edit", Own(),
         "{\"identifier\": \"DotSize\", \"value\": \"3000\"}", 400, "valid 0 to 1000"},
        {"oversized JSON", "/api/edit", Own(), "{\"a\": \"" + std::string(8000, ' ') + "\"}", 413,
         "4096"},
        {"oversized upload", "/api/upload?kind=input&name=x.png", Own(),
         std::string(70 * 1024, 'x'), 413, "larger than the studio takes"},
        {"broken image", "/api/upload?kind=input&name=broken.png", Own(),
         "\x89PNG\r\n\x1a\nnot a png", 422, "broken.png"},
        {"image above the size limit", "/api/upload?kind=layer&name=wide.png", Own(),
         std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\1\x86\xa0\0\0\0\x0a", 24), 422,
         "100000 x 10"},
        {"unknown upload kind", "/api/upload?kind=script&name=a", Own(), "x", 400, "'kind'"},
        {"path traversal in a page file", "/..%2f..%2fetc%2fpasswd?token=" + token, none, "", 404,
         ""},
        {"path traversal in an export name", "/api/export", Own(),
         exportTo(root_ / "exports", "../evil.png"), 400, "file name only"},
        {"export into a missing folder", "/api/export", Own(), exportTo(root_ / "none", "a.png"),
         400, "does not exist"},
        {"export to another format", "/api/export", Own(), exportTo(root_ / "exports", "a.sh"), 400,
         ".png or .exr"},
        {"frame number not a number", "/api/frame?after=x&wait=0", Own(), "", 400,
         "'after' must be an integer"},
    };
    httplib::Client client = Client();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const httplib::Result r = c.body.empty()
                                      ? client.Get(c.path, c.headers)
                                      : client.Post(c.path, c.headers, c.body, "application/json");
        ASSERT_TRUE(r) << httplib::to_string(r.error());
        EXPECT_EQ(r->status, c.status) << r->body;
        EXPECT_THAT(Body(r).value("error", ""), HasSubstr(c.message)) << r->body;
    }
    // Nothing of it wedged the server or wrote outside the chosen folder.
    const httplib::Result alive = client.Get("/api/session", Own());
    ASSERT_TRUE(alive);
    EXPECT_EQ(alive->status, 200);
    EXPECT_EQ(Body(alive)["state"]["input"]["width"], 960);
    EXPECT_FALSE(fs::exists(root_ / "evil.png"));
    EXPECT_TRUE(fs::is_empty(root_ / "exports"));
}

TEST_F(StudioServer, EditsGoThroughTheEffectsOwnRulesAndUndoAsOneStep)
{
    httplib::Client client = Client();
    const auto edit = [&](const std::string &id, const std::string &value, bool gesture) {
        return Post("/api/edit",
                    Json{{"identifier", id}, {"value", value}, {"gesture", gesture}}.dump());
    };
    // The spacing type is supervised: the effect converts the spacings.
    Json state = edit("SpacingType", "2", false);
    EXPECT_EQ(state["values"]["DotSpacingX"], "30");
    EXPECT_EQ(state["values"]["DotSpacingY"], "30");
    // A drag is one step, however many changes it makes.
    edit("DotSize", "12", true);
    edit("DotSize", "14.5", true);
    state = edit("DotSize", "16", false);
    EXPECT_EQ(state["preset"], "DotSize=16\nSpacingType=2\nDotSpacingX=30\nDotSpacingY=30\n");
    // The effect's rules decide what is disabled.
    EXPECT_NE(std::find(state["disabled"].begin(), state["disabled"].end(), "MaskLayer"),
              state["disabled"].end());
    state = Post("/api/undo");
    EXPECT_EQ(state["values"]["DotSize"], "10");
    EXPECT_EQ(state["values"]["DotSpacingX"], "30");
    state = Post("/api/undo");
    EXPECT_EQ(state["values"]["DotSpacingX"], "20");
    EXPECT_EQ(state["preset"], "");
    // The look came back with a fresh record of the spacing type, so a
    // switch converts again.
    state = edit("SpacingType", "2", false);
    EXPECT_EQ(state["values"]["DotSpacingX"], "30");

    // The preview renders what was asked last.
    const std::uint64_t generation = state["generation"];
    const httplib::Result frame =
        client.Get("/api/frame?after=" + std::to_string(generation - 1), Own());
    ASSERT_TRUE(frame);
    ASSERT_EQ(frame->status, 200) << frame->body;
    EXPECT_EQ(frame->get_header_value("X-Generation"), std::to_string(generation));
    EXPECT_EQ(frame->body.size(), 960u * 540u * 4u);

    // A preset comes back as the same look; layers it names by file but
    // nobody opened stay at their defaults, with a warning.
    const std::string preset = "DotShape=5\nCustomMapLayer2=map.png\nDotColor=10,20,30\n";
    state =
        Body(client.Post("/api/upload?kind=preset&name=look.preset", Own(), preset, "text/plain"));
    EXPECT_EQ(state["preset"], "DotShape=5\nDotColor=#0a141e\n");
    ASSERT_EQ(state["warnings"].size(), 1u);
    EXPECT_THAT(state["warnings"][0].get<std::string>(), HasSubstr("look.preset:2"));
    Post("/api/reset");
}

TEST_F(StudioServer, ExportWritesTheLookAndTheFrameIntoTheChosenFolder)
{
    httplib::Client client = Client();
    Post("/api/edit", R"({"identifier": "DotShape", "value": "5"})");
    const fs::path folder = root_ / "exports";
    Post("/api/export",
         Json{{"folder", folder.string()}, {"name", "star.png"}, {"range", "frame"}}.dump());
    Json status;
    for (int i = 0;
         i < 600 && (status = Body(client.Get("/api/export", Own())))["running"].get<bool>(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(status["error"], "");
    ASSERT_EQ(status["files"].size(), 1u);
    EXPECT_EQ(ReadFile(folder / "star.preset"),
              "# Stipplex look, saved by stipplex studio\nDotShape=5\n");
    EXPECT_GT(fs::file_size(folder / "star.png"), 0u);
    Post("/api/reset");
    fs::remove_all(folder), fs::create_directory(folder);
}

TEST_F(StudioServer, ANewerLookInterruptsThePreviewInFlight)
{
    const auto input = DemoInput();
    studio::Document doc(*session_, input);
    studio::Preview preview(*session_);
    const auto request = [&] {
        studio::PreviewRequest r;
        r.values = doc.Snapshot();
        r.input = input;
        return r;
    };
    // A dot on every pixel: long enough to be caught in the middle.
    doc.Edit("DotSize", "1", false);
    doc.Edit("DotSpacingX", "0", false);
    doc.Edit("DotSpacingY", "0", false);
    const std::uint64_t dense = preview.Submit(request());
    while (preview.Rendering() != dense) std::this_thread::yield();
    doc.Reset("DotSize");
    const std::uint64_t light = preview.Submit(request());
    const auto frame = preview.WaitFrame(0, std::chrono::seconds(60));
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ((*frame)->generation, light);
    EXPECT_EQ((*frame)->error, "");
    EXPECT_EQ(preview.InterruptedRenders(), 1);

    // While a drag goes on, the draft in flight is let finish (not counted
    // as interrupted) and the newest look follows it: were each move to
    // interrupt it, none would be shown until the pointer rests.
    const auto draft = [&] {
        studio::PreviewRequest r = request();
        r.interactive = true;
        return r;
    };
    doc.Edit("DotSize", "1", false);
    const std::uint64_t first = preview.Submit(draft());
    while (preview.Rendering() != first &&
           !preview.WaitFrame(light, std::chrono::milliseconds(0))) {
        std::this_thread::yield();
    }
    doc.Reset("DotSize");
    const std::uint64_t newest = preview.Submit(draft());
    const auto shown = preview.WaitFrame(newest - 1, std::chrono::seconds(60));
    ASSERT_TRUE(shown.has_value());
    EXPECT_EQ((*shown)->generation, newest);
    EXPECT_EQ(preview.InterruptedRenders(), 1);
}

// A clip's frames come in any order, sought back where needed, at its rate.
TEST(StudioInput, AClipGivesTheFrameAskedFor)
{
    if (std::system("ffmpeg -version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ffmpeg is missing";
    }
    const fs::path clip =
        fs::temp_directory_path() / ("stipplex-studio-" + std::to_string(::getpid()) + ".mkv");
    // Four lossless grey frames at 10 per second, each lighter than the last.
    ASSERT_EQ(std::system(("ffmpeg -nostdin -v error -y -f lavfi -i "
                           "\"nullsrc=s=32x16:r=10:d=0.4,format=gray,geq=lum='20+N*60'\" "
                           "-c:v ffv1 " +
                           clip.string())
                              .c_str()),
              0);
    studio::InputSource input(clip.string(), "grey.mkv", studio::ImageLimits{});
    ASSERT_TRUE(input.IsClip());
    EXPECT_EQ(input.Last(), 3);
    const cli::FrameTime t = input.TimeAt(2, 30);
    EXPECT_EQ(t.fps / t.step, 10);
    int grey[4] = {};
    for (const long f : {2L, 3L, 0L, 1L}) {
        grey[f] = cli::FromWorld(*input.Frame(f)).Pixels8()[0].g;
    }
    fs::remove(clip);
    EXPECT_TRUE(grey[0] < grey[1] && grey[1] < grey[2] && grey[2] < grey[3])
        << grey[0] << " " << grey[1] << " " << grey[2] << " " << grey[3];
}

// The demo look built by hand, one control at a time through the host's
// edit commands (the spacing type converting the spacings as it goes), is
// the look the demo preset gives.
TEST_F(StudioServer, TheDemoLookCanBeBuiltByHand)
{
    const auto input = DemoInput();
    const std::string preset = ReadFile(STIPPLEX_SOURCE_DIR "/assets/demo.preset");
    studio::Document byHand(*session_, input);
    for (const cli::Assignment &a : cli::ParsePreset(preset, "demo.preset")) {
        byHand.Edit(a.name, a.value, false);
    }
    studio::Document loaded(*session_, input);
    EXPECT_TRUE(loaded.LoadPreset(preset, "demo.preset").empty());
    EXPECT_EQ(byHand.PresetText(), loaded.PresetText());
    EXPECT_THAT(byHand.PresetText(), HasSubstr("BlendColor2=#ffdc96\n"));
}

}  // namespace
