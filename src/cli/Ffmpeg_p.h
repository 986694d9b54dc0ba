// Small helpers around FFmpeg's C API shared by the clip reader and writer:
// owners for its objects and its error texts. Private to the command code.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libswscale/swscale.h>
}

#include <cstdarg>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace cli::ff {

inline std::string ErrorText(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

// FFmpeg's messages are not printed: failures are reported in our own words,
// with the error FFmpeg last logged on this thread, or for one of its
// objects, as the detail.
struct LoggedErrors {
    std::string latest;
    std::map<const void *, std::string> byObject;
};

inline LoggedErrors &ThreadErrors()
{
    thread_local LoggedErrors errors;
    return errors;
}

// FFmpeg's own printf format and arguments.
__attribute__((format(printf, 3, 0))) inline void KeepLog(void *object, int level,
                                                          const char *format, va_list args)
{
    if (level > AV_LOG_ERROR) {
        return;
    }
    char text[512] = {};
    std::vsnprintf(text, sizeof text, format, args);
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '.')) line.pop_back();
    for (char &c : line) {
        c = c == '\n' ? ' ' : c;  // our messages are one line
    }
    LoggedErrors &errors = ThreadErrors();
    errors.latest = line;
    if (object) {
        errors.byObject[object] = line;
    }
}

// Routes FFmpeg's messages to KeepLog.
inline void QuietLog()
{
    av_log_set_callback(KeepLog);
}

// The error last logged for `object` on this thread, forgotten; empty when none.
inline std::string TakeLoggedError(const void *object)
{
    auto &byObject = ThreadErrors().byObject;
    const auto found = byObject.find(object);
    if (found == byObject.end()) {
        return {};
    }
    std::string line = found->second;
    byObject.erase(found);
    return line;
}

// An FFmpeg error code's text with what FFmpeg logged about it, when anything.
inline std::string WithDetail(const std::string &cause, const std::string &logged)
{
    return logged.empty() || logged == cause ? cause : logged + " (" + cause + ")";
}

// The error last logged on this thread, forgotten; empty when none.
inline std::string TakeLatestError()
{
    std::string line;
    line.swap(ThreadErrors().latest);
    return line;
}

struct InputCloser {
    void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct ScaleFreer {
    void operator()(SwsContext *s) const { sws_freeContext(s); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using ScalePtr = std::unique_ptr<SwsContext, ScaleFreer>;

// swscale's coefficient table for one of FFmpeg's colour matrices.
inline int ScaleMatrix(int colorSpace)
{
    switch (colorSpace) {
        case AVCOL_SPC_BT709:
            return SWS_CS_ITU709;
        case AVCOL_SPC_FCC:
            return SWS_CS_FCC;
        case AVCOL_SPC_SMPTE240M:
            return SWS_CS_SMPTE240M;
        case AVCOL_SPC_BT2020_NCL:
        case AVCOL_SPC_BT2020_CL:
            return SWS_CS_BT2020;
        default:
            return SWS_CS_ITU601;
    }
}

// The matrix of a clip that does not name one: BT.709 for HD and larger,
// BT.601 below.
inline int DefaultMatrix(int width, int height)
{
    return width >= 1280 || height >= 720 ? AVCOL_SPC_BT709 : AVCOL_SPC_SMPTE170M;
}

}  // namespace cli::ff
