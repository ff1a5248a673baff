// Types of the QuickTime runtime's operations, shared by the plug-in's
// binding (src/quicktime) and the stand-in runtime (runtime/).
//
// Handles are opaque values owned by the runtime: 32 bits wide on the Windows
// build, pointer-sized on the 64-bit Linux build. Each kind of handle is a
// distinct pointer type so that one cannot be passed for another. Records
// keep QuickTime's field order; their 32-bit Windows sizes are checked at
// compile time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Qel {

using QtStatus = int16_t;      // 16-bit status, 0 = success
using QtLongStatus = int32_t;  // 32-bit status of audio extraction and component requests
using QtOSType = uint32_t;     // four-character code, first character in the top byte
using QtBoolean = uint8_t;     // 0 false, anything else true
using QtTimeValue = int32_t;   // movie time units

struct QtMovieRecord;
struct QtTrackRecord;
struct QtMediaRecord;
struct QtUserDataRecord;
struct QtExtractionRecord;
struct QtComponentRecord;
struct QtComponentInstanceRecord;
struct QtSurfaceRecord;
struct QtPixelMapRecord;
struct QtSequenceRecord;
struct QtTimeBaseRecord;

using QtMovie = QtMovieRecord*;
using QtTrack = QtTrackRecord*;
using QtMedia = QtMediaRecord*;
using QtUserData = QtUserDataRecord*;
using QtExtraction = QtExtractionRecord*;
using QtComponent = QtComponentRecord*;
using QtComponentInstance = QtComponentInstanceRecord*;
using QtSurface = QtSurfaceRecord*;
using QtPixelMap = QtPixelMapRecord*;
using QtSequence = QtSequenceRecord*;
using QtTimeBase = QtTimeBaseRecord*;
using QtHandle = char**;  // a real handle: a pointer to the pointer to the block

constexpr QtOSType fourCc(char a, char b, char c, char d)
{
    return (uint32_t(uint8_t(a)) << 24) | (uint32_t(uint8_t(b)) << 16) |
           (uint32_t(uint8_t(c)) << 8) | uint32_t(uint8_t(d));
}

// Statuses of the binding itself.
constexpr QtStatus kQtLibraryNotFound = -2093;
constexpr QtStatus kQtEntryPointMissing = -2094;
constexpr QtStatus kQtNotBound = -2095;
constexpr QtStatus kQtParamError = -50;
// Not enough memory: answered by the runtime, and used by the plug-in when a
// picture's memory cannot be had.
constexpr QtStatus kQtOutOfMemory = -108;

// A file spec made from a counted path: volume, directory and the counted
// name (length byte, then up to 255 bytes).
struct QtFileSpec {
    int16_t volume;
    int32_t directory;
    unsigned char name[256];
};

// A file's Finder information (FInfo), which QtFileType fills whole: 16
// bytes, of which the plug-in reads only the file type.
struct QtFinderInfo {
    QtOSType fileType;     // fdType
    QtOSType creator;      // fdCreator
    uint16_t finderFlags;  // fdFlags
    int16_t locationV;     // fdLocation, a Point: vertical first
    int16_t locationH;
    int16_t folder;        // fdFldr
};
static_assert(sizeof(QtFinderInfo) == 16);

// Top, left, bottom, right.
struct QtRect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

// 3 x 3 transformation matrix of 16.16 and 2.30 fixed-point values.
struct QtMatrix {
    int32_t values[3][3];
};

struct QtComponentDescription {
    QtOSType type;
    QtOSType subType;
    QtOSType manufacturer;
    uint32_t flags;
    uint32_t flagsMask;
};

// Image description of a video sample, reached through a QtHandle. The
// plug-in reads the compression type at 4, width at 32, height at 34, data
// size at 44 and depth at 82, in native byte order.
#pragma pack(push, 2)
struct QtImageDescription {
    int32_t size;              // 0
    QtOSType compressionType;  // 4
    int32_t reserved1;         // 8
    int16_t reserved2;         // 12
    int16_t dataReferenceIndex;
    int16_t version;           // 16
    int16_t revisionLevel;
    QtOSType vendor;           // 20
    uint32_t temporalQuality;  // 24
    uint32_t spatialQuality;   // 28
    int16_t width;             // 32
    int16_t height;            // 34
    int32_t horizontalResolution;  // 36
    int32_t verticalResolution;    // 40
    int32_t dataSize;          // 44
    int16_t frameCount;        // 48
    unsigned char name[32];    // 50
    int16_t depth;             // 82
    int16_t colorTableId;      // 84
};
#pragma pack(pop)
static_assert(offsetof(QtImageDescription, compressionType) == 4);
static_assert(offsetof(QtImageDescription, width) == 32);
static_assert(offsetof(QtImageDescription, height) == 34);
static_assert(offsetof(QtImageDescription, dataSize) == 44);
static_assert(offsetof(QtImageDescription, depth) == 82);
static_assert(sizeof(QtImageDescription) == 86);

