// A movie opened by the FFmpeg movie source: the model that the runtime
// presents (time scale, duration, title, 'ctyp', tracks in file order with
// their sample tables and descriptions) and what the source's readers need to
// find each sample again in the file. The model's sample tables are the
// movie's own: a long movie's are not kept twice.
//
// Built once by open() (FfmpegMovieBuilder.cpp, the top of the source's
// opening) and immutable afterwards, so readers on any thread may
// share it. Readers (FfmpegPacketReader, FfmpegPictureDecoder,
// FfmpegAudioExtraction) open the file again for themselves, except the
// first, which may take over the demuxer that open() used; they must not
// outlive the movie.
#pragma once

#include "FfmpegLibraries.h"
#include "FfmpegTrack.h"
#include "formats/FfmpegContainers.h"
#include "source/MovieModel.h"
#include "QuickTimeInterface.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace QelRuntime {

class FfmpegMovie {
public:
    // Null when FFmpeg cannot open the file as a movie (damaged, truncated,
    // not a movie, no stream it can place). Throws std::bad_alloc only.
    static std::unique_ptr<FfmpegMovie> open(const std::string& path);

    const std::string& path() const { return path_; }
    int32_t timeScale() const { return timeScale_; }
    int32_t duration() const { return duration_; }
    const std::string& title() const { return title_; }
    std::optional<QtOSType> contentType() const { return contentType_; }
    const std::vector<FfmpegTrack>& tracks() const { return tracks_; }
    const MovieModel& model() const { return model_; }
    const FfmpegContainerTraits& container() const { return container_; }
    // The movie's time 0 in a stream's time base.
    int64_t originIn(FfmpegRational timeBase) const;
    // The last sample of the track whose time is at or before time (movie
    // units, not limited to the model's 31 bits); 0 when time lies before
    // the first sample.
    size_t sampleAtTime(const FfmpegTrack& track, int64_t time) const;

    // The demuxer that open() used, once, where its header describes every
    // stream; null afterwards and for other files. Its position is
    // anywhere: the taker seeks before reading.
    FormatContextPtr takeDemuxer() const;

private:
    friend class FfmpegMovieBuilder;
    FfmpegMovie() = default;

    std::string path_;
    int32_t timeScale_ = 600;
    int32_t duration_ = 0;
    std::string title_;
    std::optional<QtOSType> contentType_;
    FfmpegContainerTraits container_;
    std::vector<FfmpegTrack> tracks_;
    MovieModel model_;
    int64_t originValue_ = 0;  // time 0, in units of originBase_
    FfmpegRational originBase_{1, 1};
    mutable std::mutex spareLock_;
    mutable FormatContextPtr spareDemuxer_;
};

} // namespace QelRuntime
