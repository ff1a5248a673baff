#include "synthetic/SyntheticSource.h"

#include <algorithm>

#include "source/MovieFile.h"
#include "source/PixelLayout.h"
#include "source/RuntimeStatus.h"
#include "synthetic/SyntheticPattern.h"

namespace QelRuntime {

using namespace SyntheticPattern;

namespace {

// Synthetic documents are small; anything larger is some other file.
constexpr size_t kMaxDocumentSize = 16 << 20;
constexpr char kTokenMagic[] = {'Q', 'E', 'L', 'C'};

// A synthetic document starts with '{' after white space.
bool readDocument(const std::string& path, std::string& text)
{
    std::string start;
    if (!readFileStart(path, 4096, start))
        return false;
    size_t first = start.find_first_not_of(" \t\r\n");
    return first != std::string::npos && start[first] == '{' && readWholeFile(path, kMaxDocumentSize, text);
}

void writeBigEndian(uint8_t* at, uint32_t value, int32_t bytes)
{
    for (int32_t i = 0; i < bytes; ++i)
        at[i] = uint8_t(value >> (8 * (bytes - 1 - i)));
}

uint32_t readBigEndian(const uint8_t* at, int32_t bytes)
{
    uint32_t value = 0;
    for (int32_t i = 0; i < bytes; ++i)
        value = (value << 8) | at[i];
    return value;
}

template <class PixelAt>
void draw(const SyntheticVideo& video, const SurfaceView& target, PixelAt pixelAt)
{
    int32_t width = std::min(video.width, target.width);
    int32_t height = std::min(video.height, target.height);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            writePixel(target, x, y, pixelAt(x, y));
}

} // namespace

QtStatus SyntheticSource::videoSample(int32_t trackIndex, int32_t sample, SampleBytes& bytes)
{
    const TrackModel& track = movie.model.tracks[size_t(trackIndex - 1)];
    const int32_t description = track.samples[size_t(sample)].descriptionIndex;
    const SyntheticVideo& video = movie.tracks[size_t(trackIndex - 1)].videos[size_t(description)];
    auto owned = std::make_shared<std::vector<uint8_t>>();
    if (isRawFormat(video.compression)) {
        *owned = expectedPicture(video.compression, video.depth, video.width, video.height, video.rowBytes, sample);
    } else {
        owned->assign(size_t(kTokenSize), 0);
        std::copy(std::begin(kTokenMagic), std::end(kTokenMagic), owned->begin());
        writeBigEndian(owned->data() + 4, uint32_t(sample), 4);
        writeBigEndian(owned->data() + 8, uint32_t(video.width), 2);
        writeBigEndian(owned->data() + 10, uint32_t(video.height), 2);
    }
    bytes = {owned->data(), owned->size(), owned};
    return 0;
}

// Raw data carry no format of their own: they are read in the format of the
// track's first raw description whose samples have their size, or else of
// its first description. Tokens name their sample.
QtStatus SyntheticSource::decodePicture(int32_t trackIndex, const uint8_t* data, int32_t size,
                                        const SurfaceView& target)
{
    const std::vector<SyntheticVideo>& videos = movie.tracks[size_t(trackIndex - 1)].videos;
    auto sameSize = std::find_if(videos.begin(), videos.end(), [size](const SyntheticVideo& video) {
        return isRawFormat(video.compression) && video.sampleSize == size;
    });
    const SyntheticVideo& video = sameSize != videos.end() ? *sameSize : videos.front();
    if (isRawFormat(video.compression)) {
        if (size < video.sampleSize)
            return kQtBadCompressedData;
        PictureLayout layout{video.compression, video.depth, video.width, video.height, video.rowBytes};
        draw(video, target, [&](int32_t x, int32_t y) { return readPixel(data, layout, x, y); });
        return 0;
    }
    if (size < kTokenSize || !std::equal(std::begin(kTokenMagic), std::end(kTokenMagic), data) ||
        readBigEndian(data + 8, 2) != uint32_t(video.width) || readBigEndian(data + 10, 2) != uint32_t(video.height))
        return kQtBadCompressedData;
    int32_t sample = int32_t(readBigEndian(data + 4, 4));
    draw(video, target, [&](int32_t x, int32_t y) {
        return Yuv{lumaAt(x, y, sample), chromaUAt(x, y, sample), chromaVAt(x, y, sample)};
    });
    return 0;
}

void SyntheticSource::audioFrames(int32_t trackIndex, int64_t first, int32_t count, int16_t* interleaved)
{
    const TrackModel& track = movie.model.tracks[size_t(trackIndex - 1)];
    int64_t phase = movie.tracks[size_t(trackIndex - 1)].audioPhase;
    int32_t channels = track.audio->channels;
    for (int32_t i = 0; i < count; ++i) {
        int64_t frame = first + i;
        bool inside = frame >= 0 && frame < track.audio->frames;
        for (int32_t c = 0; c < channels; ++c)
            interleaved[size_t(i) * size_t(channels) + size_t(c)] = inside ? pcmValue(frame, c, phase) : 0;
    }
}

bool SyntheticSourceFactory::accepts(const std::string& path) const
{
    std::string text;
    return readDocument(path, text) && isSyntheticDocument(text);
}

std::unique_ptr<MovieSource> SyntheticSourceFactory::open(const std::string& path, std::string& error) const
{
    std::string text;
    if (!readDocument(path, text)) {
        error = "not a synthetic movie document";
        return nullptr;
    }
    SyntheticMovie movie;
    if (!parseSyntheticMovie(text, movie, error))
        return nullptr;
    return std::make_unique<SyntheticSource>(std::move(movie));
}

std::vector<Fault> SyntheticSourceFactory::fileFaults(const std::string& path) const
{
    std::string text;
    SyntheticMovie movie;
    std::string error;
    if (!readDocument(path, text) || !parseSyntheticMovie(text, movie, error))
        return {};
    return movie.model.faults;
}

} // namespace QelRuntime
