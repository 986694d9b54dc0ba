#include "VideoWriter.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/display.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <vector>

#include "AtomicFile.h"
#include "DepthConvert.h"
#include "Errors.h"
#include "Ffmpeg_p.h"

namespace cli {

namespace {

struct ClipFormat {
    const char *extension;
    const char *encoder;
    AVPixelFormat pixFmt8;     // for 8-bit renders
    AVPixelFormat pixFmtDeep;  // for 16-bit and float renders
    int crf;                   // default quality for encoders that take one, or -1
};

const ClipFormat kFormats[] = {
    {".mov", "prores_ks", AV_PIX_FMT_YUVA444P10LE, AV_PIX_FMT_YUVA444P10LE, -1},
    {".mp4", "libx264", AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV420P, 18},
    {".mkv", "ffv1", AV_PIX_FMT_BGRA, AV_PIX_FMT_GBRAP16LE, -1},
    {".webm", "libvpx-vp9", AV_PIX_FMT_YUVA420P, AV_PIX_FMT_YUVA420P, 30},
    {".gif", "gif", AV_PIX_FMT_PAL8, AV_PIX_FMT_PAL8, -1},
};

const ClipFormat *FormatOf(const std::string &path)
{
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const ClipFormat &f : kFormats) {
        const std::size_t n = std::strlen(f.extension);
        if (lower.size() > n && lower.compare(lower.size() - n, n, f.extension) == 0) {
            return &f;
        }
    }
    return nullptr;
}

bool HasAlpha(AVPixelFormat format)
{
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(format);
    return d && (d->flags & AV_PIX_FMT_FLAG_ALPHA);
}

bool IsYuv(AVPixelFormat format)
{
    const AVPixFmtDescriptor *d = av_pix_fmt_desc_get(format);
    return d && !(d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)) && d->nb_components >= 3;
}

bool ImageHasAlpha(const Image &image)
{
    const std::size_t n = image.PixelCount();
    switch (image.GetDepth()) {
        case Depth::k8:
            return std::any_of(image.Pixels8(), image.Pixels8() + n,
                               [](const Argb8 &p) { return p.a != 255; });
        case Depth::k16:
            return std::any_of(image.Pixels16(), image.Pixels16() + n,
                               [](const Argb16 &p) { return p.a != 32768; });
        case Depth::k32:
            return std::any_of(image.PixelsF(), image.PixelsF() + n,
                               [](const ArgbF &p) { return p.a < 1.0f; });
    }
    return false;
}

}  // namespace

bool IsClipOutput(const std::string &path)
{
    return FormatOf(path) != nullptr;
}

struct VideoWriter::Impl {
    std::string target;
    std::function<void(const std::string &)> warn;
    std::unique_ptr<AtomicFile> file;
    AVFormatContext *output = nullptr;
    ff::CodecPtr encoder;
    AVStream *video = nullptr;
    ff::ScalePtr scale;
    ff::PacketPtr packet{av_packet_alloc()};
    int width = 0;   // of the render
    int height = 0;  // the encoder's may be padded to even
    bool alphaWarned = false;
    bool finished = false;

    // For palette formats: a palette made for every frame, and the frame
    // mapped to it, by FFmpeg's palettegen and paletteuse filters.
    AVFilterGraph *palette = nullptr;
    AVFilterContext *paletteIn = nullptr;
    AVFilterContext *paletteOut = nullptr;

    // Audio copied from the source clip.
    ff::InputPtr audioInput;
    std::map<int, AVStream *> audioStreams;  // source stream -> output stream
    ff::PacketPtr audioPacket{av_packet_alloc()};
    bool audioPending = false;  // audioPacket holds a packet not yet written
    bool audioDone = true;
    double windowStart = 0;  // seconds of the source's time line
    double windowEnd = std::numeric_limits<double>::infinity();

    ~Impl()
    {
        avfilter_graph_free(&palette);
        if (output) {
            if (output->pb) {
                avio_closep(&output->pb);
            }
            avformat_free_context(output);
        }
    }

    [[noreturn]] void Fail(const std::string &cause) const
    {
        throw Failure("cannot write '" + target + "': " + cause);
    }

    void Check(int result) const
    {
        if (result < 0) {
            Fail(ff::ErrorText(result));
        }
    }

