#include "tools/web/music_transcoder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "sound/fsound.h"
#include "tools/capture/av_error.h"
#include "tools/capture/music_track.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace {

constexpr int64_t kBitRate = 160000;
constexpr int kDefaultFrameSize = 1024;

// The music's length as the player measures it (its end of show), in
// milliseconds; 0 when the player cannot open it.
int PlayerLengthMs(const std::string& path)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (!FSOUND_Init(MusicTrack::kSampleRate, 32, FSOUND_INIT_GLOBALFOCUS)) {
        return 0;
    }
    FSOUND_STREAM* stream = FSOUND_Stream_OpenFile(path.c_str(), FSOUND_LOOP_OFF | FSOUND_2D, 0);
    const int length = stream != nullptr ? FSOUND_Stream_GetLengthMs(stream) : 0;
    if (stream != nullptr) {
        FSOUND_Stream_Close(stream);
    }
    FSOUND_Close();
    return length;
}

struct Encoder {
    AVFormatContext* format = nullptr;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    bool headerWritten = false;

    ~Encoder()
    {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (format != nullptr) {
            if (format->pb != nullptr) {
                avio_closep(&format->pb);
            }
            avformat_free_context(format);
        }
    }

    bool Open(const std::string& path, std::string* error)
    {
        int result = avformat_alloc_output_context2(&format, nullptr, "ogg", path.c_str());
        if (result < 0 || format == nullptr) {
            *error = "no Ogg writer";
            return false;
        }
        const AVCodec* vorbis = avcodec_find_encoder_by_name("libvorbis");
        if (vorbis == nullptr) {
            *error = "no Vorbis encoder in libavcodec";
            return false;
        }
        stream = avformat_new_stream(format, nullptr);
        codec = avcodec_alloc_context3(vorbis);
        frame = av_frame_alloc();
        packet = av_packet_alloc();
        if (stream == nullptr || codec == nullptr || frame == nullptr || packet == nullptr) {
            *error = "out of memory";
            return false;
        }
        codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
        codec->sample_rate = MusicTrack::kSampleRate;
        codec->bit_rate = kBitRate;
        codec->time_base = AVRational{1, MusicTrack::kSampleRate};
        AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
        av_channel_layout_copy(&codec->ch_layout, &stereo);
        if (format->oformat->flags & AVFMT_GLOBALHEADER) {
            codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        if ((result = avcodec_open2(codec, vorbis, nullptr)) < 0 ||
            (result = avcodec_parameters_from_context(stream->codecpar, codec)) < 0) {
            *error = AvError(result);
            return false;
        }
        stream->time_base = codec->time_base;
        if ((result = avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0 ||
            (result = avformat_write_header(format, nullptr)) < 0) {
            *error = AvError(result);
            return false;
        }
        headerWritten = true;
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->sample_rate = MusicTrack::kSampleRate;
        av_channel_layout_copy(&frame->ch_layout, &stereo);
        frame->nb_samples = codec->frame_size > 0 ? codec->frame_size : kDefaultFrameSize;
        if (av_frame_get_buffer(frame, 0) < 0) {
            *error = "out of memory";
            return false;
        }
        return true;
    }

    // Sends a frame (null: the end) and writes every packet that is ready.
    bool Send(AVFrame* input, std::string* error)
    {
        int result = avcodec_send_frame(codec, input);
        if (result < 0) {
            *error = AvError(result);
            return false;
        }
        for (;;) {
            result = avcodec_receive_packet(codec, packet);
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
                return true;
            }
            if (result < 0) {
                *error = AvError(result);
                return false;
            }
            av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            result = av_interleaved_write_frame(format, packet);
            if (result < 0) {
                *error = AvError(result);
                return false;
            }
        }
    }
};

} // namespace

bool TranscodeMusic(const std::string& musicPath, const std::string& outPath, std::string* error)
{
    const int lengthMs = PlayerLengthMs(musicPath);
    if (lengthMs <= 0) {
        *error = "the player cannot open it";
        return false;
    }
    MusicTrack track;
    if (!track.Open(musicPath, 0, error)) {
        return false;
    }
    bool ok = false;
    {
        Encoder encoder;
        if (encoder.Open(outPath, error)) {
            const int64_t total = static_cast<int64_t>(lengthMs) * MusicTrack::kSampleRate / 1000;
            int64_t done = 0;
            ok = true;
            while (ok && done < total) {
                const int count = static_cast<int>(std::min<int64_t>(encoder.frame->nb_samples, total - done));
                if (av_frame_make_writable(encoder.frame) < 0) {
                    *error = "out of memory";
                    ok = false;
                    break;
                }
                encoder.frame->nb_samples = count;
                track.Read(reinterpret_cast<float*>(encoder.frame->data[0]),
                           reinterpret_cast<float*>(encoder.frame->data[1]), count);
                encoder.frame->pts = done;
                ok = encoder.Send(encoder.frame, error);
                done += count;
            }
            ok = ok && encoder.Send(nullptr, error);
            if (ok) {
                const int result = av_write_trailer(encoder.format);
                if (result < 0) {
                    *error = AvError(result);
                    ok = false;
                }
            }
        }
    }
    if (!ok) {
        std::remove(outPath.c_str());
    }
    return ok;
}
