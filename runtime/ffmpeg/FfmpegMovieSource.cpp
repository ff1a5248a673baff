#include "FfmpegMovieSource.h"

#include "sound/FfmpegAudioExtraction.h"
#include "io/FfmpegMappedFile.h"
#include "FfmpegPacketReader.h"
#include "picture/FfmpegPictureDecoder.h"
#include "formats/FfmpegProbe.h"
#include "FfmpegStatus.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <limits>
#include <map>

namespace QelRuntime {

namespace {

// The mixed sound of the extraction's tracks, decoded on demand. Its length
// is known once decoding has reached the end; until then frames() is an
// upper bound.
//
// The tracks' decoders are opened when the renderer is made, at the output
// the plug-in asks for unless it chooses another (at most two channels), so
// that a track that cannot be decoded refuses the extraction itself: the
// sound of the others alone would be a wrong mix, and an empty sound a
// failure passed off as the end. The refusal is told once (on standard
// error) and answers every later fill; the decoders are not tried again.
class FfmpegSoundRenderer : public SoundRenderer {
public:
    FfmpegSoundRenderer(const FfmpegMovie& movie, std::vector<size_t> tracks, double rate, int32_t channels)
        : movie_(movie), tracks_(std::move(tracks)), rate_(rate), channels_(channels)
    {
        openExtraction(std::min(channels, 2));
    }

    double sampleRate() const override { return rate_; }
    int32_t channels() const override { return channels_; }
    int64_t frames() const override { return end_; }
    QtStatus refusal() const override { return refusal_; }

    QtStatus render(int64_t first, int32_t count, int32_t outputChannels, bool, int16_t* output,
                    int32_t& written) override
    {
        written = 0;
        if (!refusal_ && outputChannels != outputChannels_)
            openExtraction(outputChannels);
        if (refusal_)
            return refusal_;
        if (first != next_)
            extraction_->seek(first);
        bool complete = false;
        const size_t produced = extraction_->fill(output, size_t(std::max(count, 0)), complete);
        next_ = first + int64_t(produced);
        if (complete)
            end_ = next_;
        written = int32_t(produced);
        return 0;
    }

private:
    void openExtraction(int32_t outputChannels)
    {
        extraction_ = FfmpegAudioExtraction::open(movie_, tracks_, int(rate_), outputChannels, refusal_);
        outputChannels_ = outputChannels;
        next_ = 0;
    }

    const FfmpegMovie& movie_;
    std::vector<size_t> tracks_;
    double rate_;
    int32_t channels_;
    std::unique_ptr<FfmpegAudioExtraction> extraction_;
    QtStatus refusal_ = 0;  // why the extraction did not open
    int32_t outputChannels_ = 0;
    int64_t next_ = 0;
    int64_t end_ = std::numeric_limits<int64_t>::max();
};

class FfmpegMovieSource : public MovieSource {
public:
    explicit FfmpegMovieSource(std::unique_ptr<FfmpegMovie> movie)
        : movie_(std::move(movie))
    {
    }

    const MovieModel& model() const override { return movie_->model(); }

    QtStatus videoSample(int32_t trackIndex, int32_t sample, SampleBytes& bytes) override
    {
        if (trackIndex < 1 || size_t(trackIndex) > movie_->tracks().size() || sample < 0)
            return kFfmpegBadData;
        const FfmpegTrack& track = movie_->tracks()[size_t(trackIndex - 1)];
        const bool read = size_t(sample) < track.byteRanges.size()
                              ? mapSample(track.byteRanges[size_t(sample)], bytes)
                              : (track.compressionType != 0 && decoderSample(trackIndex, sample, bytes)) ||
                                    readSample(trackIndex, sample, bytes);
        if (!read)
            return kFfmpegBadData;
        std::deque<HandedOut>& handed = handedOut_[trackIndex];
        handed.push_back({size_t(sample), bytes});
        if (handed.size() > kHandedOutRemembered)
            handed.pop_front();
        return 0;
    }

    // The bytes come from videoSample: they name the sample whose picture is
    // wanted, which decoding needs in order to know its place in the stream.
    QtStatus decodePicture(int32_t trackIndex, const uint8_t* data, int32_t size, const SurfaceView& target) override
    {
        const HandedOut* sample = findHandedOut(trackIndex, data, size);
        if (!sample)
            return kFfmpegBadData;
        QtStatus status = 0;
        FfmpegPictureDecoder* decoder = decoderOf(trackIndex, status);
        if (!decoder)
            return status;
        const FfmpegSurface surface{target.format, target.base, target.rowBytes, target.width, target.height};
        return decoder->decodeInto(sample->index, surface);
    }

    // Sound is rendered by soundRenderer, which also answers for a track
    // that cannot be decoded; this is never asked for.
    void audioFrames(int32_t trackIndex, int64_t, int32_t count, int16_t* interleaved) override
    {
        const std::optional<AudioFormat>& audio = model().tracks[size_t(trackIndex - 1)].audio;
        std::fill_n(interleaved, size_t(std::max(count, 0)) * size_t(audio ? audio->channels : 0), int16_t(0));
    }

