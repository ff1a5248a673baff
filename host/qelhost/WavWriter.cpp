#include "WavWriter.h"

#include <algorithm>
#include <limits>

#include "CommandError.h"

namespace Qel::Cli {

namespace {

constexpr uint16_t kBitsPerSample = 16;
constexpr uint32_t kHeaderBytesAfterSize = 36;  // "WAVE", the fmt chunk, the data chunk's header

void put16(std::ofstream& out, uint16_t value)
{
    const char bytes[2] = {char(value & 0xFF), char(value >> 8)};
    out.write(bytes, 2);
}

void put32(std::ofstream& out, uint32_t value)
{
    const char bytes[4] = {char(value & 0xFF), char((value >> 8) & 0xFF), char((value >> 16) & 0xFF),
                           char(value >> 24)};
    out.write(bytes, 4);
}

} // namespace

WavWriter::WavWriter(const std::string& path, uint32_t sampleRate, uint16_t channels)
    : filePath(path), out(path, std::ios::binary | std::ios::trunc), sampleRate(sampleRate), channels(channels)
{
    if (!out)
        throw CommandError(kExitFailed, "cannot create " + path);
    writeHeader();
}

WavWriter::~WavWriter()
{
    if (!finished && out.is_open()) {
        try {
            finish();
        } catch (const CommandError&) {
            // The error that unwound us is the one to report.
        }
    }
}

void WavWriter::writeHeader()
{
    // A RIFF file cannot describe more than 4 GiB; the sizes saturate there.
    const uint32_t data = uint32_t(std::min<uint64_t>(dataBytes, std::numeric_limits<uint32_t>::max() -
                                                                      kHeaderBytesAfterSize));
    const uint16_t blockAlign = uint16_t(channels * kBitsPerSample / 8);
    out.write("RIFF", 4);
    put32(out, data + kHeaderBytesAfterSize);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);  // integer PCM
    put16(out, channels);
    put32(out, sampleRate);
    put32(out, sampleRate * blockAlign);
    put16(out, blockAlign);
    put16(out, kBitsPerSample);
    out.write("data", 4);
    put32(out, data);
}

void WavWriter::write(const uint8_t* bytes, size_t count)
{
    out.write(reinterpret_cast<const char*>(bytes), std::streamsize(count));
    dataBytes += count;
}

void WavWriter::finish()
{
    finished = true;
    out.seekp(0);
    writeHeader();
    out.close();
    if (out.fail())
        throw CommandError(kExitFailed, "cannot write " + filePath);
}

} // namespace Qel::Cli
