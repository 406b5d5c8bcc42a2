#include "tools/capture/music_track.h"

#include <algorithm>
#include <cstring>

#include "tools/capture/av_error.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

MusicTrack::~MusicTrack()
{
    Close();
}

void MusicTrack::Close()
{
    if (m_converted != nullptr) {
        av_freep(&m_converted[0]);
        av_freep(&m_converted);
    }
    m_convertedCapacity = 0;
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    if (m_buffer != nullptr) {
        av_audio_fifo_free(m_buffer);
        m_buffer = nullptr;
    }
    swr_free(&m_resampler);
    avcodec_free_context(&m_decoder);
    avformat_close_input(&m_format);
}

bool MusicTrack::Open(const std::string& path, int64_t firstSample, std::string* error)
{
    Close();
    m_skip = std::max<int64_t>(firstSample, 0);
    m_ended = false;
    int result = avformat_open_input(&m_format, path.c_str(), nullptr, nullptr);
    if (result < 0) {
        *error = AvError(result);
        return false;
    }
    if ((result = avformat_find_stream_info(m_format, nullptr)) < 0) {
        *error = AvError(result);
        return false;
    }
    const AVCodec* codec = nullptr;
    m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_stream < 0 || codec == nullptr) {
        *error = "no sound in it that can be decoded";
        return false;
    }
    m_decoder = avcodec_alloc_context3(codec);
    if (m_decoder == nullptr ||
        avcodec_parameters_to_context(m_decoder, m_format->streams[m_stream]->codecpar) < 0 ||
        (result = avcodec_open2(m_decoder, codec, nullptr)) < 0) {
        *error = "its sound cannot be decoded";
        return false;
    }

    AVChannelLayout input{};
    if (m_decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        av_channel_layout_default(&input, m_decoder->ch_layout.nb_channels);
    } else {
        av_channel_layout_copy(&input, &m_decoder->ch_layout);
    }
    AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    result = swr_alloc_set_opts2(&m_resampler, &stereo, AV_SAMPLE_FMT_FLTP, kSampleRate, &input,
                                 m_decoder->sample_fmt, m_decoder->sample_rate, 0, nullptr);
    if (result >= 0 && input.nb_channels == 1) {
        // One channel goes to both sides at full level.
        const double both[2] = {1.0, 1.0};
        result = swr_set_matrix(m_resampler, both, 1);
    }
    av_channel_layout_uninit(&input);
    if (result < 0 || (result = swr_init(m_resampler)) < 0) {
        *error = "its sound cannot be converted: " + AvError(result);
        return false;
    }
    m_buffer = av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, 2, kSampleRate);
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    if (m_buffer == nullptr || m_packet == nullptr || m_frame == nullptr) {
        *error = "out of memory";
        return false;
    }
    return true;
}

void MusicTrack::Convert(const uint8_t* const* input, int inputSamples)
{
    const int room = swr_get_out_samples(m_resampler, inputSamples);
    if (room <= 0) {
        return;
    }
    if (room > m_convertedCapacity) {
        if (m_converted != nullptr) {
            av_freep(&m_converted[0]);
            av_freep(&m_converted);
        }
        m_convertedCapacity = 0;
        if (av_samples_alloc_array_and_samples(&m_converted, nullptr, 2, room, AV_SAMPLE_FMT_FLTP, 0) < 0) {
            m_ended = true;
            return;
        }
        m_convertedCapacity = room;
    }
    int got = swr_convert(m_resampler, m_converted, room, const_cast<const uint8_t**>(input), inputSamples);
    if (got <= 0) {
        return;
    }
    // Samples before the first one asked for are dropped as they come.
    int offset = 0;
    if (m_skip > 0) {
        offset = static_cast<int>(std::min<int64_t>(m_skip, got));
        m_skip -= offset;
        got -= offset;
    }
    if (got > 0) {
        void* planes[2] = {reinterpret_cast<float*>(m_converted[0]) + offset,
                           reinterpret_cast<float*>(m_converted[1]) + offset};
        av_audio_fifo_write(m_buffer, planes, got);
    }
}

void MusicTrack::Fill(int count)
{
    while (!m_ended && av_audio_fifo_size(m_buffer) < count) {
        const int read = av_read_frame(m_format, m_packet);
        // At the end, an empty packet drains the decoder.
        const bool ours = read >= 0 && m_packet->stream_index == m_stream;
        if (read < 0 || ours) {
            // A packet the decoder refuses is skipped, as a player would.
            avcodec_send_packet(m_decoder, read < 0 ? nullptr : m_packet);
            while (avcodec_receive_frame(m_decoder, m_frame) >= 0) {
                Convert(const_cast<const uint8_t* const*>(m_frame->extended_data), m_frame->nb_samples);
                av_frame_unref(m_frame);
            }
        }
        av_packet_unref(m_packet);
        if (read < 0) {
            Convert(nullptr, 0);  // what the resampler still holds
            m_ended = true;
        }
    }
}

void MusicTrack::Read(float* left, float* right, int count)
{
    if (count <= 0) {
        return;
    }
    int got = 0;
    if (m_buffer != nullptr) {
        Fill(count);
        void* planes[2] = {left, right};
        got = std::max(av_audio_fifo_read(m_buffer, planes, count), 0);
    }
    std::fill(left + got, left + count, 0.0f);
    std::fill(right + got, right + count, 0.0f);
}
