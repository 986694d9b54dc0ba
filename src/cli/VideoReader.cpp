#include "VideoReader.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "DepthConvert.h"
#include "Errors.h"
#include "Ffmpeg_p.h"
#include "ImageIO.h"

namespace cli {

bool IsClipFile(const std::string &path)
{
    if (NotAFile(path)) {
        return false;  // opening a pipe would wait for a writer; the image reader refuses it
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    unsigned char head[4] = {};
    in.read(reinterpret_cast<char *>(head), sizeof head);
    const bool png = head[0] == 0x89 && head[1] == 'P' && head[2] == 'N' && head[3] == 'G';
    const bool exr = head[0] == 0x76 && head[1] == 0x2f && head[2] == 0x31 && head[3] == 0x01;
    return in.gcount() == sizeof head && !png && !exr;
}

struct VideoReader::Impl {
    ClipInfo info;
    ff::InputPtr format;
    ff::CodecPtr decoder;
    ff::FramePtr frame{av_frame_alloc()};
    ff::PacketPtr packet{av_packet_alloc()};
    ff::ScalePtr scale;
    int stream = -1;
    std::int64_t startPts = 0;
    bool flushed = false;
    bool seeked = false;
    long next = 0;   // the number of the next frame decoded
    long first = 0;  // the first frame wanted
    VideoReader::Damage damage;

    [[noreturn]] void Fail(const std::string &cause) const
    {
        throw Failure("cannot read '" + info.path + "': " + cause);
    }

    // The next decoded frame in presentation order, or false at the end.
    bool Decode()
    {
        for (;;) {
            const int got = avcodec_receive_frame(decoder.get(), frame.get());
            if (got == 0) {
                return true;
            }
            if (got == AVERROR_EOF) {
                return false;
            }
            if (got != AVERROR(EAGAIN)) {
                Fail(ff::ErrorText(got));
            }
            const int read = av_read_frame(format.get(), packet.get());
            if (read == AVERROR_EOF) {
                if (!flushed) {
                    flushed = true;
                    avcodec_send_packet(decoder.get(), nullptr);
                }
                continue;
            }
            if (read < 0) {
                Fail(ff::WithDetail(ff::ErrorText(read), ff::TakeLoggedError(format.get())));
            }
            if (packet->stream_index == stream) {
                const int sent = avcodec_send_packet(decoder.get(), packet.get());
                av_packet_unref(packet.get());
                if (sent < 0 && sent != AVERROR(EAGAIN)) {
                    Fail(ff::ErrorText(sent));
                }
            } else {
                av_packet_unref(packet.get());
            }
        }
    }

    std::int64_t FramePts() const
    {
        const std::int64_t pts = frame->best_effort_timestamp;
        return pts == AV_NOPTS_VALUE ? 0 : pts - startPts;
    }

    // The frame number of a time stamp at the clip's rate.
    long IndexOf(std::int64_t pts) const
    {
        const double seconds = static_cast<double>(pts) * info.timeBaseNum / info.timeBaseDen;
        return std::lround(seconds * info.rateNum / info.rateDen);
    }

    void Convert(Image &image, Depth depth)
    {
        const auto source = static_cast<AVPixelFormat>(frame->format);
        const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(source);
        if (depth == Depth::k32 &&
            (source == AV_PIX_FMT_GBRPF32 || source == AV_PIX_FMT_GBRAPF32)) {
            // Float frames as they are, values above 1 too: swscale would
            // take them through 16 bits.
            image = Image(frame->width, frame->height, depth);
            const bool alpha = source == AV_PIX_FMT_GBRAPF32;
            for (int y = 0; y < frame->height; ++y) {
                const auto row = [&](int plane) {
                    return reinterpret_cast<const float *>(
                        frame->data[plane] + std::ptrdiff_t{y} * frame->linesize[plane]);
                };
                const float *g = row(0);
                const float *b = row(1);
                const float *r = row(2);
                const float *a = alpha ? row(3) : nullptr;
                ArgbF *out = image.PixelsF() + std::size_t(y) * std::size_t(frame->width);
                for (int x = 0; x < frame->width; ++x) {
                    out[x] = ArgbF{a ? a[x] : 1.0f, r[x], g[x], b[x]};
                }
            }
            return;
        }
        const bool deep = depth != Depth::k8;
        const AVPixelFormat target = deep ? AV_PIX_FMT_RGBA64LE : AV_PIX_FMT_ARGB;
        scale.reset(sws_getCachedContext(
            scale.release(), frame->width, frame->height, source, frame->width, frame->height,
            target, SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP,
            nullptr, nullptr, nullptr));
        if (!scale) {
            Fail(std::string("cannot convert pixels of format ") + av_get_pix_fmt_name(source));
        }
        if (desc && !(desc->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) &&
            desc->nb_components >= 3) {
            const int space = frame->colorspace == AVCOL_SPC_UNSPECIFIED
                                  ? ff::DefaultMatrix(frame->width, frame->height)
                                  : frame->colorspace;
            const bool full = frame->color_range == AVCOL_RANGE_JPEG ||
                              source == AV_PIX_FMT_YUVJ420P || source == AV_PIX_FMT_YUVJ422P ||
                              source == AV_PIX_FMT_YUVJ444P;
            const int *table = sws_getCoefficients(ff::ScaleMatrix(space));
            sws_setColorspaceDetails(scale.get(), table, full ? 1 : 0,
                                     sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
        }
        // The frame's own format decides: a decoder may find alpha the
        // stream's parameters did not announce.
        const bool alpha =
            desc && (desc->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL)) != 0;
        image = Image(frame->width, frame->height, depth);
        const std::size_t count = image.PixelCount();
        if (!deep) {
            std::uint8_t *planes[4] = {reinterpret_cast<std::uint8_t *>(image.Pixels8()), nullptr,
                                       nullptr, nullptr};
            int strides[4] = {frame->width * 4, 0, 0, 0};
            sws_scale(scale.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
            if (!alpha) {
                for (std::size_t i = 0; i < count; ++i) image.Pixels8()[i].a = 255;
            }
            return;
        }
        std::vector<std::uint16_t> rgba(count * 4);
        std::uint8_t *planes[4] = {reinterpret_cast<std::uint8_t *>(rgba.data()), nullptr, nullptr,
                                   nullptr};
        int strides[4] = {frame->width * 8, 0, 0, 0};
        sws_scale(scale.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint16_t *p = &rgba[i * 4];
            const std::uint16_t a = alpha ? p[3] : 65535;
            if (depth == Depth::k16) {
                image.Pixels16()[i] = Argb16{World16FromPng16(a), World16FromPng16(p[0]),
                                             World16FromPng16(p[1]), World16FromPng16(p[2])};
            } else {
                image.PixelsF()[i] = ArgbF{WorldFFromPng16(a), WorldFFromPng16(p[0]),
                                           WorldFFromPng16(p[1]), WorldFFromPng16(p[2])};
            }
        }
    }
};

namespace {

struct FrameCount {
    long frames = 0;
    bool variableRate = false;  // the time stamps leave gaps or crowd
};

// Frames of the stream counted by reading its packets, for containers that
// do not store the count. Such a container (Matroska, WebM) states a rate
// whatever the frames' time stamps: they are checked against it, as a clip
// of variable rate cannot be sought by frame number.
FrameCount CountFrames(const std::string &path, int stream, AVRational rate)
{
    AVFormatContext *raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        return {};
    }
    ff::InputPtr format(raw);
    if (avformat_find_stream_info(raw, nullptr) < 0) {
        return {};
    }
    ff::PacketPtr packet(av_packet_alloc());
    FrameCount count;
    long stamped = 0;
    std::int64_t first = INT64_MAX;
    std::int64_t last = INT64_MIN;
    while (av_read_frame(raw, packet.get()) >= 0) {
        if (packet->stream_index == stream) {
            ++count.frames;
            if (packet->pts != AV_NOPTS_VALUE) {
                ++stamped;
                first = std::min(first, packet->pts);
                last = std::max(last, packet->pts);
            }
        }
        av_packet_unref(packet.get());
    }
    ff::TakeLoggedError(raw);  // the reader reports damage when it gets there
    if (stamped > 1) {
        const double span =
            static_cast<double>(last - first) * av_q2d(raw->streams[stream]->time_base);
        count.variableRate =
            std::fabs(span * av_q2d(rate) - static_cast<double>(stamped - 1)) > 0.5;
    }
    return count;
}

}  // namespace

VideoReader::VideoReader(const std::string &path) : impl_(std::make_unique<Impl>())
{
    Impl &m = *impl_;
    m.info.path = path;
    if (const std::optional<std::string> why = NotAFile(path)) {
        m.Fail(*why);
    }
    ff::QuietLog();
    ff::TakeLatestError();
    AVFormatContext *raw = nullptr;
    const int opened = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (opened < 0) {
        m.Fail(opened == AVERROR_INVALIDDATA
                   ? "not an image, nor a clip FFmpeg can read"
                   : ff::WithDetail(ff::ErrorText(opened), ff::TakeLatestError()));
    }
    m.format.reset(raw);
    ff::TakeLoggedError(raw);  // of an earlier object at the same address
    if (avformat_find_stream_info(raw, nullptr) < 0) {
        m.Fail("cannot find its streams");
    }
    const AVCodec *codec = nullptr;
    m.stream = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (m.stream == AVERROR_STREAM_NOT_FOUND) {
        m.Fail("no video stream in it");
    }
    if (m.stream < 0 || !codec) {
        const AVStream *any = nullptr;
        for (unsigned i = 0; i < raw->nb_streams; ++i) {
            if (raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO) {
                any = raw->streams[i];
            }
        }
        m.Fail(std::string("this build of FFmpeg has no decoder for its video (") +
               (any ? avcodec_get_name(any->codecpar->codec_id) : "unknown") + ")");
    }
    AVStream *st = raw->streams[m.stream];
    // FFmpeg's own VP8 and VP9 decoders leave out the alpha that WebM keeps
    // beside the picture; libvpx decodes it.
    const AVDictionaryEntry *alphaMode = av_dict_get(st->metadata, "alpha_mode", nullptr, 0);
    if (alphaMode && std::strcmp(alphaMode->value, "1") == 0) {
        const char *name = st->codecpar->codec_id == AV_CODEC_ID_VP9   ? "libvpx-vp9"
                           : st->codecpar->codec_id == AV_CODEC_ID_VP8 ? "libvpx"
                                                                       : nullptr;
        if (const AVCodec *withAlpha = name ? avcodec_find_decoder_by_name(name) : nullptr) {
            codec = withAlpha;
        }
    }
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        if (i != static_cast<unsigned>(m.stream)) {
            raw->streams[i]->discard = AVDISCARD_ALL;
        }
        m.info.hasAudio |= raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
    }
    m.decoder.reset(avcodec_alloc_context3(codec));
    avcodec_parameters_to_context(m.decoder.get(), st->codecpar);
    m.decoder->thread_count = 0;
    const int ready = avcodec_open2(m.decoder.get(), codec, nullptr);
    if (ready < 0) {
        m.Fail("cannot open its " + std::string(codec->name) + " decoder: " + ff::ErrorText(ready));
    }
    ClipInfo &info = m.info;
    info.width = st->codecpar->width;
    info.height = st->codecpar->height;
    info.codec = codec->name;
    AVRational rate = st->avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) {
        rate = st->r_frame_rate;
    }
    if (rate.num <= 0 || rate.den <= 0) {
        rate = AVRational{25, 1};
    }
    av_reduce(&rate.num, &rate.den, rate.num, rate.den, 1 << 30);
    info.rateNum = rate.num;
    info.rateDen = rate.den;
    info.timeBaseNum = st->time_base.num;
    info.timeBaseDen = st->time_base.den;
    info.variableRate = st->r_frame_rate.num > 0 && av_cmp_q(st->r_frame_rate, rate) != 0 &&
                        std::fabs(av_q2d(st->r_frame_rate) - av_q2d(rate)) > 0.01 * av_q2d(rate);
    m.startPts = st->start_time == AV_NOPTS_VALUE ? 0 : st->start_time;
    const auto pixelFormat = static_cast<AVPixelFormat>(
        m.decoder->pix_fmt != AV_PIX_FMT_NONE ? m.decoder->pix_fmt : st->codecpar->format);
    if (const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(pixelFormat)) {
        info.alpha = (desc->flags & (AV_PIX_FMT_FLAG_ALPHA | AV_PIX_FMT_FLAG_PAL)) != 0;
        info.depth = (desc->flags & AV_PIX_FMT_FLAG_FLOAT) ? Depth::k32
                     : desc->comp[0].depth > 8             ? Depth::k16
                                                           : Depth::k8;
    }
    info.colorPrimaries = st->codecpar->color_primaries;
    info.colorTransfer = st->codecpar->color_trc;
    info.colorSpace = st->codecpar->color_space;
    info.colorRange = st->codecpar->color_range;
    std::size_t matrixSize = 0;
    if (const std::uint8_t *matrix =
            av_stream_get_side_data(st, AV_PKT_DATA_DISPLAYMATRIX, &matrixSize)) {
        info.displayMatrix.assign(matrix, matrix + matrixSize);
    }
    info.frameCount = static_cast<long>(st->nb_frames);
    if (info.frameCount <= 0) {
        const FrameCount counted = CountFrames(path, m.stream, rate);
        info.frameCount = counted.frames;
        info.variableRate |= counted.variableRate;
    }
}

