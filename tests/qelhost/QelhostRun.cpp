#include "QelhostRun.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "PluginModule.h"

namespace Qel::Testing {

namespace {

uint32_t little(const std::vector<uint8_t>& bytes, size_t at, int count)
{
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[at + size_t(i)];
    return value;
}

// "W64" from the header's words: the text after the letter.
std::string headerField(const std::string& header, char letter)
{
    std::istringstream words(header);
    std::string word;
    while (words >> word) {
        if (word[0] == letter)
            return word.substr(1);
    }
    return std::string();
}

size_t frameBytes(const Y4mFile& file)
{
    const size_t luma = size_t(file.width) * size_t(file.height);
    if (file.chroma == "422")
        return luma + 2 * size_t((file.width + 1) / 2) * size_t(file.height);
    return luma + 2 * size_t(file.width / 2) * size_t(file.height / 2);
}

} // namespace

std::string qelhostPath(const std::string& folder)
{
    std::string base = folder.empty() ? Host::PluginModule::programFolder() : folder;
    if (!base.empty() && base.back() != '/' && base.back() != '\\')
        base += Host::PluginModule::kSeparator;
    return base + kQelhostFileName;
}

std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

WavFile readWav(const std::string& path)
{
    WavFile wav;
    const std::vector<uint8_t> bytes = readBytes(path);
    if (bytes.size() < 44 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVEfmt ", 8) != 0 ||
        std::memcmp(bytes.data() + 36, "data", 4) != 0)
        return wav;
    const uint32_t riffSize = little(bytes, 4, 4);
    const uint32_t dataSize = little(bytes, 40, 4);
    const uint16_t format = uint16_t(little(bytes, 20, 2));
    wav.channels = uint16_t(little(bytes, 22, 2));
    wav.sampleRate = little(bytes, 24, 4);
    const uint32_t byteRate = little(bytes, 28, 4);
    const uint16_t bits = uint16_t(little(bytes, 34, 2));
    if (format != 1 || bits != 16 || riffSize != bytes.size() - 8 || dataSize != bytes.size() - 44 ||
        byteRate != wav.sampleRate * wav.channels * 2 || dataSize % (2u * wav.channels) != 0)
        return wav;
    wav.samples.resize(dataSize / 2);
    if (dataSize != 0) // an empty vector's data() may be null, which memcpy must not get
        std::memcpy(wav.samples.data(), bytes.data() + 44, dataSize);
    wav.valid = true;
    return wav;
}

Y4mFile readY4m(const std::string& path)
{
    Y4mFile file;
    const std::vector<uint8_t> bytes = readBytes(path);
    const auto newline = std::find(bytes.begin(), bytes.end(), uint8_t('\n'));
    const std::string header(bytes.begin(), newline);
    if (newline == bytes.end() || header.rfind("YUV4MPEG2 ", 0) != 0)
        return file;
    file.width = std::stoi("0" + headerField(header, 'W'));
    file.height = std::stoi("0" + headerField(header, 'H'));
    file.rate = headerField(header, 'F');
    file.chroma = headerField(header, 'C');
    const size_t size = frameBytes(file);
    size_t at = size_t(newline - bytes.begin()) + 1;
    while (at < bytes.size()) {
        if (bytes.size() - at < 6 + size || std::memcmp(bytes.data() + at, "FRAME\n", 6) != 0)
            return file;
        at += 6;
        file.frames.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + size));
        at += size;
    }
    file.valid = true;
    return file;
}

} // namespace Qel::Testing