    std::unique_ptr<SoundRenderer> soundRenderer(const std::vector<int32_t>& tracks) override
    {
        std::vector<size_t> indices;
        int32_t channels = 0;
        for (int32_t track : tracks) {
            indices.push_back(size_t(track - 1));
            channels = std::max(channels, model().tracks[size_t(track - 1)].audio->channels);
        }
        const double rate = model().tracks[size_t(tracks.front() - 1)].audio->sampleRate;
        return std::make_unique<FfmpegSoundRenderer>(*movie_, std::move(indices), rate, channels);
    }

private:
    static constexpr size_t kHandedOutRemembered = 4;

    // The bytes handed out, shared with the caller.
    struct HandedOut {
        size_t index;
        SampleBytes bytes;
    };

    // Straight from the file, where the index places the sample exactly.
    bool mapSample(const FfmpegByteRange& range, SampleBytes& bytes)
    {
        if (!mappedFile_)
            mappedFile_ = FfmpegMappedFile::open(movie_->path());
        return mappedFile_ && mappedFile_->map(range.offset, range.size, bytes);
    }

    // Through the demuxer of the picture track's decoder, which is about to
    // decode the sample.
    bool decoderSample(int32_t trackIndex, int32_t sample, SampleBytes& bytes)
    {
        QtStatus status = 0;
        FfmpegPictureDecoder* decoder = decoderOf(trackIndex, status);
        if (!decoder)
            return false;
        PacketPtr read = makePacket();
        return decoder->sampleBytes(size_t(sample), read.get()) && handOut(std::move(read), bytes);
    }

    // Through a demuxer of the sample bytes' own.
    bool readSample(int32_t trackIndex, int32_t sample, SampleBytes& bytes)
    {
        FfmpegPacketReader* reader = readerOf(trackIndex);
        PacketPtr read = makePacket();
        return reader && reader->readSample(size_t(sample), read.get()) && handOut(std::move(read), bytes);
    }

    // Nothing writes into a read packet's bytes, so they can be handed out
    // as they are.
    static bool handOut(PacketPtr read, SampleBytes& bytes)
    {
        std::shared_ptr<const AVPacket> packet(read.release(), PacketFreer());
        bytes = {packet->data, size_t(packet->size), packet};
        return true;
    }

    // A track whose decoder did not open is not tried again: its refusal,
    // told once, answers every later picture.
    FfmpegPictureDecoder* decoderOf(int32_t trackIndex, QtStatus& status)
    {
        const auto refused = refusals_.find(trackIndex);
        if (refused != refusals_.end()) {
            status = refused->second;
            return nullptr;
        }
        std::unique_ptr<FfmpegPictureDecoder>& decoder = decoders_[trackIndex];
        if (!decoder)
            decoder = FfmpegPictureDecoder::open(*movie_, size_t(trackIndex - 1), status,
                                                 FfmpegPictureDecoder::cacheBytesFromEnvironment());
        if (!decoder)
            refusals_[trackIndex] = status;
        return decoder.get();
    }

    FfmpegPacketReader* readerOf(int32_t trackIndex)
    {
        if (trackIndex < 1 || size_t(trackIndex) > movie_->tracks().size())
            return nullptr;
        std::unique_ptr<FfmpegPacketReader>& reader = readers_[trackIndex];
        if (!reader)
            reader = FfmpegPacketReader::open(*movie_, size_t(trackIndex - 1));
        return reader.get();
    }

    const HandedOut* findHandedOut(int32_t trackIndex, const uint8_t* data, int32_t size) const
    {
        const auto handed = handedOut_.find(trackIndex);
        if (handed == handedOut_.end() || !data || size <= 0)
            return nullptr;
        for (auto sample = handed->second.rbegin(); sample != handed->second.rend(); ++sample) {
            const SampleBytes& bytes = sample->bytes;
            // Callers usually pass the very bytes handed out; a copy is compared.
            if (bytes.size == size_t(size) && (bytes.data == data || std::memcmp(bytes.data, data, bytes.size) == 0))
                return &*sample;
        }
        return nullptr;
    }

    std::unique_ptr<FfmpegMovie> movie_;
    std::unique_ptr<FfmpegMappedFile> mappedFile_;
    std::map<int32_t, std::unique_ptr<FfmpegPacketReader>> readers_;
    std::map<int32_t, std::unique_ptr<FfmpegPictureDecoder>> decoders_;
    std::map<int32_t, QtStatus> refusals_;  // picture tracks whose decoder did not open
    std::map<int32_t, std::deque<HandedOut>> handedOut_;
};

class FfmpegMovieSourceFactory : public MovieSourceFactory {
public:
    bool accepts(const std::string& path) const override { return ffmpegRecognisesMovie(path); }

    std::unique_ptr<MovieSource> open(const std::string& path, std::string& error) const override
    {
        std::unique_ptr<FfmpegMovie> movie = FfmpegMovie::open(path);
        if (!movie) {
            error = "FFmpeg cannot open the file as a movie";
            return nullptr;
        }
        return std::make_unique<FfmpegMovieSource>(std::move(movie));
    }
};

} // namespace

const MovieSourceFactory& ffmpegMovieSourceFactory()
{
    static const FfmpegMovieSourceFactory factory;
    return factory;
}

} // namespace QelRuntime
