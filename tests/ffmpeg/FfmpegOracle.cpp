#include "FfmpegOracle.h"

#include "TestMedia.h"

extern "C" {
#include <libavutil/adler32.h>
}

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <sstream>

namespace Qel::Testing {

namespace {

// Each oracle command runs once per test program: many tests ask about the
// same few files.
const std::vector<uint8_t>& cachedOutput(const std::string& command)
{
    static std::map<std::string, std::vector<uint8_t>> outputs;
    auto found = outputs.find(command);
    if (found == outputs.end())
        found = outputs.emplace(command, commandOutput(command)).first;
    return found->second;
}

std::string cachedText(const std::string& command)
{
    const std::vector<uint8_t>& output = cachedOutput(command);
    return std::string(output.begin(), output.end());
}

// The fields of one line of ffprobe's CSV output after its section name,
// each empty where ffprobe prints N/A.
std::vector<std::optional<long long>> csvFields(const std::string& line)
{
    std::vector<std::optional<long long>> fields;
    std::istringstream text(line.substr(line.find(',') + 1));
    std::string field;
    while (std::getline(text, field, ',')) {
        char* end = nullptr;
        const long long value = std::strtoll(field.c_str(), &end, 10);
        fields.push_back(end != field.c_str() ? std::optional<long long>(value) : std::nullopt);
    }
    return fields;
}

} // namespace

std::vector<ProbedFrame> probedVideoFrames(const std::string& path)
{
    // Packets (position, flags) as they are read, and decoded frames
    // (key_frame, best_effort_timestamp, pkt_duration, pkt_pos: ffprobe's
    // own order) as they come out.
    std::istringstream lines(cachedText("ffprobe -v error -select_streams v:0 -show_entries "
                                         "packet=pos,flags:frame=key_frame,best_effort_timestamp,pkt_duration,pkt_pos "
                                         "-of csv '" + path + "'"));
    std::map<long long, bool> keyPackets;
    std::vector<ProbedFrame> frames;
    std::string line;
    while (std::getline(lines, line)) {
        // A packet's line: "packet,pos,flags", maybe followed by its side data.
        if (line.compare(0, 7, "packet,") == 0) {
            const size_t flags = line.find(',', 7) + 1;
            if (const std::optional<long long> position = csvFields(line)[0])
                keyPackets[*position] = flags != 0 && line.compare(flags, 1, "K") == 0;
            continue;
        }
        const std::vector<std::optional<long long>> fields = csvFields(line);
        if (line.compare(0, 6, "frame,") != 0 || fields.size() < 4 || !fields[0])
            continue;
        // A picture is a sync sample where both its packet and its decoder
        // say so: some decoders (QuickTime RLE) mark every picture they give
        // out as a key frame, and some files mark packets where decoding
        // cannot start whole (H.264 recovery points of intra refresh).
        const auto packet = fields[3] ? keyPackets.find(*fields[3]) : keyPackets.end();
        const bool key = (packet == keyPackets.end() || packet->second) && *fields[0] != 0;
        if (fields[1]) {
            const int64_t pts = *fields[1];
            // FLV records no durations: a picture lasts until the next.
            if (!fields[2] && !frames.empty())
                frames.back().duration = pts - frames.back().pts;
            frames.push_back({pts, fields[2] ? *fields[2] : (frames.empty() ? 0 : frames.back().duration), key});
        } else if (!frames.empty()) {
            // The last pictures a decoder gives out from a container without
            // presentation times (AVI) have none: they follow the one before.
            const ProbedFrame& previous = frames.back();
            frames.push_back({previous.pts + std::max<int64_t>(previous.duration, 1), previous.duration, key});
        }
    }
    return frames;
}

ProbedTimeBase probedVideoTimeBase(const std::string& path)
{
    const std::string text = cachedText("ffprobe -v error -select_streams v:0 -show_entries stream=time_base "
                                         "-of csv=p=0 '" + path + "'");
    ProbedTimeBase timeBase;
    std::sscanf(text.c_str(), "%d/%d", &timeBase.num, &timeBase.den);
    return timeBase;
}

StreamStarts streamStarts(const std::string& path)
{
    StreamStarts starts;
    std::istringstream lines(cachedText("ffprobe -v error -show_entries stream=codec_type,start_time -of csv=p=0 '" +
                                        path + "'"));
    bool video = false, sound = false;
    std::string line;
    while (std::getline(lines, line)) {
        const size_t comma = line.find(',');
        if (comma == std::string::npos)
            continue;
        const double start = std::atof(line.c_str() + comma + 1);
        if (line.compare(0, comma, "video") == 0 && !video) {
            starts.video = start;
            video = true;
        } else if (line.compare(0, comma, "audio") == 0 && !sound) {
            starts.sound = start;
            sound = true;
        }
    }
    starts.hasVideo = video;
    const std::string firstSound = cachedText("ffprobe -v error -select_streams a:0 -show_entries "
                                              "frame=best_effort_timestamp_time -of csv=p=0 '" + path + "'");
    if (sound && !firstSound.empty())
        starts.sound = std::atof(firstSound.c_str());
    return starts;
}

std::vector<CopiedPacket> presentedVideoPackets(const std::string& path)
{
    // Lines "stream, dts, pts, duration, size, 0xchecksum[, flags...]", in
    // decoding order.
    std::istringstream copied(
        cachedText("ffmpeg -nostdin -v error -i '" + path + "' -map 0:v:0 -c copy -f framecrc -"));
    std::vector<CopiedPacket> decodingOrder;
    std::string line;
    while (std::getline(copied, line)) {
        long long dts = 0, pts = 0, duration = 0;
        int stream = 0;
        size_t size = 0;
        unsigned checksum = 0;
        if (std::sscanf(line.c_str(), "%d, %lld, %lld, %lld, %zu, 0x%x", &stream, &dts, &pts, &duration, &size,
                        &checksum) == 6)
            decodingOrder.push_back({size, checksum});
    }
    std::istringstream frames(cachedText("ffprobe -v error -select_streams v:0 -show_entries frame=pkt_size "
                                          "-of csv=p=0 '" + path + "'"));
    std::vector<bool> used(decodingOrder.size(), false);
    std::vector<CopiedPacket> presented;
    while (std::getline(frames, line)) {
        const size_t size = size_t(std::strtoull(line.c_str(), nullptr, 10));
        for (size_t i = 0; i < decodingOrder.size(); ++i) {
            if (!used[i] && decodingOrder[i].size == size) {
                used[i] = true;
                presented.push_back(decodingOrder[i]);
                break;
            }
        }
    }
    return presented;
}

uint32_t checksumOf(const uint8_t* data, size_t size)
{
    return uint32_t(av_adler32_update(0, data, size));
}

std::vector<uint8_t> decodedPictures(const std::string& path, const std::string& pixelFormat)
{
    return cachedOutput("ffmpeg -nostdin -v error -i '" + path + "' -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt " +
                         pixelFormat + " -");
}

std::vector<int16_t> decodedSound(const std::string& path, int channels, int soundStream)
{
    const std::vector<uint8_t>& bytes = cachedOutput("ffmpeg -nostdin -v error -i '" + path + "' -map 0:a:" +
                                                     std::to_string(soundStream) + " -f s16le -ac " +
                                                     std::to_string(channels) +
                                                     " -rematrix_maxval 1000 -");
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

int maximumDifference(const int16_t* a, const int16_t* b, size_t count)
{
    int largest = 0;
    for (size_t i = 0; i < count; ++i)
        largest = std::max(largest, std::abs(int(a[i]) - int(b[i])));
    return largest;
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
