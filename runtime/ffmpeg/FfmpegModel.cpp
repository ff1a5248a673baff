#include "FfmpegModel.h"

#include "codecs/FfmpegCodecCodes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace QelRuntime {

namespace {

constexpr int32_t k72DotsPerInch = 72 << 16;

QtImageDescription imageDescriptionOf(const FfmpegTrack& track)
{
    QtImageDescription description{};
    description.size = int32_t(sizeof description);
    description.compressionType = track.compressionType;
    description.width = track.width;
    description.height = track.height;
    description.horizontalResolution = k72DotsPerInch;
    description.verticalResolution = k72DotsPerInch;
    description.dataSize = track.descriptionDataSize;
    description.frameCount = 1;
    description.depth = track.depth;
    description.colorTableId = -1;
    return description;
}

// The stream's own time base as the media's time scale, in which export
// sources exchange times, where it is one unit of a whole scale at least as
// fine as the movie's (so that every sample time in movie units converts
// there and back exactly) and the movie fits 32-bit times in it; otherwise
// the movie's.
int32_t mediaTimeScaleOf(const FfmpegMovie& movie, const FfmpegTrack& track)
{
    const int64_t scale = track.timeBase.den;
    const bool fine = track.timeBase.num == 1 && scale >= movie.timeScale();
    return fine && int64_t(movie.duration()) * scale / movie.timeScale() < INT32_MAX ? int32_t(scale) : 0;
}

TrackModel trackModelOf(const FfmpegMovie& movie, const FfmpegTrack& track, std::vector<SampleEntry> samples)
{
    TrackModel model;
    model.mediaType = track.mediaType;
    model.enabled = track.enabled;
    model.mediaTimeScale = mediaTimeScaleOf(movie, track);
    if (track.mediaType == kVideoMediaType || track.mediaType == kMpegVideoMediaType)
        model.descriptions.push_back(imageDescriptionOf(track));
    if (track.mediaType == kSoundMediaType) {
        AudioFormat format;
        format.sampleRate = track.sampleRate;
        format.channels = track.channels;
        format.frames = int64_t(std::ceil(double(track.duration) * track.sampleRate / movie.timeScale()));
        model.audio = format;
    }
    model.samples = std::move(samples);
    return model;
}

} // namespace

MovieModel modelOf(const FfmpegMovie& movie, std::vector<std::vector<SampleEntry>> sampleTables)
{
    MovieModel model;
    model.timeScale = movie.timeScale();
    model.duration = movie.duration();
    if (!movie.title().empty() || movie.contentType()) {
        UserDataModel userData;
        if (!movie.title().empty())
            userData.name = movie.title();
        userData.ctyp = movie.contentType();
        model.userData = userData;
    }
    for (size_t i = 0; i < movie.tracks().size(); ++i)
        model.tracks.push_back(trackModelOf(movie, movie.tracks()[i], std::move(sampleTables[i])));
    return model;
}

} // namespace QelRuntime
