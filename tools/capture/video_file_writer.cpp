#include "tools/capture/video_file_writer.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>

#include "tools/capture/av_error.h"
#include "tools/capture/music_track.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

constexpr int kSoundBitRate = 192000;

}  // namespace

VideoFileWriter::~VideoFileWriter()
{
    Close();
}

bool VideoFileWriter::Fail(const std::string& what, int code)
{
    m_error = code < 0 ? what + ": " + AvError(code) : what;
    return false;
}

void VideoFileWriter::Close()
{
    if (m_format != nullptr && m_format->pb != nullptr) {
        avio_closep(&m_format->pb);
    }
    avformat_free_context(m_format);
    m_format = nullptr;
    avcodec_free_context(&m_video);
    avcodec_free_context(&m_sound);
    av_frame_free(&m_picture);
    av_frame_free(&m_block);
    av_packet_free(&m_packet);
    sws_freeContext(m_converter);
    m_converter = nullptr;
    m_videoStream = nullptr;
    m_soundStream = nullptr;
}

bool VideoFileWriter::Open(const VideoSettings& settings)
{
    m_settings = settings;
    const std::string& path = settings.path;
    int result = avformat_alloc_output_context2(&m_format, nullptr, nullptr, path.c_str());
    if (result < 0 || m_format == nullptr) {
        return Fail("cannot make a video file named " + path, result);
    }
    m_packet = av_packet_alloc();
    if (m_packet == nullptr || !OpenVideo() || (settings.music != nullptr && !OpenSound())) {
        Close();
        return false;
    }
    result = avio_open(&m_format->pb, path.c_str(), AVIO_FLAG_WRITE);
    if (result < 0) {
        Fail("cannot write " + path, result);
        Close();
        return false;
    }
    m_fileCreated = true;
    AVDictionary* options = nullptr;
    // An MP4 gets its index at the front, so that it plays while it downloads.
    if (std::string(m_format->oformat->name).find("mp4") != std::string::npos) {
        av_dict_set(&options, "movflags", "+faststart", 0);
    }
    result = avformat_write_header(m_format, &options);
    av_dict_free(&options);
    if (result < 0) {
        Fail("cannot write " + path, result);
        Discard();
        return false;
    }
    m_headerWritten = true;
    return true;
}

