#include "FfmpegOracle.h"

#include "TestMedia.h"

#include <cmath>
#include <cstring>
#include <sstream>

namespace Qel::Testing {

std::vector<ProbedFrame> probedVideoFrames(const std::string& path)
{
    // ffprobe prints the entries in its own order: key_frame,
    // best_effort_timestamp, pkt_duration.
    std::istringstream lines(commandText("ffprobe -v error -select_streams v:0 -show_entries "
                                         "frame=key_frame,best_effort_timestamp,pkt_duration -of csv=p=0 '" +
                                         path + "'"));
    std::vector<ProbedFrame> frames;
    std::string line;
    while (std::getline(lines, line)) {
        long long key = 0, pts = 0, duration = 0;
        if (std::sscanf(line.c_str(), "%lld,%lld,%lld", &key, &pts, &duration) == 3)
            frames.push_back({pts, duration, key != 0});
    }
    return frames;
}

std::vector<uint8_t> decodedPictures(const std::string& path, const std::string& pixelFormat)
{
    return commandOutput("ffmpeg -nostdin -v error -i '" + path + "' -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt " +
                         pixelFormat + " -");
}

std::vector<int16_t> decodedSound(const std::string& path, int channels)
{
    const std::vector<uint8_t> bytes = commandOutput("ffmpeg -nostdin -v error -i '" + path +
                                                     "' -map 0:a:0 -f s16le -ac " + std::to_string(channels) + " -");
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

double psnr(const uint8_t* a, const uint8_t* b, size_t size)
{
    double squares = 0;
    for (size_t i = 0; i < size; ++i) {
        const double difference = double(a[i]) - double(b[i]);
        squares += difference * difference;
    }
    if (squares == 0)
        return 1000;
    return 10 * std::log10(255.0 * 255.0 / (squares / double(size)));
}

double toneAmplitude(const std::vector<int16_t>& interleaved, int channels, int channel, double rate,
                     double frequency)
{
    // A correlation with the tone over a whole number of its periods.
    const size_t frames = interleaved.size() / size_t(channels);
    const size_t periods = size_t(double(frames) * frequency / rate);
    const size_t used = size_t(double(periods) * rate / frequency);
    double real = 0, imaginary = 0;
    for (size_t i = 0; i < used; ++i) {
        const double value = interleaved[i * size_t(channels) + size_t(channel)] / 32768.0;
        const double phase = 2 * M_PI * frequency * double(i) / rate;
        real += value * std::cos(phase);
        imaginary += value * std::sin(phase);
    }
    return used == 0 ? 0 : 2 * std::hypot(real, imaginary) / double(used);
}

} // namespace Qel::Testing
