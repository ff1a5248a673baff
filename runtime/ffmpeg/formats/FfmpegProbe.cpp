#include "formats/FfmpegProbe.h"

#include "FfmpegLibraries.h"
#include "formats/FfmpegContainers.h"

#include <algorithm>
#include <vector>

namespace QelRuntime {

namespace {

// Enough for every container's signature, and for several packs of an MPEG
// program stream.
constexpr size_t kProbeBytes = 64 * 1024;
constexpr size_t kFirstProbeBytes = 2048;

// Whether FFmpeg names a movie demuxer for these bytes, above the score at
// which FFmpeg itself would read more bytes and retry: a match on the name's
// extension alone is not enough.
bool recognisedAsMovie(const std::string& path, const unsigned char* data, size_t size)
{
    std::vector<unsigned char> padded(size + AVPROBE_PADDING_SIZE, 0);
    std::copy(data, data + size, padded.begin());
    AVProbeData probe{};
    probe.filename = path.c_str();
    probe.buf = padded.data();
    probe.buf_size = int(size);
    int score = 0;
    const AVInputFormat* format = av_probe_input_format3(&probe, 1, &score);
    return format && score > AVPROBE_SCORE_RETRY && !isRefusedDemuxer(format->name);
}

} // namespace

const std::string& acceptedDemuxerList()
{
    static const std::string list = [] {
        std::string names;
        void* iterator = nullptr;
        while (const AVInputFormat* format = av_demuxer_iterate(&iterator)) {
            if (isRefusedDemuxer(format->name))
                continue;
            if (!names.empty())
                names += ',';
            names += format->name;
        }
        return names;
    }();
    return list;
}

namespace {

// The file's first bytes, through FFmpeg's own file reader, which takes
// UTF-8 paths on every platform.
std::vector<unsigned char> headOf(const std::string& path)
{
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    AVIOContext* file = nullptr;
    const int opened = avio_open2(&file, path.c_str(), AVIO_FLAG_READ, nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        return {};
    std::vector<unsigned char> bytes(kProbeBytes);
    const int read = avio_read(file, bytes.data(), int(kProbeBytes));
    avio_closep(&file);
    bytes.resize(size_t(std::max(read, 0)));
    return bytes;
}

} // namespace

bool ffmpegRecognisesMovie(const std::string& path)
{
    const std::vector<unsigned char> bytes = headOf(path);
    const size_t read = bytes.size();
    if (read == 0)
        return false;

    // Every demuxer's probe runs over the bytes given, so asking about all
    // of them at once costs tens of millions of instructions. Like FFmpeg's
    // own open, start small and grow: a confident answer on a prefix is the
    // one FFmpeg's open reaches too. Anything else is decided on all of them.
    for (size_t size = kFirstProbeBytes; size < read; size *= 4) {
        if (recognisedAsMovie(path, bytes.data(), size))
            return true;
    }
    return recognisedAsMovie(path, bytes.data(), read);
}

} // namespace QelRuntime
