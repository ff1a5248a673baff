// The property records through which the host learns what a stream holds.
//
// Each stream owns one record of its kind and fills it when it opens; every
// MediaChunk carries one of each, left at the defaults. The host reads the
// fields in declaration order through the pointer the stream interface
// returns, for as long as the stream exists. The records own no memory.
#pragma once

#include <cstdint>

#include "media/Rect.h"
#include "support/DestructorSlot.h"

namespace Qel {

class Properties {
    QEL_ABSTRACT_DESTRUCTOR_SLOT()
protected:
    Properties() = default;
    Properties(const Properties&) = default;
    Properties& operator=(const Properties&) = default;
    ~Properties() = default;
};

class AudioProperties : public Properties {
    QEL_DESTRUCTOR_SLOT(AudioProperties)
public:
    // bitsPerSample starts at 0 rather than indeterminate, so a record read
    // before the audio stream opens never exposes stale memory.
    AudioProperties() : sampleRate(0), channels(0), bitsPerSample(0) {}
    ~AudioProperties() = default;

    int32_t sampleRate;     // Hz, truncated towards zero
    uint32_t channels;
    uint32_t bitsPerSample;
};

class ImageProperties : public Properties {
    QEL_DESTRUCTOR_SLOT(ImageProperties)
public:
    ImageProperties()
        : width(0), height(0), factor1(1), factor2(1), factor3(1), extra(0), flag(false)
    {
    }
    ~ImageProperties() = default;

    int32_t width;   // pixels
    int32_t height;  // pixels
    // The fields below carry the host's defaults; this system never changes them.
    int32_t factor1;
    int32_t factor2;
    int32_t factor3;
    RectFloat rectFloat;
    RectInt rectInt;
    int32_t extra;
    bool flag;
};

} // namespace Qel
