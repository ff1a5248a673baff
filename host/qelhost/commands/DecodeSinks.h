// The two halves of qelhost decode: pulling one stream's chunks as fast as
// they come and writing them out. An AudioSink writes a WAV file, a
// VideoSink a YUV4MPEG2 file (or, for ARGB, numbered PNG files). Both stop
// at the end of their stream or at the range's end.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "movie/StreamDescription.h"
#include "output/OutputFile.h"
#include "output/WavWriter.h"
#include "output/Y4mWriter.h"
#include "report/CommandError.h"

namespace Qel::Cli {

// The stream itself failed (not an output): what was read before it stays
// good, and the other streams can go on.
class StreamFailed : public CommandError {
public:
    explicit StreamFailed(const std::string& message) : CommandError(kExitFailed, message) {}
};

struct DecodeRange {
    uint32_t fromMs = 0;
    uint32_t toMs = UINT32_MAX;  // exclusive
};

class DecodeSink {
public:
    virtual ~DecodeSink() = default;
    // Reads and writes one chunk. Throws StreamFailed when the stream
    // fails, CommandError when the output does.
    virtual void readOnce() = 0;
    // Completes and commits the output.
    virtual void finish() = 0;
    virtual std::string summary() const = 0;

    bool done() const { return finished; }
    // Reads no more: the stream failed, or the run was interrupted.
    void stop() { finished = true; }
    // Stream time reached: the end of the last chunk.
    uint32_t reachedMs() const { return reached; }
    // Stream time covered by the output, in ms.
    uint32_t coveredMs() const { return hasFirst ? reached - first : 0; }
    // Where the stream's own content ends: the sound's last sample, the last
    // picture's start plus one frame period (the plug-in stretches the last
    // picture to the movie's end, whatever the file held).
    virtual uint32_t contentEndMs() const { return reached; }

protected:
    DecodeSink(StreamInterface& stream, DecodeRange range) : stream(stream), range(range), reached(range.fromMs) {}
    void noteChunk(uint32_t startMs, uint32_t endMs);

    StreamInterface& stream;
    DecodeRange range;
    bool finished = false;
    uint32_t reached;
    uint32_t first = 0;
    bool hasFirst = false;
};

class AudioSink : public DecodeSink {
public:
    AudioSink(StreamInterface& stream, const StreamDescription& description, const std::string& path,
              const OutputRules& rules, DecodeRange range);
    void readOnce() override;
    void finish() override;
    std::string summary() const override;

private:
    StreamDescription description;
    WavWriter wav;
    uint64_t chunks = 0;
    int emptyInARow = 0;
};

class VideoSink : public DecodeSink {
public:
    // path: the Y4M file, or for ARGB video the path of the PNG frames
    // without ".png" (each frame adds "-000001.png", ...).
    VideoSink(StreamInterface& stream, const StreamDescription& description, const std::string& path,
              const OutputRules& rules, DecodeRange range);
    void readOnce() override;
    void finish() override;
    std::string summary() const override;
    uint32_t contentEndMs() const override;

private:
    void write(const uint8_t* frame);

    StreamDescription description;
    std::string path;
    OutputRules rules;
    std::unique_ptr<Y4mWriter> y4m;  // for YUV video
    FrameTiming timing;              // the rate over all the frames written
    uint64_t frames = 0;
    uint32_t lastStart = 0;
};

} // namespace Qel::Cli
