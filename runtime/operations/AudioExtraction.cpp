// Audio extraction: the mixed sound of a movie delivered as 16-bit PCM.
// The output format must be set before the first fill; the extraction
// point moves through the 'time' property and with every fill.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "operations/AudioMixer.h"
#include "operations/ChannelLayout.h"
#include "operations/RuntimeObjects.h"
#include "source/RuntimeStatus.h"
#include "frame/RuntimeDispatch.h"

namespace QelRuntime {

namespace {

constexpr uint32_t kFloatPackedPlanar = 41;
constexpr uint32_t kComplete = 1;

QtPcmDescription sourceDescription(const AudioMixer& mixer)
{
    QtPcmDescription description{};
    description.sampleRate = mixer.sampleRate();
    description.formatCode = kQtLinearPcm;
    description.formatFlags = kFloatPackedPlanar;
    description.bytesPerPacket = 4;
    description.framesPerPacket = 1;
    description.bytesPerFrame = 4;
    description.channelsPerFrame = uint32_t(mixer.channels());
    description.bitsPerChannel = 32;
    return description;
}

bool isAcceptedOutput(const QtPcmDescription& wanted, const AudioMixer& mixer)
{
    uint32_t channels = wanted.channelsPerFrame;
    return wanted.formatCode == kQtLinearPcm && wanted.formatFlags == kQtSignedPackedFlags && wanted.bitsPerChannel == 16 &&
           (channels == 1 || channels == 2) && wanted.bytesPerFrame == channels * 2 &&
           wanted.bytesPerPacket == channels * 2 && wanted.framesPerPacket == 1 &&
           wanted.sampleRate == mixer.sampleRate();
}

struct Lookup {
    ExtractionObject* extraction = nullptr;
    MovieObject* movie = nullptr;
};

Lookup lookup(QtExtraction extraction)
{
    RuntimeState& state = runtimeState();
    auto* object = state.registry.find<ExtractionObject>(extraction);
    return {object, object != nullptr ? state.movie(object->movie) : nullptr};
}

// Looks up the extraction and counts the call; a nonzero answer ends it.
QtLongStatus begin(QtExtraction extraction, const char* operation, Lookup& found, const Fault** fault = nullptr)
{
    found = lookup(extraction);
    if (found.movie == nullptr)
        return kQtParamError;
    const Fault* injected = found.movie->faults.call(operation);
    if (fault != nullptr)
        *fault = injected;
    return injected != nullptr && injected->status ? *injected->status : 0;
}

// The extraction point in the output sample rate, whatever scale it was set
// in ("When getting, the timescale will be output audio sample rate for best
// accuracy", Movies.h). A fractional rate is rounded to the whole scale.
QtTimeRecord currentTime(const Lookup& found)
{
    const double rate = found.extraction->mixer->sampleRate();
    QtTimeRecord record{};
    record.scale = int32_t(std::lround(rate));
    record.value = int64_t(std::floor(double(found.extraction->position) * record.scale / rate));
    record.base = handleOf<QtTimeBase>(found.movie->timeBase);
    return record;
}

QtLongStatus moveTo(ExtractionObject& extraction, const QtTimeRecord& time)
{
    if (time.scale <= 0 || time.value < 0)
        return kQtParamError;
    auto frame = int64_t(std::floor((long double)time.value * extraction.mixer->sampleRate() / time.scale));
    extraction.position = std::min(frame, extraction.mixer->frames());
    return 0;
}

// Accepts the stereo layout (which selects the downmix) or the source's
// own, by tag or expanded.
QtLongStatus setLayout(ExtractionObject& extraction, const void* value, uint32_t size)
{
    QtLongStatus status = 0;
    const int32_t channels = extraction.mixer->channels();
    std::optional<uint32_t> tag = layoutTagOf(static_cast<const unsigned char*>(value), size, channels, status);
    if (status != 0)
        return status;
    if (!tag || (*tag != kQtStereoLayoutTag && *tag != ownLayoutTag(channels)))
        return kQtParamError;
    extraction.layoutTag = *tag;
    return 0;
}

std::vector<unsigned char> currentLayout(const Lookup& found)
{
    return layoutRecord(found.extraction->layoutTag, found.movie->modes.layout == RuntimeModes::Layout::Expanded);
}

bool isProperty(QtOSType propertyClass, QtOSType property, QtOSType wantedClass, QtOSType wanted)
{
    return propertyClass == wantedClass && property == wanted;
}

// The size of a property's value, or 0 for a property the extraction does
// not have.
uint32_t propertySize(const Lookup& found, QtOSType propertyClass, QtOSType property)
{
    if (isProperty(propertyClass, property, kQtAudioPropertyClass, kQtPcmDescriptionProperty))
        return sizeof(QtPcmDescription);
    if (isProperty(propertyClass, property, kQtAudioPropertyClass, kQtChannelLayoutProperty))
        return uint32_t(currentLayout(found).size());
    if (isProperty(propertyClass, property, kQtMoviePropertyClass, kQtTimeProperty))
        return sizeof(QtTimeRecord);
    return 0;
}

// The frame at which extraction ends: the end of the sound, or where the
// modes pad it with silence, the movie's duration if that is later. Rendering
// may move the sound's end earlier as it meets it.
int64_t endFrame(const Lookup& found)
{
    const AudioMixer& mixer = *found.extraction->mixer;
    if (found.movie->modes.extractionEnd != RuntimeModes::ExtractionEnd::SilenceToDuration)
        return mixer.frames();
    const MovieModel& model = found.movie->model();
    const auto movieFrames = int64_t(std::floor(double(model.duration) * mixer.sampleRate() / model.timeScale));
    return std::max(mixer.frames(), movieFrames);
}

// Whether a value of `size` bytes at `value` can hold the property, whose
// own size goes to `bytes`.
QtLongStatus checkValue(const Lookup& found, QtOSType propertyClass, QtOSType property, const void* value,
                        uint32_t size, uint32_t& bytes)
{
    if (value == nullptr)
        return kQtParamError;
    bytes = propertySize(found, propertyClass, property);
    if (bytes == 0)
        return kQtPropertyNotSupported;
    return size < bytes ? kQtPropertyBadValueSize : 0;
}

// Renders up to `count` frames from the extraction point: the sound, then
// any silence that pads it.
QtLongStatus render(const Lookup& found, int32_t count, int16_t* output, int32_t& written)
{
    ExtractionObject& object = *found.extraction;
    AudioMixer& mixer = *object.mixer;
    const auto channels = int32_t(object.output->channelsPerFrame);
    const auto sound = int32_t(std::clamp<int64_t>(mixer.frames() - object.position, 0, count));
    written = 0;
    if (QtLongStatus status = mixer.render(object.position, sound, channels,
                                           object.layoutTag == kQtStereoLayoutTag, output, written))
        return status;
    const auto padded = int32_t(std::clamp<int64_t>(endFrame(found) - object.position, 0, count));
    if (padded > written) {
        std::fill(output + size_t(written) * size_t(channels), output + size_t(padded) * size_t(channels), 0);
        written = padded;
    }
    return 0;
}

} // namespace

QtLongStatus QtExtractBegin(QtMovie movie, uint32_t flags, QtExtraction* extraction)
{
    RuntimeState& state = runtimeState();
    MovieObject* object = state.registry.find<MovieObject>(movie);
    if (object == nullptr || extraction == nullptr)
        return kQtParamError;
    const Fault* fault = object->faults.call("QtExtractBegin");
    if (fault != nullptr && fault->status)
        return *fault->status;
    std::vector<int32_t> tracks;
    for (int32_t index = 1; index <= int32_t(object->tracks.size()); ++index)
        if (object->enabled[size_t(index - 1)] && object->track(index).audio)
            tracks.push_back(index);
    if (tracks.empty())
        return kQtParamError;
    auto created = std::make_unique<ExtractionObject>();
    created->movie = handleValue(movie);
    created->mixer.emplace(*object->source, tracks);
    if (QtStatus refused = created->mixer->refusal())
        return refused;
    created->layoutTag = ownLayoutTag(created->mixer->channels());
    *extraction = handleOf<QtExtraction>(state.registry.add(std::move(created)));
    return 0;
}

// Ends an extraction whether or not its movie is still there.
QtLongStatus QtExtractEnd(QtExtraction extraction)
{
    Lookup found = lookup(extraction);
    if (found.extraction == nullptr)
        return kQtParamError;
    const Fault* fault = found.movie != nullptr ? found.movie->faults.call("QtExtractEnd") : nullptr;
    if (fault != nullptr && fault->status)
        return *fault->status;
    runtimeState().registry.dispose(handleValue(extraction));
    return 0;
}

QtLongStatus QtExtractPropertyInfo(QtExtraction extraction, QtOSType propertyClass, QtOSType property,
                                   QtOSType* type, uint32_t* size, uint32_t* flags)
{
    Lookup found;
    if (QtLongStatus status = begin(extraction, "QtExtractPropertyInfo", found))
        return status;
    const uint32_t bytes = propertySize(found, propertyClass, property);
    if (bytes == 0)
        return kQtPropertyNotSupported;
    if (type != nullptr)
        *type = 0;
    if (size != nullptr)
        *size = bytes;
    if (flags != nullptr)
        *flags = 0;
    return 0;
}

QtLongStatus QtExtractPropertyGet(QtExtraction extraction, QtOSType propertyClass, QtOSType property, uint32_t size,
                                  void* value, uint32_t* written)
{
    Lookup found;
    if (QtLongStatus status = begin(extraction, "QtExtractPropertyGet", found))
        return status;
    ExtractionObject& object = *found.extraction;
    uint32_t bytes = 0;
    if (QtLongStatus status = checkValue(found, propertyClass, property, value, size, bytes))
        return status;
    if (isProperty(propertyClass, property, kQtAudioPropertyClass, kQtPcmDescriptionProperty)) {
        QtPcmDescription description = object.output ? *object.output : sourceDescription(*object.mixer);
        std::memcpy(value, &description, bytes);
    } else if (isProperty(propertyClass, property, kQtAudioPropertyClass, kQtChannelLayoutProperty)) {
        std::memcpy(value, currentLayout(found).data(), bytes);
    } else {
        QtTimeRecord time = currentTime(found);
        std::memcpy(value, &time, bytes);
    }
    if (written != nullptr)
        *written = bytes;
    return 0;
}

QtLongStatus QtExtractPropertySet(QtExtraction extraction, QtOSType propertyClass, QtOSType property, uint32_t size,
                                  const void* value)
{
    Lookup found;
    if (QtLongStatus status = begin(extraction, "QtExtractPropertySet", found))
        return status;
    ExtractionObject& object = *found.extraction;
    if (value != nullptr && isProperty(propertyClass, property, kQtAudioPropertyClass, kQtChannelLayoutProperty))
        return setLayout(object, value, size);
    uint32_t bytes = 0;
    if (QtLongStatus status = checkValue(found, propertyClass, property, value, size, bytes))
        return status;
    if (isProperty(propertyClass, property, kQtAudioPropertyClass, kQtPcmDescriptionProperty)) {
        QtPcmDescription wanted;
        std::memcpy(&wanted, value, sizeof wanted);
        if (!isAcceptedOutput(wanted, *object.mixer))
            return kQtParamError;
        object.output = wanted;
        return 0;
    }
    QtTimeRecord time;
    std::memcpy(&time, value, sizeof time);
    return moveTo(object, time);
}

QtLongStatus QtExtractFill(QtExtraction extraction, uint32_t* frames, QtPcmBufferList* buffers, uint32_t* flags)
{
    Lookup found;
    const Fault* fault = nullptr;
    if (QtLongStatus status = begin(extraction, "QtExtractFill", found, &fault))
        return status;
    ExtractionObject& object = *found.extraction;
    if (frames == nullptr || buffers == nullptr || buffers->count != 1 || buffers->buffers[0].data == nullptr ||
        !object.output || buffers->buffers[0].channels != object.output->channelsPerFrame)
        return kQtParamError;
    QtPcmBuffer& buffer = buffers->buffers[0];
    const uint32_t bytesPerFrame = object.output->bytesPerFrame;
    const int64_t remaining = std::max<int64_t>(endFrame(found) - object.position, 0);
    auto count = int32_t(std::min<int64_t>({int64_t(*frames), buffer.byteSize / bytesPerFrame, remaining}));
    int32_t written = 0;
    if (QtLongStatus status = render(found, count, static_cast<int16_t*>(buffer.data), written))
        return status;
    object.position += written;
    *frames = uint32_t(written);
    buffer.byteSize = uint32_t(written) * bytesPerFrame;
    // The flag comes with the last data only where the modes say so;
    // otherwise with the fills of no data after it.
    const bool atEnd = object.position >= endFrame(found);
    const bool withLastData = found.movie->modes.extractionEnd == RuntimeModes::ExtractionEnd::WithLastData;
    const bool complete = (atEnd && (withLastData || written == 0)) || (fault != nullptr && fault->complete);
    if (flags != nullptr)
        *flags = complete ? kComplete : 0;
    return 0;
}

} // namespace QelRuntime
