// The 32-bit layout that hosts read, checked at compile time. Offsets are
// the ones the Windows compiler ABI gives: the vtable pointer first, doubles
// aligned to 8 bytes, Boost's recursive mutex 16 bytes.
#include <cstddef>

#include "media/BufferAllocator.h"
#include "media/List.h"
#include "media/MediaChunk.h"
#include "media/Properties.h"
#include "media/String.h"

#pragma GCC diagnostic ignored "-Winvalid-offsetof"

namespace Qel {

class StreamInterface;

struct MediaLayout {
    static_assert(offsetof(MediaBuffer, validLength) == 4);
    static_assert(offsetof(MediaBuffer, blockSize) == 8);
    static_assert(offsetof(MediaBuffer, data) == 12);
    static_assert(offsetof(MediaBuffer, mutex) == 16);
    static_assert(sizeof(boost::recursive_mutex) == 16);
    static_assert(offsetof(MediaBuffer, storage) == 32);
    static_assert(sizeof(MediaBuffer) == 44);
};

static_assert(offsetof(MediaChunk, startTime) == 44);
static_assert(offsetof(MediaChunk, duration) == 48);
static_assert(offsetof(MediaChunk, reserved1) == 52);
static_assert(offsetof(MediaChunk, reserved2) == 56);
static_assert(offsetof(MediaChunk, owner) == 60);
static_assert(offsetof(MediaChunk, imageProperties) == 64);
static_assert(offsetof(MediaChunk, audioProperties) == 160);
static_assert(sizeof(MediaChunk) == 176);

static_assert(offsetof(AudioProperties, sampleRate) == 4);
static_assert(offsetof(AudioProperties, channels) == 8);
static_assert(offsetof(AudioProperties, bitsPerSample) == 12);
static_assert(sizeof(AudioProperties) == 16);

static_assert(offsetof(ImageProperties, width) == 4);
static_assert(offsetof(ImageProperties, height) == 8);
static_assert(offsetof(ImageProperties, factor1) == 12);
static_assert(offsetof(ImageProperties, factor2) == 16);
static_assert(offsetof(ImageProperties, factor3) == 20);
static_assert(offsetof(ImageProperties, rectFloat) == 24);
static_assert(offsetof(ImageProperties, rectInt) == 64);
static_assert(offsetof(ImageProperties, extra) == 84);
static_assert(offsetof(ImageProperties, flag) == 88);
static_assert(sizeof(ImageProperties) == 96);

static_assert(offsetof(RectFloat, left) == 8);
static_assert(offsetof(RectFloat, bottom) == 32);
static_assert(sizeof(RectFloat) == 40);
static_assert(offsetof(RectInt, left) == 4);
static_assert(offsetof(RectInt, bottom) == 16);
static_assert(sizeof(RectInt) == 20);

static_assert(offsetof(String<unsigned char>, data) == 0);
static_assert(offsetof(String<unsigned char>, length) == 4);
static_assert(offsetof(String<unsigned char>, allocator) == 8);
static_assert(sizeof(String<unsigned char>) == 12);

static_assert(offsetof(List<uint64_t>, head) == 0);
static_assert(offsetof(List<uint64_t>, tail) == 4);
static_assert(offsetof(List<uint64_t>, count) == 8);
static_assert(offsetof(List<uint64_t>, allocator) == 12);
static_assert(sizeof(List<uint64_t>) == 16);

static_assert(offsetof(Node<uint64_t>, next) == 8);
static_assert(sizeof(Node<uint64_t>) == 16);
static_assert(offsetof(Node<StreamInterface*>, next) == 4);
static_assert(sizeof(Node<StreamInterface*>) == 8);

static_assert(sizeof(IBufferAllocator) == 8);

} // namespace Qel
