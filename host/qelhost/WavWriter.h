// Writes 16-bit PCM as a RIFF WAVE file. The sizes in the header are filled
// in by finish(); a file that was never finished has zero sizes.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

namespace Qel::Cli {

class WavWriter {
public:
    // Throws CommandError when the file cannot be created.
    WavWriter(const std::string& path, uint32_t sampleRate, uint16_t channels);
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    void write(const uint8_t* bytes, size_t count);
    // Completes the header and closes the file; throws when writing failed.
    void finish();

    uint64_t bytesWritten() const { return dataBytes; }
    const std::string& path() const { return filePath; }

private:
    void writeHeader();

    std::string filePath;
    std::ofstream out;
    uint32_t sampleRate;
    uint16_t channels;
    uint64_t dataBytes = 0;
    bool finished = false;
};

} // namespace Qel::Cli
