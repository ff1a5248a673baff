#include "formats/FfmpegContainers.h"

#include "FfmpegLibraries.h"

#include <cstring>
#include <string>

namespace QelRuntime {

namespace {

// A row applies to a demuxer one of whose comma-separated names equals
// `demuxer` ("mov" is "mov,mp4,m4a,3gp,3g2,mj2"). A substring would not do:
// "ipmovie" and "wc3movie" contain "mov" and are not QuickTime.
struct ContainerRow {
    const char* demuxer;
    FfmpegContainerTraits traits;
};

constexpr FfmpegContainerTraits completeIndex(FfmpegContainerTraits traits)
{
    traits.rewind = FfmpegRewind::ToFirstIndexEntry;
    traits.indexesEveryPacket = true;
    return traits;
}

constexpr FfmpegContainerTraits quickTime()
{
    FfmpegContainerTraits traits;
    // QuickTime and MP4 mark each track enabled or not.
    traits.marksTracksEnabled = true;
    // The header describes every stream and indexes every packet (unless
    // FFmpeg found no header: see containerTraitsOf).
    traits.headerDescribesStreams = true;
    // A timestamp seek to the first entry reads again the priming that an
    // edit list trims.
    return completeIndex(traits);
}

constexpr FfmpegContainerTraits avi()
{
    FfmpegContainerTraits traits;
    // AVI keeps its index at the end of the file: a recording cut short
    // before it was written has none, and probing then indexes the packets
    // it reads.
    traits.indexAtFileEnd = true;
    // AVI stores no composition times: reordered pictures are ordered by
    // their bytes, which the file's scan reads.
    traits.pictureOrderInBytes = true;
    // AVI's index counts fixed-size sound in bytes and variable-rate sound
    // in chunks, and its header declares a sound stream's length as its
    // muxer counted it, which may lie past the sound its chunks hold (41
    // MPEG audio frames declared for 39 stored, where the pictures are
    // reordered).
    traits.indexCountsSoundInBytesOrChunks = true;
    // FFmpeg's AVI demuxer, seeking to a picture whose predecessor was
    // dropped (an empty chunk, as capture software writes for a frame it
    // missed), times it and every picture read after it one frame late.
    traits.timesPicturesByIndexEntry = true;
    // A timestamp seek keeps the packets' times exact, which a byte seek
    // loses.
    return completeIndex(traits);
}

constexpr FfmpegContainerTraits rewoundByTime()
{
    FfmpegContainerTraits traits;
    traits.rewind = FfmpegRewind::ToFirstSampleTime;
    return traits;
}

constexpr FfmpegContainerTraits mxf()
{
    FfmpegContainerTraits traits;
    // An MXF index without temporal offsets (ffmpeg's for H.264) gives every
    // packet its decoding time as its presentation time.
    traits.pictureOrderInBytesForH264Only = true;
    return traits;
}

constexpr FfmpegContainerTraits mpegSystemStream()
{
    FfmpegContainerTraits traits;
    traits.isMpegSystemStream = true;
    return traits;
}

// Elsewhere the index covers only what the demuxer has met, and the start
// of the file is byte 0.
constexpr ContainerRow kContainers[] = {
    {"mov", quickTime()},  // "mov,mp4,m4a,3gp,3g2,mj2"
    {"avi", avi()},
    // Matroska's first cues lead to its start, while a byte seek there
    // resumes at the next cluster, past the first half second.
    {"matroska", rewoundByTime()},  // and WebM
    // In ASF a byte seek resumes at the second data packet.
    {"asf", rewoundByTime()},
    // Raw DV (not DV inside another container) holds the sound of the last
    // frame it read, and counts its frames, across a byte seek: the sound
    // of the frame where the movie's probing stopped would come first,
    // timed as that frame.
    {"dv", rewoundByTime()},
    {"mxf", mxf()},
    {"mpeg", mpegSystemStream()},
    {"mpegts", mpegSystemStream()},
    {"mpegvideo", mpegSystemStream()},
};

bool endsWith(const std::string& text, const char* suffix)
{
    const size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

bool matches(const ContainerRow& row, const char* names)
{
    const std::size_t length = std::strlen(row.demuxer);
    for (const char* name = names; name; name = std::strchr(name, ',')) {
        if (*name == ',')
            ++name;
        if (std::strncmp(name, row.demuxer, length) == 0 && (name[length] == ',' || name[length] == '\0'))
            return true;
    }
    return false;
}

} // namespace

FfmpegContainerTraits containerTraitsOf(const AVFormatContext* format)
{
    for (const ContainerRow& row : kContainers) {
        if (!matches(row, format->iformat->name))
            continue;
        FfmpegContainerTraits traits = row.traits;
        if (format->ctx_flags & AVFMTCTX_NOHEADER)
            traits.headerDescribesStreams = false;
        return traits;
    }
    return {};
}

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

} // namespace QelRuntime