VideoReader::~VideoReader() = default;

const ClipInfo &VideoReader::Info() const
{
    return impl_->info;
}

void VideoReader::Start(long first)
{
    Impl &m = *impl_;
    m.first = first;
    if (first <= 0 || m.info.variableRate) {
        return;
    }
    const AVRational tb{m.info.timeBaseNum, m.info.timeBaseDen};
    const std::int64_t target =
        m.startPts + av_rescale_q(first, AVRational{m.info.rateDen, m.info.rateNum}, tb);
    if (av_seek_frame(m.format.get(), m.stream, target, AVSEEK_FLAG_BACKWARD) >= 0) {
        avcodec_flush_buffers(m.decoder.get());
        m.seeked = true;
    }
}

VideoReader::Damage VideoReader::Damaged() const
{
    return impl_->damage;
}

bool VideoReader::Read(Image &image, Depth depth, long &index, std::int64_t &pts)
{
    Impl &m = *impl_;
    for (;;) {
        if (!m.Decode()) {
            // A demuxer that met the end of a cut-off or damaged file says
            // so only in its log.
            const std::string damage = ff::TakeLoggedError(m.format.get());
            if (!damage.empty()) {
                m.Fail(damage + (m.next > 0 ? ", after frame " + std::to_string(m.next - 1)
                                            : ", before its first frame"));
            }
            return false;
        }
        pts = m.FramePts();
        index = m.seeked ? m.IndexOf(pts) : m.next;
        m.next = index + 1;
        if (index >= m.first) {
            // Decoders hide damage they met (concealing the broken blocks);
            // the frame says so.
            if (m.frame->decode_error_flags != 0 || (m.frame->flags & AV_FRAME_FLAG_CORRUPT)) {
                m.damage.first = m.damage.count++ == 0 ? index : m.damage.first;
            }
            m.Convert(image, depth);
            av_frame_unref(m.frame.get());
            return true;
        }
        av_frame_unref(m.frame.get());
    }
}

}  // namespace cli
