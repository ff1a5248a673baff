// FFmpeg's side of scripts/bench.sh, and the machine's copy bandwidth: one
// case per run, printing "name value" lines like bench_plugin.
//
//   bench_ffmpeg forward FILE           decode and convert to YUYV 4:2:2
//   bench_ffmpeg audio FILE             decode and downmix to 16-bit stereo
//   bench_ffmpeg open FILE REPEATS      open, decode and convert the first frame,
//                                       median and least seconds
//   bench_ffmpeg seek FILE COUNT SPAN   seek back to a sync sample, one frame
//   bench_ffmpeg copy BYTES FRAMES      one memcpy of BYTES per frame
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "FfmpegCases.h"

namespace Qel::Bench {

namespace {

void decodeFrames(const std::string& path)
{
    DecodingStream video(path, AVMEDIA_TYPE_VIDEO);
    Frame frame = newFrame();
    Packet packet = newPacket();
    YuyvConverter converter;
    int64_t frames = 0;
    const double cpuStart = cpuSeconds();
    const Steady::time_point start = Steady::now();
    while (video.next(frame.get(), packet.get())) {
        converter.convert(frame.get());
        av_frame_unref(frame.get());
        ++frames;
    }
    const double seconds = secondsSince(start);
    const double cpu = cpuSeconds() - cpuStart;
    report("frames", double(frames));
    report("seconds", seconds);
    report("fps", double(frames) / seconds);
    report("fps_cpu", double(frames) / cpu);
    report("peak_mib", peakResidentMiB());
}

void decodeSound(const std::string& path)
{
    DecodingStream audio(path, AVMEDIA_TYPE_AUDIO);
    const AVCodecParameters* parameters = audio.stream()->codecpar;
    AVChannelLayout stereo{};
    av_channel_layout_default(&stereo, 2);
    AVChannelLayout source{};
    av_channel_layout_copy(&source, &parameters->ch_layout);
    SwrContext* raw = nullptr;
    swr_alloc_set_opts2(&raw, &stereo, AV_SAMPLE_FMT_S16, parameters->sample_rate, &source,
                        AVSampleFormat(parameters->format), parameters->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&source);
    Resampler resampler(raw);
    if (!resampler || swr_init(raw) < 0)
        throw std::runtime_error("no downmix to 16-bit stereo");
    Frame frame = newFrame();
    Packet packet = newPacket();
    std::vector<int16_t> output;
    int64_t frames = 0;
    const double cpuStart = cpuSeconds();
    const Steady::time_point start = Steady::now();
    while (audio.next(frame.get(), packet.get())) {
        output.resize(size_t(swr_get_out_samples(raw, frame->nb_samples)) * 2);
        uint8_t* planes[1] = {reinterpret_cast<uint8_t*>(output.data())};
        const int converted = swr_convert(raw, planes, int(output.size() / 2),
                                          const_cast<const uint8_t**>(frame->extended_data), frame->nb_samples);
        frames += converted > 0 ? converted : 0;
        av_frame_unref(frame.get());
    }
    const double seconds = secondsSince(start);
    const double cpu = cpuSeconds() - cpuStart;
    const double audioSeconds = double(frames) / parameters->sample_rate;
    report("audio_seconds", audioSeconds);
    report("seconds", seconds);
    report("speed", audioSeconds / seconds);
    report("speed_cpu", audioSeconds / cpu);
    report("peak_mib", peakResidentMiB());
}

// The first round fills the file cache and is not counted.
void openToFirstFrame(const std::string& path, int repeats)
{
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (int round = 0; round <= repeats; ++round) {
        const double cpuStart = cpuSeconds();
        const Steady::time_point start = Steady::now();
        DecodingStream video(path, AVMEDIA_TYPE_VIDEO);
        Frame frame = newFrame();
        Packet packet = newPacket();
        YuyvConverter converter;
        if (!video.next(frame.get(), packet.get()))
            throw std::runtime_error("no first frame");
        converter.convert(frame.get());
        if (round > 0) {
            times.push_back(secondsSince(start));
            cpuTimes.push_back(cpuSeconds() - cpuStart);
        }
    }
    report("median_seconds", quantile(times, 0.5));
    report("median_cpu_seconds", quantile(cpuTimes, 0.5));
    report("least_seconds", quantile(times, 0));
    report("least_cpu_seconds", quantile(cpuTimes, 0));
}

void seekAndDecode(const std::string& path, int count, uint32_t spanMs)
{
    DecodingStream video(path, AVMEDIA_TYPE_VIDEO);
    Frame frame = newFrame();
    Packet packet = newPacket();
    YuyvConverter converter;
    const AVStream* stream = video.stream();
    const int64_t origin = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    std::vector<double> times;
    std::vector<double> cpuTimes;
    for (uint32_t target : seekTimes(spanMs, count)) {
        const double cpuStart = cpuSeconds();
        const Steady::time_point start = Steady::now();
        const int64_t timestamp = origin + av_rescale_q(target, {1, 1000}, stream->time_base);
        if (av_seek_frame(video.format.get(), video.index, timestamp, AVSEEK_FLAG_BACKWARD) < 0)
            throw std::runtime_error("cannot seek to " + std::to_string(target) + " ms");
        avcodec_flush_buffers(video.codec.get());
        if (!video.next(frame.get(), packet.get()))
            throw std::runtime_error("no frame after the seek to " + std::to_string(target) + " ms");
        converter.convert(frame.get());
        av_frame_unref(frame.get());
        times.push_back(secondsSince(start));
        cpuTimes.push_back(cpuSeconds() - cpuStart);
    }
    report("median_seconds", quantile(times, 0.5));
    report("median_cpu_seconds", quantile(cpuTimes, 0.5));
    report("p95_seconds", quantile(times, 0.95));
}

// Sources rotate through more memory than any cache holds, as frames read
// from a file do.
void copyFrames(size_t frameBytes, int frames)
{
    constexpr size_t kSources = 16;
    std::vector<uint8_t> sources(frameBytes * kSources, 0x5A);
    std::vector<uint8_t> target(frameBytes, 0);
    const double cpuStart = cpuSeconds();
    const Steady::time_point start = Steady::now();
    for (int frame = 0; frame < frames; ++frame)
        std::memcpy(target.data(), sources.data() + (size_t(frame) % kSources) * frameBytes, frameBytes);
    const double seconds = secondsSince(start);
    const double cpu = cpuSeconds() - cpuStart;
    report("checksum", double(target[size_t(frames) % frameBytes]));
    report("fps", double(frames) / seconds);
    report("fps_cpu", double(frames) / cpu);
    report("gib_per_second", double(frameBytes) * frames / seconds / (1024.0 * 1024.0 * 1024.0));
}

int run(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s forward|audio|open|seek FILE [N [SPAN]] | copy BYTES FRAMES\n", argv[0]);
        return 2;
    }
    av_log_set_level(AV_LOG_FATAL);
    const std::string mode = argv[1];
    const std::string path = argv[2];
    const int n = argc > 3 ? std::atoi(argv[3]) : 5;
    if (mode == "forward")
        decodeFrames(path);
    else if (mode == "audio")
        decodeSound(path);
    else if (mode == "open")
        openToFirstFrame(path, n);
    else if (mode == "seek")
        seekAndDecode(path, n, argc > 4 ? uint32_t(std::atol(argv[4])) : 1000);
    else if (mode == "copy")
        copyFrames(size_t(std::atoll(argv[2])), n);
    else
        return 2;
    return 0;
}

} // namespace

} // namespace Qel::Bench

int main(int argc, char** argv)
{
    try {
        return Qel::Bench::run(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_ffmpeg: %s\n", error.what());
        return 1;
    }
}