    void OpenPalette(int w, int h)
    {
        palette = avfilter_graph_alloc();
        const std::string source = "video_size=" + std::to_string(w) + "x" + std::to_string(h) +
                                   ":pix_fmt=" + std::to_string(AV_PIX_FMT_ARGB) +
                                   ":time_base=" + std::to_string(encoder->time_base.num) + "/" +
                                   std::to_string(encoder->time_base.den) + ":pixel_aspect=1/1";
        Check(avfilter_graph_create_filter(&paletteIn, avfilter_get_by_name("buffer"), "in",
                                           source.c_str(), nullptr, palette));
        Check(avfilter_graph_create_filter(&paletteOut, avfilter_get_by_name("buffersink"), "out",
                                           nullptr, nullptr, palette));
        AVFilterInOut *outputs = avfilter_inout_alloc();
        AVFilterInOut *inputs = avfilter_inout_alloc();
        outputs->name = av_strdup("in");
        outputs->filter_ctx = paletteIn;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = paletteOut;
        const int parsed = avfilter_graph_parse_ptr(
            palette,
            "split[a][b];[a]palettegen=stats_mode=single:reserve_transparent=1[p];"
            "[b][p]paletteuse=new=1",
            &inputs, &outputs, nullptr);
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
        Check(parsed);
        Check(avfilter_graph_config(palette, nullptr));
    }

    // Encodes what the palette filters have ready.
    void DrainPalette()
    {
        ff::FramePtr mapped(av_frame_alloc());
        for (;;) {
            const int got = av_buffersink_get_frame(paletteOut, mapped.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
                return;
            }
            Check(got);
            mapped->pict_type = AV_PICTURE_TYPE_NONE;
            Check(avcodec_send_frame(encoder.get(), mapped.get()));
            av_frame_unref(mapped.get());
            WritePackets();
        }
    }

    void WritePackets()
    {
        for (;;) {
            const int got = avcodec_receive_packet(encoder.get(), packet.get());
            if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) {
                return;
            }
            Check(got);
            av_packet_rescale_ts(packet.get(), encoder->time_base, video->time_base);
            packet->stream_index = video->index;
            const double until = packet->dts == AV_NOPTS_VALUE
                                     ? 0
                                     : static_cast<double>(packet->dts) * av_q2d(video->time_base);
            Check(av_interleaved_write_frame(output, packet.get()));
            CopyAudio(windowStart + until + 0.5);
        }
    }

    // Audio packets of the source up to `until` seconds of its time line.
    void CopyAudio(double until)
    {
        while (!audioDone) {
            if (!audioPending) {
                const int read = av_read_frame(audioInput.get(), audioPacket.get());
                if (read < 0) {
                    audioDone = true;
                    return;
                }
                const auto out = audioStreams.find(audioPacket->stream_index);
                if (out == audioStreams.end() || audioPacket->pts == AV_NOPTS_VALUE) {
                    av_packet_unref(audioPacket.get());
                    continue;
                }
                audioPending = true;
            }
            const AVStream *in = audioInput->streams[audioPacket->stream_index];
            const double at = static_cast<double>(audioPacket->pts) * av_q2d(in->time_base);
            if (at > until) {
                return;
            }
            audioPending = false;
            const double end =
                at + static_cast<double>(audioPacket->duration) * av_q2d(in->time_base);
            if (end <= windowStart || at >= windowEnd) {
                av_packet_unref(audioPacket.get());
                continue;
            }
            AVStream *out = audioStreams[audioPacket->stream_index];
            const std::int64_t shift = std::llround(windowStart / av_q2d(in->time_base));
            audioPacket->pts -= shift;
            if (audioPacket->dts != AV_NOPTS_VALUE) {
                audioPacket->dts -= shift;
            }
            av_packet_rescale_ts(audioPacket.get(), in->time_base, out->time_base);
            audioPacket->stream_index = out->index;
            audioPacket->pos = -1;
            Check(av_interleaved_write_frame(output, audioPacket.get()));
        }
    }

    void OpenAudio(const ClipTiming &timing)
    {
        AVFormatContext *raw = nullptr;
        if (avformat_open_input(&raw, timing.clip.path.c_str(), nullptr, nullptr) < 0) {
            return;
        }
        audioInput.reset(raw);
        if (avformat_find_stream_info(raw, nullptr) < 0) {
            return;
        }
        for (unsigned i = 0; i < raw->nb_streams; ++i) {
            AVStream *in = raw->streams[i];
            if (in->codecpar->codec_type != AVMEDIA_TYPE_AUDIO) {
                in->discard = AVDISCARD_ALL;
                continue;
            }
            if (avformat_query_codec(output->oformat, in->codecpar->codec_id,
                                     FF_COMPLIANCE_NORMAL) != 1) {
                warn("'" + target + "': the source's " + avcodec_get_name(in->codecpar->codec_id) +
                     " audio cannot go into this container and is left out");
                in->discard = AVDISCARD_ALL;
                continue;
            }
            AVStream *out = avformat_new_stream(output, nullptr);
            avcodec_parameters_copy(out->codecpar, in->codecpar);
            out->codecpar->codec_tag = 0;
            out->time_base = in->time_base;
            av_dict_copy(&out->metadata, in->metadata, 0);
            audioStreams[static_cast<int>(i)] = out;
        }
        audioDone = audioStreams.empty();
        const ClipInfo &clip = timing.clip;
        const double frame = static_cast<double>(clip.rateDen) / clip.rateNum;
        // The video's own start on the source's time line.
        windowStart = 0;
        for (unsigned i = 0; i < raw->nb_streams; ++i) {
            const AVStream *s = raw->streams[i];
            if (s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && s->start_time != AV_NOPTS_VALUE) {
                windowStart = static_cast<double>(s->start_time) * av_q2d(s->time_base);
                break;
            }
        }
        const bool whole = timing.first == 0 && timing.last + 1 >= clip.frameCount;
        if (!whole) {
            windowEnd = windowStart + static_cast<double>(timing.last + 1) * frame;
            windowStart += static_cast<double>(timing.first) * frame;
        }
    }
};

