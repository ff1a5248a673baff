#include "commands/DecodeSinks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "movie/HeldChunk.h"
#include "output/OutputTargets.h"
#include "output/Picture.h"
#include "output/PngWriter.h"
#include "report/CommandError.h"
#include "report/Counted.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

// A stream that keeps answering empty chunks without ever ending would
// hold decode forever; this many in a row count as its end.
constexpr int kMostEmptyChunksInARow = 64;

std::string failureText(const char* what, uint32_t atMs, int32_t status)
{
    char text[160];
    std::snprintf(text, sizeof text, "the %s stream failed at %u ms: %s", what, atMs, resultCodeText(status));
    return text;
}

std::string secondsText(uint64_t ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", ms / 1000.0);
    return text;
}

const StreamDescription& checkedAudio(const StreamDescription& description)
{
    if (description.sampleRate <= 0 || description.channels == 0)
        throw CommandError(kExitFailed, "the audio stream reports no sample rate or channels");
    return description;
}

} // namespace

void DecodeSink::noteChunk(uint32_t startMs, uint32_t endMs)
{
    if (!hasFirst) {
        first = startMs;
        hasFirst = true;
    }
    reached = endMs;
}

AudioSink::AudioSink(StreamInterface& stream, const StreamDescription& description, const std::string& path,
                     const OutputRules& rules, DecodeRange range)
    : DecodeSink(stream, range), description(checkedAudio(description)),
      wav(path, rules, uint32_t(description.sampleRate), uint16_t(description.channels))
{
}

void AudioSink::readOnce()
{
    MediaChunk* received = nullptr;
    const int32_t status = stream.readStream(&received);
    HeldChunk chunk(received);
    if (status != kResultSuccess) {
        // The audio stream reports its end as a failed read with end of stream set.
        if (!stream.isEndOfStream())
            throw StreamFailed(failureText("audio", reached, status));
        finished = true;
        return;
    }
    if (!chunk || chunk.audioBytes() == 0) {
        finished = ++emptyInARow >= kMostEmptyChunksInARow;
        return;
    }
    emptyInARow = 0;
    ++chunks;
    const uint32_t frameBytes = description.channels * 2;
    uint32_t keep = chunk.audioBytes() / frameBytes * frameBytes;
    // Cut at the end of the range, to the frame.
    if (chunk.endTime() >= range.toMs) {
        const uint64_t framesToEnd =
            range.toMs > chunk.startTime() ? uint64_t(range.toMs - chunk.startTime()) * uint32_t(description.sampleRate) / 1000 : 0;
        keep = uint32_t(std::min<uint64_t>(keep, framesToEnd * frameBytes));
        finished = true;
    }
    wav.write(chunk.bytes(), keep);
    const uint32_t bytesPerSecond = uint32_t(description.sampleRate) * frameBytes;
    noteChunk(chunk.startTime(), chunk.startTime() + uint32_t(uint64_t(keep) * 1000 / bytesPerSecond));
}

void AudioSink::finish()
{
    wav.finish();
}

std::string AudioSink::summary() const
{
    const uint64_t frameBytes = description.channels * 2;
    const uint64_t ms = wav.bytesWritten() / frameBytes * 1000 / uint64_t(description.sampleRate);
    return "audio  " + counted(chunks, "chunk") + ", " + secondsText(ms) + " of " +
           std::to_string(description.sampleRate) + " Hz " + std::to_string(description.channels) +
           "-channel PCM -> " + wav.path();
}

VideoSink::VideoSink(StreamInterface& stream, const StreamDescription& description, const std::string& path,
                     const OutputRules& rules, DecodeRange range)
    : DecodeSink(stream, range), description(description), path(path), rules(rules)
{
    if (description.pixelFormat == PixelFormat::Unknown)
        throw CommandError(kExitFailed, "the video stream has an unknown pixel format \"" +
                                            description.formatText + "\"");
    if (description.pixelFormat == PixelFormat::Argb) {
        if (isStandardOutput(path))
            throw CommandError(kExitUsage, "ARGB video is written as PNG frames, which cannot go to standard "
                                           "output");
        this->path = withoutY4mExtension(path);
        checkOutputPath(this->path + "-000001.png", rules);
        return;
    }
    y4m = std::make_unique<Y4mWriter>(path, rules, description.pixelFormat, description.width, description.height);
}

void VideoSink::readOnce()
{
    MediaChunk* received = nullptr;
    const int32_t status = stream.readStream(&received);
    HeldChunk chunk(received);
    if (status != kResultSuccess)
        throw StreamFailed(failureText("video", reached, status));
    if (!chunk) {
        finished = true;
        return;
    }
    const size_t needed = frameBytes(description.pixelFormat, description.width, description.height);
    if (chunk.videoBytes() < needed)
        throw StreamFailed("the video stream delivered " + std::to_string(chunk.videoBytes()) +
                           " bytes for a frame of " + std::to_string(needed));
    if (chunk.startTime() >= range.toMs) {
        finished = true;
        return;
    }
    // A seek lands on the sync sample before the start; the frames before
    // the start are decoded but not written.
    if (chunk.endTime() > range.fromMs) {
        timing.add(chunk.startTime(), chunk.duration());
        write(chunk.bytes());
        noteChunk(chunk.startTime(), chunk.endTime());
        lastStart = chunk.startTime();
    }
    finished = stream.isEndOfStream();
}

uint32_t VideoSink::contentEndMs() const
{
    if (frames == 0)
        return reached;
    return std::min(reached, lastStart + uint32_t(std::ceil(timing.periodMs())));
}

void VideoSink::write(const uint8_t* frame)
{
    ++frames;
    if (y4m) {
        y4m->write(frame, timing.rate());
        return;
    }
    char number[16];
    std::snprintf(number, sizeof number, "-%06llu.png", static_cast<unsigned long long>(frames));
    OutputFile png(path + number, rules);
    writePng(png, frameToPicture(frame, PixelFormat::Argb, description.width, description.height, true));
    png.commit();
}

void VideoSink::finish()
{
    // A file without a single frame would not even have its header.
    if (y4m && frames > 0) {
        y4m->setRate(timing.rate());
        y4m->finish();
    } else
        y4m.reset();
}

std::string VideoSink::summary() const
{
    const std::string target = frames == 0 ? std::string("nothing written")
                               : y4m       ? y4m->path()
                                           : path + "-NNNNNN.png";
    return "video  " + counted(frames, "frame") + ", " + description.formatText + " " +
           std::to_string(description.width) + "x" + std::to_string(description.height) + " -> " + target;
}

} // namespace Qel::Cli
