#include "synthetic/SyntheticDocument.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "synthetic/DocumentReading.h"
#include "source/PixelLayout.h"
#include "synthetic/SyntheticPattern.h"

namespace QelRuntime {

using nlohmann::json;
using namespace DocumentReading;

namespace {

constexpr int32_t kMaxPictureSide = 4096;
constexpr int32_t kMaxRowPadding = 256;
constexpr int32_t kMaxSamples = 1000000;
constexpr int32_t kFixedOne = 0x10000;

SyntheticVideo readVideoFormat(const json& video)
{
    checkKeys(video, {"compression", "width", "height", "depth", "rowPadding", "descriptionDataSize"}, "video");
    SyntheticVideo format;
    format.compression = readCode(required(video, "compression", "video"), "video.compression");
    format.width = readInt(video, "width", -1, 0, kMaxPictureSide);
    format.height = readInt(video, "height", -1, 0, kMaxPictureSide);
    // The two pixels of a 4:2:2 pair share their chroma: an odd width would
    // leave the last pixel without its V byte.
    if (SyntheticPattern::bytesPerPixel(format.compression) == 2 && format.width % 2 != 0)
        throw std::runtime_error("'yuvs' and '2vuy' video needs an even width");
    format.depth = readInt(video, "depth", format.compression == SyntheticPattern::kArgb ? 32 : 24, 1, 64);
    if (format.compression == SyntheticPattern::kRaw && format.depth != 24 && format.depth != 32)
        throw std::runtime_error("'raw ' video needs depth 24 or 32");
    int32_t padding = readInt(video, "rowPadding", 0, 0, kMaxRowPadding);
    if (isRawFormat(format.compression)) {
        format.rowBytes = minimumRowBytes(format.compression, format.depth, format.width) + padding;
        format.sampleSize = SyntheticPattern::pictureSize(format.compression, format.height, format.rowBytes);
    } else {
        format.sampleSize = kTokenSize;
    }
    format.descriptionDataSize = readInt(video, "descriptionDataSize", format.sampleSize, 0, INT32_MAX);
    return format;
}

QtImageDescription describe(const SyntheticVideo& video)
{
    QtImageDescription description{};
    description.size = int32_t(sizeof(QtImageDescription));
    description.compressionType = video.compression;
    description.dataReferenceIndex = 1;
    description.vendor = fourCc('a', 'p', 'p', 'l');
    description.width = int16_t(video.width);
    description.height = int16_t(video.height);
    description.horizontalResolution = 72 * kFixedOne;
    description.verticalResolution = 72 * kFixedOne;
    description.dataSize = video.descriptionDataSize;
    description.frameCount = 1;
    const char name[] = "Synthetic";
    description.name[0] = uint8_t(sizeof(name) - 1);
    std::memcpy(description.name + 1, name, sizeof(name) - 1);
    description.depth = int16_t(video.depth);
    description.colorTableId = -1;
    return description;
}

std::vector<SampleEntry> readRegularSamples(const json& table)
{
    checkKeys(table, {"count", "duration", "syncEvery", "start"}, "samples");
    int32_t count = readInt(table, "count", -1, 0, kMaxSamples);
    int32_t duration = readInt(table, "duration", -1, 1, INT32_MAX);
    int32_t syncEvery = readInt(table, "syncEvery", 1, 1, INT32_MAX);
    int32_t start = readInt(table, "start", 0, 0, INT32_MAX);
    if (count > 0 && int64_t(start) + int64_t(count) * duration > INT32_MAX)
        throw std::runtime_error("samples end past the largest movie time");
    std::vector<SampleEntry> samples(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i)
        samples[size_t(i)] = {start + i * duration, duration, i % syncEvery == 0, 0};
    return samples;
}

std::vector<SampleEntry> readExplicitSamples(const json& list)
{
    if (list.size() > size_t(kMaxSamples))
        throw std::runtime_error("too many samples");
    std::vector<SampleEntry> samples;
    int64_t previousEnd = 0;
    for (const json& entry : list) {
        checkKeys(entry, {"time", "duration", "sync"}, "sample");
        SampleEntry sample;
        sample.time = readInt(entry, "time", -1, 0, INT32_MAX);
        sample.duration = readInt(entry, "duration", -1, 1, INT32_MAX);
        sample.sync = readBool(entry, "sync", true);
        if (sample.time < previousEnd)
            throw std::runtime_error("samples must be in time order without overlaps");
        previousEnd = int64_t(sample.time) + sample.duration;
        if (previousEnd > INT32_MAX)
            throw std::runtime_error("samples end past the largest movie time");
        samples.push_back(sample);
    }
    return samples;
}

// A seed change: the first sample of a new description, and the format of
// the samples from there on. An entry is a sample index (the format stays)
// or an object whose keys replace those of the track's "video" object.
struct SeedChange {
    int32_t sample = 0;
    SyntheticVideo video;
};

SeedChange readSeedChange(const json& entry, const json& trackVideo)
{
    if (!entry.is_object())
        return {intValue(entry, "seedChanges", 0, kMaxSamples), readVideoFormat(trackVideo)};
    checkKeys(entry, {"sample", "compression", "depth", "rowPadding", "descriptionDataSize"}, "seedChanges");
    json video = trackVideo;
    for (const auto& [key, value] : entry.items())
        if (key != "sample")
            video[key] = value;
    if (entry.contains("compression") && !entry.contains("depth"))
        video.erase("depth");  // the new compression's own default
    return {readInt(entry, "sample", -1, 0, kMaxSamples), readVideoFormat(video)};
}

// Sample i uses description k, the number of seed changes at or before i;
// of two changes at one sample the first counts.
void readVideoTrack(const json& track, TrackModel& model, SyntheticTrack& synthetic)
{
    const json& trackVideo = required(track, "video", "video track");
    std::vector<SeedChange> changes;
    if (track.contains("seedChanges"))
        for (const json& entry : track.at("seedChanges"))
            changes.push_back(readSeedChange(entry, trackVideo));
    const auto bySample = [](const SeedChange& a, const SeedChange& b) { return a.sample < b.sample; };
    std::stable_sort(changes.begin(), changes.end(), bySample);
    changes.erase(std::unique(changes.begin(), changes.end(),
                              [](const SeedChange& a, const SeedChange& b) { return a.sample == b.sample; }),
                  changes.end());
    synthetic.videos = {readVideoFormat(trackVideo)};
    for (const SeedChange& change : changes)
        synthetic.videos.push_back(change.video);
    model.descriptions.clear();
    for (const SyntheticVideo& video : synthetic.videos)
        model.descriptions.push_back(describe(video));
    for (size_t i = 0; i < model.samples.size(); ++i)
        model.samples[i].descriptionIndex = int32_t(
            std::upper_bound(changes.begin(), changes.end(), SeedChange{int32_t(i), {}}, bySample) - changes.begin());
}

void readAudioTrack(const json& audio, TrackModel& model, SyntheticTrack& synthetic)
{
    checkKeys(audio, {"sampleRate", "channels", "frames", "phase"}, "audio");
    AudioFormat format;
    format.sampleRate = required(audio, "sampleRate", "audio").get<double>();
    if (!std::isfinite(format.sampleRate) || format.sampleRate <= 0 || format.sampleRate > 1e6)
        throw std::runtime_error("audio.sampleRate must be above 0 and at most 1000000");
    format.channels = readInt(audio, "channels", -1, 1, 8);
    format.frames = readInt64(audio, "frames", -1, 0, INT64_C(1) << 40);
    synthetic.audioPhase = readInt64(audio, "phase", 0, -(INT64_C(1) << 40), INT64_C(1) << 40);
    model.audio = format;
}

bool isVideoCode(const std::optional<QtOSType>& code)
{
    return code && (*code == fourCc('v', 'i', 'd', 'e') || *code == fourCc('m', '1', 'v', ' '));
}

void readTrack(const json& track, TrackModel& model, SyntheticTrack& synthetic)
{
    checkKeys(track, {"type", "enabled", "mediaTimeScale", "video", "audio", "samples", "seedChanges"}, "track");
    const json& type = required(track, "type", "track");
    if (!type.is_null())
        model.mediaType = readCode(type, "track.type");
    model.enabled = readBool(track, "enabled", true);
    model.mediaTimeScale = readInt(track, "mediaTimeScale", 0, 0, INT32_MAX);
    if (track.contains("samples")) {
        const json& samples = track.at("samples");
        model.samples = samples.is_array() ? readExplicitSamples(samples) : readRegularSamples(samples);
    }
    if (isVideoCode(model.mediaType) || track.contains("video")) {
        if (!track.contains("samples"))
            throw std::runtime_error("a video track needs samples");
        readVideoTrack(track, model, synthetic);
    }
    if (model.mediaType == fourCc('s', 'o', 'u', 'n') || track.contains("audio"))
        readAudioTrack(required(track, "audio", "sound track"), model, synthetic);
}

QtTimeValue trackEnd(const TrackModel& track, int32_t timeScale)
{
    int64_t end = 0;
    if (!track.samples.empty())
        end = int64_t(track.samples.back().time) + track.samples.back().duration;
    if (track.audio)
        end = std::max<int64_t>(end, int64_t(std::ceil(double(track.audio->frames) * timeScale /
                                                       track.audio->sampleRate)));
    return QtTimeValue(std::min<int64_t>(end, INT32_MAX));
}

void readUserData(const json& document, MovieModel& model)
{
    if (!document.contains("userData") || document.at("userData").is_null())
        return;
    const json& userData = document.at("userData");
    checkKeys(userData, {"name", "ctyp"}, "userData");
    UserDataModel items;
    if (userData.contains("name"))
        items.name = userData.at("name").get<std::string>();
    if (userData.contains("ctyp"))
        items.ctyp = readCode(userData.at("ctyp"), "userData.ctyp");
    model.userData = items;
}

void readMovie(const json& document, SyntheticMovie& movie)
{
    checkKeys(document, {"qelSyntheticMovie", "timeScale", "duration", "userData", "tracks", "faults"},
              "movie");
    MovieModel& model = movie.model;
    model.timeScale = readInt(document, "timeScale", 600, INT32_MIN, INT32_MAX);
    readUserData(document, model);
    if (document.contains("tracks"))
        for (const json& track : document.at("tracks")) {
            model.tracks.emplace_back();
            movie.tracks.emplace_back();
            readTrack(track, model.tracks.back(), movie.tracks.back());
        }
    QtTimeValue end = 0;
    for (const TrackModel& track : model.tracks)
        end = std::max(end, trackEnd(track, model.timeScale));
    model.duration = readInt(document, "duration", end, 0, INT32_MAX);
    if (document.contains("faults"))
        model.faults = readFaults(document.at("faults"));
}

} // namespace

bool isSyntheticDocument(const std::string& text)
{
    json document = json::parse(text, nullptr, false);
    return document.is_object() && document.contains("qelSyntheticMovie") &&
           document.at("qelSyntheticMovie") == 1;
}

bool parseSyntheticMovie(const std::string& text, SyntheticMovie& movie, std::string& error)
{
    try {
        json document = json::parse(text);
        if (!document.is_object() || !document.contains("qelSyntheticMovie") ||
            document.at("qelSyntheticMovie") != 1)
            throw std::runtime_error("not marked with \"qelSyntheticMovie\": 1");
        movie = SyntheticMovie{};
        readMovie(document, movie);
        return true;
    } catch (const std::exception& failure) {
        error = failure.what();
        return false;
    }
}

} // namespace QelRuntime