VideoWriter::VideoWriter(const std::string &path, int width, int height, Depth depth,
                         const ClipTiming &timing, const EncodeOptions &options,
                         const std::function<void(const std::string &)> &warn)
    : impl_(std::make_unique<Impl>())
{
    Impl &m = *impl_;
    ff::QuietLog();
    m.target = path;
    m.warn = warn;
    m.width = width;
    m.height = height;
    const ClipFormat *format = FormatOf(path);
    if (!format) {
        throw UsageError("'" + path + "' is not a clip format: .mov, .mp4, .mkv, .webm or .gif");
    }
    const std::string encoderName = options.codec ? *options.codec : format->encoder;
    const AVCodec *codec = avcodec_find_encoder_by_name(encoderName.c_str());
    if (!codec) {
        if (const AVCodecDescriptor *d = avcodec_descriptor_get_by_name(encoderName.c_str())) {
            codec = avcodec_find_encoder(d->id);
        }
    }
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO) {
        m.Fail("this build of FFmpeg has no video encoder '" + encoderName + "'");
    }

    AVPixelFormat pixFmt = depth == Depth::k8 ? format->pixFmt8 : format->pixFmtDeep;
    const AVPixelFormat *accepted = codec->pix_fmts;
    auto takes = [&](AVPixelFormat f) {
        if (!accepted) {
            return true;
        }
        for (const AVPixelFormat *p = accepted; *p != AV_PIX_FMT_NONE; ++p) {
            if (*p == f) {
                return true;
            }
        }
        return false;
    };
    if (options.pixFmt) {
        pixFmt = av_get_pix_fmt(options.pixFmt->c_str());
        if (pixFmt == AV_PIX_FMT_NONE) {
            throw UsageError("--pix-fmt: unknown pixel format '" + *options.pixFmt + "'");
        }
        if (!takes(pixFmt)) {
            std::string list;
            for (const AVPixelFormat *p = accepted; *p != AV_PIX_FMT_NONE; ++p) {
                list += std::string(list.empty() ? "" : " ") + av_get_pix_fmt_name(*p);
            }
            throw UsageError("--pix-fmt: " + encoderName + " cannot encode " + *options.pixFmt +
                             "; it takes " + list);
        }
    } else if (!takes(pixFmt)) {
        pixFmt = avcodec_find_best_pix_fmt_of_list(
            accepted, depth == Depth::k8 ? AV_PIX_FMT_ARGB : AV_PIX_FMT_RGBA64LE, 1, nullptr);
    }
    const AVPixFmtDescriptor *desc = av_pix_fmt_desc_get(pixFmt);
    int encodedWidth = width;
    int encodedHeight = height;
    const int alignW = 1 << desc->log2_chroma_w;
    const int alignH = 1 << desc->log2_chroma_h;
    if (width % alignW != 0 || height % alignH != 0) {
        if (!options.padEven) {
            m.Fail(std::string(codec->name) + " " + av_get_pix_fmt_name(pixFmt) +
                   " needs an even width and height, and the frames are " + std::to_string(width) +
                   " x " + std::to_string(height) + " (--pad-even pads them)");
        }
        encodedWidth = (width + alignW - 1) / alignW * alignW;
        encodedHeight = (height + alignH - 1) / alignH * alignH;
    }

    avformat_alloc_output_context2(&m.output, nullptr, nullptr, path.c_str());
    if (!m.output) {
        m.Fail("FFmpeg has no muxer for this extension");
    }
    m.encoder.reset(avcodec_alloc_context3(codec));
    AVCodecContext *enc = m.encoder.get();
    const ClipInfo &clip = timing.clip;
    enc->width = encodedWidth;
    enc->height = encodedHeight;
    enc->pix_fmt = pixFmt;
    enc->sample_aspect_ratio = AVRational{1, 1};
    enc->time_base = AVRational{clip.timeBaseNum, clip.timeBaseDen};
    enc->framerate = AVRational{clip.rateNum, clip.rateDen};
    enc->thread_count = 0;
    if (m.output->oformat->flags & AVFMT_GLOBALHEADER) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    // Colour tags: the source's, or BT.709 for frames that came from images.
    const bool yuv = IsYuv(pixFmt);
    int space = clip.colorSpace;
    if (!timing.fromClip || space == AVCOL_SPC_UNSPECIFIED || space == AVCOL_SPC_RGB) {
        space = timing.fromClip ? ff::DefaultMatrix(width, height) : AVCOL_SPC_BT709;
    }
    enc->colorspace = yuv ? static_cast<AVColorSpace>(space) : AVCOL_SPC_RGB;
    // ProRes and DNxHD streams have no range flag: their decoders take
    // limited range whatever the source's was.
    const bool limitedOnly = codec->id == AV_CODEC_ID_PRORES || codec->id == AV_CODEC_ID_DNXHD;
    enc->color_range = yuv ? (timing.fromClip && clip.colorRange == AVCOL_RANGE_JPEG && !limitedOnly
                                  ? AVCOL_RANGE_JPEG
                                  : AVCOL_RANGE_MPEG)
                           : AVCOL_RANGE_JPEG;
    enc->color_primaries =
        timing.fromClip ? static_cast<AVColorPrimaries>(clip.colorPrimaries) : AVCOL_PRI_BT709;
    enc->color_trc = timing.fromClip
                         ? static_cast<AVColorTransferCharacteristic>(clip.colorTransfer)
                         : AVCOL_TRC_IEC61966_2_1;

    AVDictionary *codecOptions = nullptr;
    const std::string name = codec->name;
    if (name == "prores_ks") {
        av_dict_set(&codecOptions, "profile",
                    HasAlpha(pixFmt) || desc->log2_chroma_w == 0 ? "4444" : "hq", 0);
    } else if (name == "ffv1") {
        av_dict_set(&codecOptions, "level", "3", 0);
        av_dict_set(&codecOptions, "slices", "4", 0);
        av_dict_set(&codecOptions, "slicecrc", "1", 0);
    } else if (name == "gif") {
        // Whole frames: a frame drawn as changes over the previous one
        // would leave the previous one showing where this one is clear.
        av_dict_set(&codecOptions, "gifflags", "0", 0);
    } else if (name == "libvpx-vp9") {
        av_dict_set(&codecOptions, "row-mt", "1", 0);
        av_dict_set(&codecOptions, "deadline", "good", 0);
        av_dict_set(&codecOptions, "cpu-used", "4", 0);
        if (!options.bitrate) {
            av_dict_set(&codecOptions, "b", "0", 0);
        }
    }
    const bool takesCrf =
        av_opt_find(enc->priv_data, "crf", nullptr, 0, AV_OPT_SEARCH_CHILDREN) != nullptr;
    if (options.crf) {
        if (!takesCrf) {
            throw UsageError("--crf: " + name + " has no CRF quality setting; use --bitrate");
        }
        av_dict_set(&codecOptions, "crf", std::to_string(*options.crf).c_str(), 0);
    } else if (takesCrf && format->crf >= 0 && !options.bitrate && !options.codec) {
        av_dict_set(&codecOptions, "crf", std::to_string(format->crf).c_str(), 0);
    }
    if (options.bitrate) {
        av_dict_set(&codecOptions, "b", options.bitrate->c_str(), 0);
    }
    const int opened = avcodec_open2(enc, codec, &codecOptions);
    av_dict_free(&codecOptions);
    if (opened < 0) {
        m.Fail("cannot open the " + name + " encoder for " + std::to_string(encodedWidth) + " x " +
               std::to_string(encodedHeight) + " " + av_get_pix_fmt_name(pixFmt) + ": " +
               ff::WithDetail(ff::ErrorText(opened), ff::TakeLoggedError(enc)));
    }

    if (pixFmt == AV_PIX_FMT_PAL8) {
        m.OpenPalette(encodedWidth, encodedHeight);
    }
    m.video = avformat_new_stream(m.output, nullptr);
    m.Check(avcodec_parameters_from_context(m.video->codecpar, enc));
    m.video->time_base = enc->time_base;
    m.video->avg_frame_rate = enc->framerate;
    m.video->r_frame_rate = enc->framerate;
    if (timing.fromClip && !clip.displayMatrix.empty()) {
        if (std::uint8_t *matrix = av_stream_new_side_data(m.video, AV_PKT_DATA_DISPLAYMATRIX,
                                                           clip.displayMatrix.size())) {
            std::memcpy(matrix, clip.displayMatrix.data(), clip.displayMatrix.size());
        }
        // Of our formats only QuickTime and MP4 have a rotation tag.
        const double degrees = clip.displayMatrix.size() >= 9 * sizeof(std::int32_t)
                                   ? av_display_rotation_get(reinterpret_cast<const std::int32_t *>(
                                         clip.displayMatrix.data()))
                                   : 0;
        if (std::strcmp(format->extension, ".mov") != 0 &&
            std::strcmp(format->extension, ".mp4") != 0 && std::isfinite(degrees) &&
            std::lround(degrees) % 360 != 0) {
            warn("'" + path + "': " + (format->extension + 1) +
                 " has no rotation tag: the source's rotation of " +
                 std::to_string(std::lround(degrees)) +
                 " degrees is left out, and the frames play unrotated");
        }
    }
    if (timing.fromClip && options.audio && clip.hasAudio) {
        m.OpenAudio(timing);
    }

    m.file = std::make_unique<AtomicFile>(path);
    av_freep(&m.output->url);
    m.output->url = av_strdup(m.file->TempPath().c_str());
    m.Check(avio_open(&m.output->pb, m.file->TempPath().c_str(), AVIO_FLAG_WRITE));
    AVDictionary *muxOptions = nullptr;
    if (std::strcmp(format->extension, ".mp4") == 0 ||
        std::strcmp(format->extension, ".mov") == 0) {
        av_dict_set(&muxOptions, "movflags", "+faststart", 0);
    }
    const int header = avformat_write_header(m.output, &muxOptions);
    av_dict_free(&muxOptions);
    m.Check(header);
}

