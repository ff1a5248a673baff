#include "FfmpegModel.h"

#include "FfmpegCodecCodes.h"
#include "FfmpegLargeTables.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace Qel::Runtime {

namespace {

constexpr int32_t k72DotsPerInch = 72 << 16;

QtTimeValue clampTime(int64_t value)
{
    return QtTimeValue(std::clamp<int64_t>(value, 0, std::numeric_limits<int32_t>::max()));
}

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

TrackModel trackModelOf(const FfmpegMovie& movie, const FfmpegTrack& track)
{
    TrackModel model;
    model.mediaType = track.mediaType;
    if (track.mediaType == kVideoMediaType || track.mediaType == kMpegVideoMediaType)
        model.descriptions.push_back(imageDescriptionOf(track));
    if (track.mediaType == kSoundMediaType) {
        AudioFormat format;
        format.sampleRate = track.sampleRate;
        format.channels = track.channels;
        format.frames = int64_t(std::ceil(double(track.duration) * track.sampleRate / movie.timeScale()));
        model.audio = format;
    }
    reserveLargeTable(model.samples, track.samples.size());
    for (const FfmpegSample& sample : track.samples) {
        SampleEntry& entry = model.samples.emplace_back();  // in place: see FfmpegLargeTables.h
        entry.time = clampTime(sample.time);
        entry.duration = clampTime(sample.duration);
        entry.sync = sample.sync;
    }
    return model;
}

} // namespace

MovieModel modelOf(const FfmpegMovie& movie)
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
    for (const FfmpegTrack& track : movie.tracks())
        model.tracks.push_back(trackModelOf(movie, track));
    return model;
}

} // namespace Qel::Runtime
