// Audio extraction: the mixed sound of a movie delivered as 16-bit PCM.
// The output format must be set before the first fill; the extraction
// point moves through the 'time' property and with every fill.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "core/AudioMixer.h"
#include "core/RuntimeObjects.h"
#include "frame/RuntimeDispatch.h"

namespace Qel::Runtime {

namespace {

constexpr uint32_t kFloatPackedPlanar = 41;
constexpr uint32_t kLayoutSize = 32;
constexpr uint32_t kComplete = 1;

struct ExtractionObject : RuntimeObject {
    static constexpr ObjectKind kKind = ObjectKind::Extraction;
    uintptr_t movie = 0;
    std::optional<AudioMixer> mixer;
    std::optional<QtPcmDescription> output;  // set by the caller
    uint32_t layoutTag = 0;
    int64_t position = 0;  // in frames
};

uint32_t ownLayoutTag(int32_t channels)
{
    if (channels == 1)
        return 0x00640001;
    if (channels == 2)
        return kQtStereoLayoutTag;
    return 0x00930000 | uint32_t(channels);
}

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

QtTimeRecord currentTime(const Lookup& found)
{
    const MovieModel& model = found.movie->model();
    QtTimeRecord record{};
    record.value = int64_t(std::floor(double(found.extraction->position) * model.timeScale /
                                      found.extraction->mixer->sampleRate()));
    record.scale = model.timeScale;
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

QtLongStatus setLayout(ExtractionObject& extraction, uint32_t tag)
{
    if (tag != kQtStereoLayoutTag && tag != ownLayoutTag(extraction.mixer->channels()))
        return kQtParamError;
    extraction.layoutTag = tag;
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
    created->dependsOn.push_back(created->movie);
    created->mixer.emplace(*object->source, tracks);
    if (QtStatus refused = created->mixer->refusal())
        return refused;
    created->layoutTag = ownLayoutTag(created->mixer->channels());
    *extraction = handleOf<QtExtraction>(state.registry.add(std::move(created)));
    return 0;
}

QtLongStatus QtExtractEnd(QtExtraction extraction)
{
    Lookup found;
    if (QtLongStatus status = begin(extraction, "QtExtractEnd", found))
        return status;
    runtimeState().registry.dispose(handleValue(extraction));
    return 0;
}

QtLongStatus QtExtractPropertyInfo(QtExtraction extraction, QtOSType propertyClass, QtOSType property,
                                   QtOSType* type, uint32_t* size, uint32_t* flags)
{
    Lookup found;
    if (QtLongStatus status = begin(extraction, "QtExtractPropertyInfo", found))
        return status;
    uint32_t propertySize = 0;
    if (propertyClass == kQtAudioPropertyClass && property == kQtPcmDescriptionProperty)
        propertySize = sizeof(QtPcmDescription);
    else if (propertyClass == kQtAudioPropertyClass && property == kQtChannelLayoutProperty)
        propertySize = kLayoutSize;
    else if (propertyClass == kQtMoviePropertyClass && property == kQtTimeProperty)
        propertySize = sizeof(QtTimeRecord);
    else
        return kQtParamError;
    if (type != nullptr)
        *type = 0;
    if (size != nullptr)
        *size = propertySize;
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
    if (value == nullptr)
        return kQtParamError;
    uint32_t bytes = 0;
    if (propertyClass == kQtAudioPropertyClass && property == kQtPcmDescriptionProperty && size >= sizeof(QtPcmDescription)) {
        QtPcmDescription description = object.output ? *object.output : sourceDescription(*object.mixer);
        std::memcpy(value, &description, bytes = sizeof description);
    } else if (propertyClass == kQtAudioPropertyClass && property == kQtChannelLayoutProperty && size >= kLayoutSize) {
        std::memset(value, 0, bytes = kLayoutSize);
        std::memcpy(value, &object.layoutTag, sizeof object.layoutTag);
    } else if (propertyClass == kQtMoviePropertyClass && property == kQtTimeProperty && size >= sizeof(QtTimeRecord)) {
        QtTimeRecord time = currentTime(found);
        std::memcpy(value, &time, bytes = sizeof time);
    } else {
        return kQtParamError;
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
    if (value == nullptr)
        return kQtParamError;
    if (propertyClass == kQtAudioPropertyClass && property == kQtPcmDescriptionProperty && size >= sizeof(QtPcmDescription)) {
        QtPcmDescription wanted;
        std::memcpy(&wanted, value, sizeof wanted);
        if (!isAcceptedOutput(wanted, *object.mixer))
            return kQtParamError;
        object.output = wanted;
        return 0;
    }
    if (propertyClass == kQtAudioPropertyClass && property == kQtChannelLayoutProperty && size >= kLayoutSize) {
        uint32_t tag;
        std::memcpy(&tag, value, sizeof tag);
        return setLayout(object, tag);
    }
    if (propertyClass == kQtMoviePropertyClass && property == kQtTimeProperty && size >= sizeof(QtTimeRecord)) {
        QtTimeRecord time;
        std::memcpy(&time, value, sizeof time);
        return moveTo(object, time);
    }
    return kQtParamError;
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
    uint32_t bytesPerFrame = object.output->bytesPerFrame;
    int64_t remaining = object.mixer->frames() - object.position;
    auto count = int32_t(std::min<int64_t>({int64_t(*frames), buffer.byteSize / bytesPerFrame, remaining}));
    int32_t written = 0;
    if (QtLongStatus status = object.mixer->render(object.position, count, int32_t(object.output->channelsPerFrame),
                                                   object.layoutTag == kQtStereoLayoutTag,
                                                   static_cast<int16_t*>(buffer.data), written))
        return status;
    object.position += written;
    *frames = uint32_t(written);
    buffer.byteSize = uint32_t(written) * bytesPerFrame;
    bool complete = object.position >= object.mixer->frames() || (fault != nullptr && fault->complete);
    if (flags != nullptr)
        *flags = complete ? kComplete : 0;
    return 0;
}

} // namespace Qel::Runtime