VideoWriter::~VideoWriter() = default;

void VideoWriter::Write(const Image &image, std::int64_t pts)
{
    Impl &m = *impl_;
    AVCodecContext *enc = m.encoder.get();
    // Every frame until one has transparency: a clip may fade in from opaque.
    if (!m.alphaWarned && !HasAlpha(enc->pix_fmt) && ImageHasAlpha(image)) {
        m.alphaWarned = true;
        m.warn("'" + m.target + "': " + av_get_pix_fmt_name(enc->pix_fmt) +
               " has no alpha: the frames' transparency is dropped");
    }
    // The frame as packed ARGB (8-bit) or RGBA 16-bit, the size of the
    // encoder's frame, the render's edge repeated into any padding.
    const int w = enc->width;
    const int h = enc->height;
    const bool deep = image.GetDepth() != Depth::k8 && !m.palette;
    const AVPixelFormat source = deep ? AV_PIX_FMT_RGBA64LE : AV_PIX_FMT_ARGB;
    std::vector<std::uint8_t> packed(static_cast<std::size_t>(w) * h * (deep ? 8 : 4));
    for (int y = 0; y < h; ++y) {
        const std::size_t row = static_cast<std::size_t>(std::min(y, m.height - 1)) * m.width;
        for (int x = 0; x < w; ++x) {
            const std::size_t i = row + static_cast<std::size_t>(std::min(x, m.width - 1));
            const std::size_t o = static_cast<std::size_t>(y) * w + x;
            if (!deep) {
                Argb8 p8;
                if (image.GetDepth() == Depth::k8) {
                    p8 = image.Pixels8()[i];
                } else if (image.GetDepth() == Depth::k16) {
                    const Argb16 &p = image.Pixels16()[i];
                    p8 = Argb8{Png8FromWorld16(p.a), Png8FromWorld16(p.r), Png8FromWorld16(p.g),
                               Png8FromWorld16(p.b)};
                } else {
                    const ArgbF &p = image.PixelsF()[i];
                    p8 = Argb8{Png8FromFloat(p.a), Png8FromFloat(p.r), Png8FromFloat(p.g),
                               Png8FromFloat(p.b)};
                }
                std::memcpy(&packed[o * 4], &p8, 4);
                continue;
            }
            std::uint16_t rgba[4];
            if (image.GetDepth() == Depth::k16) {
                const Argb16 &p = image.Pixels16()[i];
                rgba[0] = Png16FromWorld16(p.r);
                rgba[1] = Png16FromWorld16(p.g);
                rgba[2] = Png16FromWorld16(p.b);
                rgba[3] = Png16FromWorld16(p.a);
            } else {
                const ArgbF &p = image.PixelsF()[i];
                rgba[0] = Png16FromFloat(p.r);
                rgba[1] = Png16FromFloat(p.g);
                rgba[2] = Png16FromFloat(p.b);
                rgba[3] = Png16FromFloat(p.a);
            }
            std::memcpy(&packed[o * 8], rgba, 8);
        }
    }
    if (m.palette) {
        ff::FramePtr frame(av_frame_alloc());
        frame->format = AV_PIX_FMT_ARGB;
        frame->width = w;
        frame->height = h;
        m.Check(av_frame_get_buffer(frame.get(), 0));
        for (int y = 0; y < h; ++y) {
            std::memcpy(frame->data[0] + static_cast<std::ptrdiff_t>(y) * frame->linesize[0],
                        &packed[static_cast<std::size_t>(y) * w * 4],
                        static_cast<std::size_t>(w) * 4);
        }
        frame->pts = pts;
        m.Check(av_buffersrc_add_frame(m.paletteIn, frame.get()));
        m.DrainPalette();
        return;
    }
    m.scale.reset(sws_getCachedContext(
        m.scale.release(), w, h, source, w, h, enc->pix_fmt,
        SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP, nullptr, nullptr,
        nullptr));
    if (!m.scale) {
        m.Fail(std::string("cannot convert pixels to ") + av_get_pix_fmt_name(enc->pix_fmt));
    }
    if (IsYuv(enc->pix_fmt)) {
        sws_setColorspaceDetails(m.scale.get(), sws_getCoefficients(SWS_CS_DEFAULT), 1,
                                 sws_getCoefficients(ff::ScaleMatrix(enc->colorspace)),
                                 enc->color_range == AVCOL_RANGE_JPEG ? 1 : 0, 0, 1 << 16, 1 << 16);
    }
    ff::FramePtr frame(av_frame_alloc());
    frame->format = enc->pix_fmt;
    frame->width = w;
    frame->height = h;
    m.Check(av_frame_get_buffer(frame.get(), 0));
    const std::uint8_t *planes[4] = {packed.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {w * (deep ? 8 : 4), 0, 0, 0};
    sws_scale(m.scale.get(), planes, strides, 0, h, frame->data, frame->linesize);
    frame->pts = pts;
    // ProRes takes its colour tags from the frame, not the encoder.
    frame->color_range = enc->color_range;
    frame->colorspace = enc->colorspace;
    frame->color_primaries = enc->color_primaries;
    frame->color_trc = enc->color_trc;
    m.Check(avcodec_send_frame(enc, frame.get()));
    m.WritePackets();
}

void VideoWriter::Finish()
{
    Impl &m = *impl_;
    if (m.palette) {
        m.Check(av_buffersrc_add_frame(m.paletteIn, nullptr));
        m.DrainPalette();
    }
    m.Check(avcodec_send_frame(m.encoder.get(), nullptr));
    m.WritePackets();
    m.CopyAudio(std::numeric_limits<double>::infinity());
    m.Check(av_write_trailer(m.output));
    if (m.output->pb->error < 0) {
        m.Fail(ff::ErrorText(m.output->pb->error));
    }
    m.Check(avio_closep(&m.output->pb));
    m.file->Commit();
    m.finished = true;
}

}  // namespace cli
