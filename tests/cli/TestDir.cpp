#include "TestDir.h"

#include <ImfChannelList.h>
#include <ImfFrameBuffer.h>
#include <ImfHeader.h>
#include <ImfInputFile.h>
#include <ImfOutputFile.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <stdexcept>

namespace clitest {

TestDir::TestDir()
{
    const char *base = std::getenv("STIPPLEX_TEST_TMP");
    std::filesystem::path parent = base != nullptr && *base != '\0'
                                       ? std::filesystem::path(base)
                                       : std::filesystem::temp_directory_path();
    std::filesystem::create_directories(parent);
    std::string pattern = (parent / "stipplex-cli-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a test folder under " + parent.string());
    }
    root_ = pattern;
}

TestDir::~TestDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::vector<std::string> TestDir::Entries(const std::string &sub) const
{
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(root_ / sub)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

void WriteFile(const std::string &path, const std::string &content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

bool UnnamedFilesSupported(const std::string &folder)
{
#if defined(O_TMPFILE)
    const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
#else
    (void)folder;
#endif
    return false;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Argb4 ArgbAt(const cli::Image &image, std::size_t i)
{
    auto argb = [](const auto &p) { return Argb4(p.a, p.r, p.g, p.b); };
    switch (image.GetDepth()) {
        case cli::Depth::k8:
            return argb(image.Pixels8()[i]);
        case cli::Depth::k16:
            return argb(image.Pixels16()[i]);
        default:
            return argb(image.PixelsF()[i]);
    }
}

// Random channels over each depth's full range; at depth 32 on the 16-bit
// PNG grid (k / 65535), which a 16-bit PNG keeps exactly.
cli::Image RandomImage(int w, int h, cli::Depth depth, unsigned seed)
{
    cli::Image image(w, h, depth);
    std::mt19937 rng(seed);
    auto c = [&](int max) { return std::uniform_int_distribution<int>(0, max)(rng); };
    for (std::size_t i = 0; i < image.PixelCount(); ++i) {
        if (depth == cli::Depth::k8) {
            auto u = [&] { return static_cast<std::uint8_t>(c(255)); };
            image.Pixels8()[i] = cli::Argb8{u(), u(), u(), u()};
        } else if (depth == cli::Depth::k16) {
            auto u = [&] { return static_cast<std::uint16_t>(c(32768)); };
            image.Pixels16()[i] = cli::Argb16{u(), u(), u(), u()};
        } else {
            auto u = [&] { return static_cast<float>(c(65535)) / 65535.0f; };
            image.PixelsF()[i] = cli::ArgbF{u(), u(), u(), u()};
        }
    }
    return image;
}

host::ParamInfo Info(PF_ParamType type)
{
    host::ParamInfo info;
    info.type = info.def.param_type = type;
    return info;
}

host::ParamInfo FloatSlider(float validMin, float validMax, bool percent)
{
    host::ParamInfo info = Info(PF_Param_FLOAT_SLIDER);
    auto &fs = info.def.u.fs_d;
    fs.valid_min = fs.slider_min = validMin;
    fs.valid_max = validMax;
    fs.slider_max = validMax / 10;
    fs.dephault = 10;
    fs.precision = 1;
    fs.display_flags = percent ? PF_ValueDisplayFlag_PERCENT : 0;
    return info;
}

host::ParamInfo Slider(A_long validMin, A_long validMax)
{
    host::ParamInfo info = Info(PF_Param_SLIDER);
    info.def.u.sd.valid_min = info.def.u.sd.slider_min = validMin;
    info.def.u.sd.valid_max = validMax;
    info.def.u.sd.slider_max = 60;
    return info;
}

host::ParamInfo Popup(std::vector<std::string> items)
{
    host::ParamInfo info = Info(PF_Param_POPUP);
    info.def.u.pd.num_choices = static_cast<A_short>(items.size());
    info.def.u.pd.dephault = 1;
    info.popup_items = std::move(items);
    return info;
}

pid_t Start(const TestDir &dir, const std::vector<std::string> &args, rlim_t fileSizeLimit)
{
    const pid_t pid = ::fork();
    if (pid != 0) {
        return pid;
    }
    if (::chdir(dir.Path("").c_str()) != 0) {
        ::_exit(126);
    }
    ::setenv("XDG_CONFIG_HOME", dir.Path("config").c_str(), 1);
    const int in = ::open("/dev/null", O_RDONLY);
    const int out = ::open(".stdout", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(".stderr", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(in, 0), ::dup2(out, 1), ::dup2(err, 2);
    for (const int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (fileSizeLimit > 0) {
        const rlimit limit{fileSizeLimit, fileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    std::vector<char *> argv{const_cast<char *>(STIPPLEX_CLI_PATH)};
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

Outcome Wait(const TestDir &dir, pid_t pid)
{
    int raw = 0;
    Outcome o;
    if (::waitpid(pid, &raw, 0) != pid) {
        return o;
    }
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.signal = WIFSIGNALED(raw) ? WTERMSIG(raw) : 0;
    for (auto [file, text] : {std::pair{".stdout", &o.out}, {".stderr", &o.err}}) {
        *text = ReadFile(dir.Path(file));
        ::unlink(dir.Path(file).c_str());
    }
    return o;
}

double MaxDifference(const cli::Image &a, const cli::Image &b, double scaleA, double scaleB)
{
    double worst = 0;
    for (std::size_t i = 0; i < a.PixelCount(); ++i) {
        const auto [aa, ar, ag, ab] = ArgbAt(a, i);
        const auto [ba, br, bg, bb] = ArgbAt(b, i);
        for (const auto &[x, y] : {std::pair{aa, ba}, {ar, br}, {ag, bg}, {ab, bb}}) {
            worst = std::max(worst, std::abs(x * scaleA - y * scaleB));
        }
    }
    return worst;
}

void WriteExr(const std::string &path, const Imath::Box2i &display, const Imath::Box2i &data,
              const std::vector<const char *> &names, const std::vector<float> &pixels)
{
    Imf::Header header(display, data);
    Imf::FrameBuffer frame;
    const std::size_t n = names.size(), width = static_cast<std::size_t>(data.size().x + 1);
    for (std::size_t i = 0; i < n; ++i) {
        header.channels().insert(names[i], Imf::Channel(Imf::FLOAT));
        frame.insert(names[i], Imf::Slice::Make(Imf::FLOAT, &pixels[i], data, n * sizeof(float),
                                                n * sizeof(float) * width));
    }
    Imf::OutputFile out(path.c_str(), header);
    out.setFrameBuffer(frame);
    out.writePixels(data.size().y + 1);
}

std::vector<float> ReadExrPixels(const std::string &path)
{
    Imf::InputFile file(path.c_str());
    const Imath::Box2i window = file.header().dataWindow();
    const std::size_t width = static_cast<std::size_t>(window.size().x + 1);
    std::vector<float> rgba(width * static_cast<std::size_t>(window.size().y + 1) * 4);
    Imf::FrameBuffer frame;
    const char *names[] = {"R", "G", "B", "A"};
    for (std::size_t i = 0; i < 4; ++i) {
        frame.insert(names[i], Imf::Slice::Make(Imf::FLOAT, &rgba[i], window, 4 * sizeof(float),
                                                4 * sizeof(float) * width));
    }
    file.setFrameBuffer(frame);
    file.readPixels(window.min.y, window.max.y);
    return rgba;
}

}  // namespace clitest