// The record through which the export source's data function is asked for
// one sample and returns it. Fourteen 32-bit fields on the Windows build;
// the two that hold pointers are pointer-sized on the 64-bit build.
struct QtSampleRequest {
    int32_t recordSize;          // 56 on the Windows build
    int32_t trackId;
    int32_t sourceTimeScale;
    QtTimeValue requestedTime;
    QtTimeValue actualTime;      // returned
    const unsigned char* data;   // returned
    int32_t dataSize;            // returned
    QtHandle description;        // returned: QtImageDescription handle
    QtOSType descriptionType;    // returned: 'vide'
    int32_t descriptionSeed;     // returned
    int32_t requestedSampleCount;
    int32_t actualSampleCount;
    QtTimeValue durationPerSample;  // returned
    uint32_t sampleFlags;
};

// Output format agreed with the audio extraction ('xaud'/'asbd').
struct QtPcmDescription {
    double sampleRate;
    QtOSType formatCode;
    uint32_t formatFlags;
    uint32_t bytesPerPacket;
    uint32_t framesPerPacket;
    uint32_t bytesPerFrame;
    uint32_t channelsPerFrame;
    uint32_t bitsPerChannel;
    uint32_t reserved;
};
static_assert(sizeof(QtPcmDescription) == 40);

struct QtPcmBuffer {
    uint32_t channels;
    uint32_t byteSize;  // in: room; out: bytes delivered
    void* data;
};

struct QtPcmBufferList {
    uint32_t count;  // always 1
    QtPcmBuffer buffers[1];
};

// Extraction time ('xmov'/'time'): 64-bit value (low word first), scale, base.
struct QtTimeRecord {
    int64_t value;
    int32_t scale;
    QtTimeBase base;
};

// Audio extraction properties: classes, properties and the output format
// that the extraction delivers (16-bit signed, packed, interleaved).
constexpr QtOSType kQtAudioPropertyClass = fourCc('x', 'a', 'u', 'd');
constexpr QtOSType kQtPcmDescriptionProperty = fourCc('a', 's', 'b', 'd');
constexpr QtOSType kQtChannelLayoutProperty = fourCc('c', 'l', 'a', 'y');
constexpr QtOSType kQtMoviePropertyClass = fourCc('x', 'm', 'o', 'v');
constexpr QtOSType kQtTimeProperty = fourCc('t', 'i', 'm', 'e');
constexpr QtOSType kQtLinearPcm = fourCc('l', 'p', 'c', 'm');
constexpr uint32_t kQtSignedPackedFlags = 12;

// Channel layout record ('xaud'/'clay', CoreAudio's AudioChannelLayout):
// the tag, a channel bitmap and a description count, then that many 20-byte
// channel descriptions (label, flags, three coordinates). A layout set by
// tag is 32 bytes, room for one description. Read back, a layout may come
// expanded: the tag kQtUseChannelDescriptions with one description per
// channel.
constexpr uint32_t kQtStereoLayoutTag = 0x00650002;
constexpr uint32_t kQtUseChannelDescriptions = 0;
constexpr uint32_t kQtLayoutHeaderSize = 12;
constexpr uint32_t kQtChannelDescriptionSize = 20;
constexpr uint32_t kQtChannelLabelLeft = 1;
constexpr uint32_t kQtChannelLabelRight = 2;

// Component request parameter block: flags, parameter byte count, request
// code, then the parameters, each in a pointer-sized slot, in call order
// (first parameter at the lowest address). The component instance is the
// request's own argument and is not in the block.
struct QtComponentParams {
    uint8_t flags;
    uint8_t paramBytes;
    int16_t what;
    uintptr_t params[1];  // paramBytes / sizeof(uintptr_t) entries
};

constexpr int16_t kQtExportSourceCreateRequest = 256;
constexpr int16_t kQtExportSourceDisposeRequest = 257;

// Functions handed out by an export source. Ordinary C functions.
extern "C" {
typedef QtStatus (*QtExportDataFunction)(void* context, QtSampleRequest* request);
typedef QtStatus (*QtExportPropertyFunction)(void* context, int32_t trackId,
                                             QtOSType property, void* value);
}

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(QtSampleRequest) == 56);
static_assert(sizeof(QtTimeRecord) == 16);
static_assert(sizeof(QtFileSpec) == 264);
#endif

} // namespace Qel
