#include "output/WavWriter.h"

#include <algorithm>
#include <limits>

namespace Qel::Cli {

namespace {

constexpr uint16_t kBitsPerSample = 16;
constexpr uint32_t kHeaderBytesAfterSize = 36;  // "WAVE", the fmt chunk, the data chunk's header
constexpr uint32_t kUnknownSize = 0xFFFFFFFF;

void put16(std::string& out, uint16_t value)
{
    out += char(value & 0xFF);
    out += char(value >> 8);
}

void put32(std::string& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out += char((value >> shift) & 0xFF);
}

} // namespace

WavWriter::WavWriter(const std::string& path, const OutputRules& rules, uint32_t sampleRate, uint16_t channels)
    : out(path, rules), sampleRate(sampleRate), channels(channels)
{
    const std::string start = header(false);
    out.write(start.data(), start.size());
}

std::string WavWriter::header(bool sizesKnown) const
{
    // A RIFF file cannot describe more than 4 GiB; the sizes saturate there.
    const uint32_t data = uint32_t(std::min<uint64_t>(dataBytes, std::numeric_limits<uint32_t>::max() -
                                                                      kHeaderBytesAfterSize));
    const uint16_t blockAlign = uint16_t(channels * kBitsPerSample / 8);
    std::string bytes = "RIFF";
    put32(bytes, sizesKnown ? data + kHeaderBytesAfterSize : kUnknownSize);
    bytes += "WAVEfmt ";
    put32(bytes, 16);
    put16(bytes, 1);  // integer PCM
    put16(bytes, channels);
    put32(bytes, sampleRate);
    put32(bytes, sampleRate * blockAlign);
    put16(bytes, blockAlign);
    put16(bytes, kBitsPerSample);
    bytes += "data";
    put32(bytes, sizesKnown ? data : kUnknownSize);
    return bytes;
}

void WavWriter::write(const uint8_t* bytes, size_t count)
{
    out.write(bytes, count);
    dataBytes += count;
}

void WavWriter::finish()
{
    out.rewriteStart(header(true));
    out.commit();
}

} // namespace Qel::Cli
