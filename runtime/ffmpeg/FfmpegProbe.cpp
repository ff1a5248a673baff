#include "FfmpegProbe.h"

#include "FfmpegLibraries.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace Qel {

namespace {

// Enough for every container's signature, and for several packs of an MPEG
// program stream.
constexpr size_t kProbeBytes = 64 * 1024;

bool endsWith(const std::string& text, const char* suffix)
{
    const size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

} // namespace

bool isRefusedDemuxer(const char* name)
{
    static const char* const refused[] = {"image2", "tty", "concat", "hls", "dash", "sdp",
                                          "ffmetadata", "webm_dash_manifest", "lavfi", "rtsp"};
    const std::string demuxer(name ? name : "");
    if (demuxer.empty() || endsWith(demuxer, "_pipe"))
        return true;
    for (const char* candidate : refused) {
        if (demuxer == candidate)
            return true;
    }
    return false;
}

bool ffmpegRecognisesMovie(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::vector<unsigned char> bytes(kProbeBytes + AVPROBE_PADDING_SIZE, 0);
    const size_t read = std::fread(bytes.data(), 1, kProbeBytes, file);
    std::fclose(file);
    if (read == 0)
        return false;

    AVProbeData probe{};
    probe.filename = path.c_str();
    probe.buf = bytes.data();
    probe.buf_size = int(read);
    int score = 0;
    const AVInputFormat* format = av_probe_input_format3(&probe, 1, &score);
    // Above the score at which FFmpeg itself would read more bytes and retry:
    // a match on the name's extension alone is not enough.
    return format && score > AVPROBE_SCORE_RETRY && !isRefusedDemuxer(format->name);
}

} // namespace Qel
