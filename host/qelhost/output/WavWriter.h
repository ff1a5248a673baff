// Writes 16-bit PCM as a RIFF WAVE file. Until finish() the header's sizes
// say "unknown length" (0xFFFFFFFF, read as "up to the end of the file"),
// which is also what stays when the output is a pipe; finish() writes the
// real sizes where the output can seek, then commits the file.
#pragma once

#include <cstdint>
#include <string>

#include "output/OutputFile.h"

namespace Qel::Cli {

class WavWriter {
public:
    // Throws CommandError when the file may not or cannot be created.
    WavWriter(const std::string& path, const OutputRules& rules, uint32_t sampleRate, uint16_t channels);

    void write(const uint8_t* bytes, size_t count);
    // Completes the header and commits the file; throws when writing failed.
    void finish();

    uint64_t bytesWritten() const { return dataBytes; }
    std::string path() const { return out.name(); }

private:
    std::string header(bool sizesKnown) const;

    OutputFile out;
    uint32_t sampleRate;
    uint16_t channels;
    uint64_t dataBytes = 0;
};

} // namespace Qel::Cli
