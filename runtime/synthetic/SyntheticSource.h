// The movie source of synthetic movies: JSON documents whose content is
// made from the functions of SyntheticPattern.h.
#pragma once

#include <memory>
#include <string>

#include "source/MovieSource.h"
#include "synthetic/SyntheticDocument.h"

namespace QelRuntime {

class SyntheticSource : public MovieSource {
public:
    explicit SyntheticSource(SyntheticMovie movie) : movie(std::move(movie)) {}

    const MovieModel& model() const override { return movie.model; }
    QtStatus videoSample(int32_t trackIndex, int32_t sample, SampleBytes& bytes) override;
    QtStatus decodePicture(int32_t trackIndex, const uint8_t* data, int32_t size,
                           const SurfaceView& target) override;
    void audioFrames(int32_t trackIndex, int64_t first, int32_t count, int16_t* interleaved) override;

private:
    SyntheticMovie movie;
};

class SyntheticSourceFactory : public MovieSourceFactory {
public:
    bool accepts(const std::string& path) const override;
    std::unique_ptr<MovieSource> open(const std::string& path, std::string& error) const override;
    std::vector<Fault> fileFaults(const std::string& path) const override;
};

} // namespace QelRuntime