bool VideoFileWriter::OpenVideo()
{
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) {
        codec = avcodec_find_encoder(AV_CODEC_ID_H264);
    }
    if (codec == nullptr) {
        return Fail("no H.264 encoder is available", 0);
    }
    m_video = avcodec_alloc_context3(codec);
    m_videoStream = avformat_new_stream(m_format, nullptr);
    m_picture = av_frame_alloc();
    if (m_video == nullptr || m_videoStream == nullptr || m_picture == nullptr) {
        return Fail("out of memory", 0);
    }
    m_video->width = m_settings.width;
    m_video->height = m_settings.height;
    m_video->pix_fmt = AV_PIX_FMT_YUV420P;
    m_video->time_base = AVRational{1, m_settings.fps};
    m_video->framerate = AVRational{m_settings.fps, 1};
    m_video->gop_size = m_settings.fps * 2;
    // What the converter below produces: BT.601 in limited range.
    m_video->color_range = AVCOL_RANGE_MPEG;
    m_video->colorspace = AVCOL_SPC_SMPTE170M;
    m_video->color_primaries = AVCOL_PRI_SMPTE170M;
    m_video->color_trc = AVCOL_TRC_SMPTE170M;
    if ((m_format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        m_video->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    // x264 chooses its threads: frame threads one and a half times the
    // processors (three on two), and a lookahead thread.
    m_video->thread_count = 0;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", m_settings.preset.c_str(), 0);
    av_dict_set(&options, "crf", std::to_string(m_settings.crf).c_str(), 0);
    const int result = avcodec_open2(m_video, codec, &options);
    av_dict_free(&options);
    if (result < 0) {
        return Fail("cannot start the H.264 encoder", result);
    }
    avcodec_parameters_from_context(m_videoStream->codecpar, m_video);
    m_videoStream->time_base = m_video->time_base;
    m_videoStream->avg_frame_rate = m_video->framerate;

    m_picture->format = AV_PIX_FMT_YUV420P;
    m_picture->width = m_settings.width;
    m_picture->height = m_settings.height;
    if (av_frame_get_buffer(m_picture, 0) < 0) {
        return Fail("out of memory", 0);
    }
    // The back buffer holds 0xXXRRGGBB words: bytes B, G, R, unused.
    m_converter = sws_getContext(m_settings.width, m_settings.height, AV_PIX_FMT_BGR0, m_settings.width,
                                 m_settings.height, AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (m_converter == nullptr) {
        return Fail("cannot convert the pictures to yuv420p", 0);
    }
    return true;
}

bool VideoFileWriter::OpenSound()
{
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr) {
        return Fail("no AAC encoder is available", 0);
    }
    m_sound = avcodec_alloc_context3(codec);
    m_soundStream = avformat_new_stream(m_format, nullptr);
    m_block = av_frame_alloc();
    if (m_sound == nullptr || m_soundStream == nullptr || m_block == nullptr) {
        return Fail("out of memory", 0);
    }
    m_sound->sample_fmt = AV_SAMPLE_FMT_FLTP;
    m_sound->sample_rate = MusicTrack::kSampleRate;
    m_sound->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
    m_sound->bit_rate = kSoundBitRate;
    m_sound->time_base = AVRational{1, MusicTrack::kSampleRate};
    if ((m_format->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
        m_sound->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    const int result = avcodec_open2(m_sound, codec, nullptr);
    if (result < 0) {
        return Fail("cannot start the AAC encoder", result);
    }
    avcodec_parameters_from_context(m_soundStream->codecpar, m_sound);
    m_soundStream->time_base = m_sound->time_base;

    m_block->format = AV_SAMPLE_FMT_FLTP;
    m_block->sample_rate = MusicTrack::kSampleRate;
    av_channel_layout_copy(&m_block->ch_layout, &m_sound->ch_layout);
    m_block->nb_samples = m_sound->frame_size > 0 ? m_sound->frame_size : 1024;
    if (av_frame_get_buffer(m_block, 0) < 0) {
        return Fail("out of memory", 0);
    }
    return true;
}

bool VideoFileWriter::Encode(AVCodecContext* encoder, AVStream* stream, AVFrame* frame)
{
    int result = avcodec_send_frame(encoder, frame);
    if (result < 0 && result != AVERROR_EOF) {
        return Fail("cannot encode " + m_settings.path, result);
    }
    for (;;) {
        result = avcodec_receive_packet(encoder, m_packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) {
            return true;
        }
        if (result < 0) {
            return Fail("cannot encode " + m_settings.path, result);
        }
        av_packet_rescale_ts(m_packet, encoder->time_base, stream->time_base);
        m_packet->stream_index = stream->index;
        result = av_interleaved_write_frame(m_format, m_packet);
        if (result < 0) {
            return Fail("cannot write " + m_settings.path, result);
        }
    }
}

bool VideoFileWriter::EncodeSoundUntil(int64_t end, bool last)
{
    if (m_sound == nullptr) {
        return true;
    }
    const int blockSize = m_block->nb_samples;
    while (m_soundWritten < end) {
        const int64_t left = end - m_soundWritten;
        if (left < blockSize && !last) {
            return true;
        }
        const int count = static_cast<int>(std::min<int64_t>(left, blockSize));
        if (av_frame_make_writable(m_block) < 0) {
            return Fail("out of memory", 0);
        }
        m_block->nb_samples = count;
        m_settings.music->Read(reinterpret_cast<float*>(m_block->data[0]), reinterpret_cast<float*>(m_block->data[1]),
                               count);
        m_block->pts = m_soundWritten;
        const bool sent = Encode(m_sound, m_soundStream, m_block);
        m_block->nb_samples = blockSize;
        if (!sent) {
            return false;
        }
        m_soundWritten += count;
    }
    return true;
}

bool VideoFileWriter::Write(const CapturedFrame& frame)
{
    if (av_frame_make_writable(m_picture) < 0) {
        return Fail("out of memory", 0);
    }
    const uint8_t* source[1] = {reinterpret_cast<const uint8_t*>(frame.pixels.data())};
    const int stride[1] = {static_cast<int>(frame.width * 4)};
    sws_scale(m_converter, source, stride, 0, static_cast<int>(frame.height), m_picture->data, m_picture->linesize);
    m_picture->pts = frame.index;
    if (!Encode(m_video, m_videoStream, m_picture)) {
        return false;
    }
    // The sound that plays while this picture shows.
    const int64_t soundEnd = (frame.index + 1) * MusicTrack::kSampleRate / m_settings.fps;
    return EncodeSoundUntil(std::min(soundEnd, m_settings.soundSamples), false);
}

bool VideoFileWriter::Finish(int64_t frames, bool complete)
{
    if (!m_headerWritten) {
        return Fail("cannot write " + m_settings.path, 0);
    }
    // An interrupted capture keeps the sound of the pictures it has.
    const int64_t soundEnd =
        complete ? m_settings.soundSamples
                 : std::min(m_settings.soundSamples, frames * MusicTrack::kSampleRate / m_settings.fps);
    bool ok = Encode(m_video, m_videoStream, nullptr) && EncodeSoundUntil(soundEnd, true) &&
              (m_sound == nullptr || Encode(m_sound, m_soundStream, nullptr));
    const int trailer = av_write_trailer(m_format);
    m_headerWritten = false;
    if (ok && trailer < 0) {
        ok = Fail("cannot write " + m_settings.path, trailer);
    }
    int closed = avio_closep(&m_format->pb);
    if (ok && closed < 0) {
        ok = Fail("cannot write " + m_settings.path, closed);
    }
    struct stat info {};
    m_bytes = stat(m_settings.path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
    Close();
    return ok;
}

void VideoFileWriter::Discard()
{
    Close();
    m_headerWritten = false;
    if (m_fileCreated) {
        std::remove(m_settings.path.c_str());
        m_fileCreated = false;
    }
}
