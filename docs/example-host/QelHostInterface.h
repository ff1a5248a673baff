// The plug-in's binary interface as a host engine built with the Microsoft
// C++ ABI (MSVC, clang-cl) declares it: ordinary classes with true virtual
// destructors, the slots in their documented order, the records with their
// documented fields. The compiler, not the plug-in's sources, lays out the
// vtables and the records and chooses the calling conventions; nothing here
// comes from the plug-in's own headers, which are written for the compiler
// that builds the plug-in (MinGW) and need Boost.
//
// Slots that return a String or a List return them by value, as a host
// writes them; the Microsoft ABI passes such a result through a hidden
// pointer after `this`. A String or List handed out by the plug-in is the
// host's, freed through the allocator it carries.
//
// ExampleHost.cpp beside it shows the calls in order; the project's
// Microsoft-ABI test host (tests/msvc_host) is built on the same header.
//
// Only a compiler of the Microsoft ABI passes the by-value slots this way.
// Any other (GCC or clang on Linux, MinGW) passes `this` and the result's
// address in the other order: such a host includes the plug-in's installed
// headers and calls those slots through callByValue instead.
#pragma once

#if !defined(_MSC_VER)
#error "QelHostInterface.h declares by-value slots for the Microsoft C++ ABI only; elsewhere use the plug-in's headers and callByValue"
#endif

#include <stddef.h>
#include <stdint.h>

namespace Host {

template <class T>
class StandardAllocator {
public:
    virtual ~StandardAllocator() = default;   // 0
    virtual T* allocate(uint32_t count) = 0;  // 1
    virtual void deallocate(T* block) = 0;    // 2
};

template <class T>
struct String {
    T* data;
    uint32_t length;
    StandardAllocator<T>* allocator;
};
using Text = String<unsigned char>;

template <class T>
struct Node {
    T value;
    Node* next;
};

template <class T>
struct List {
    Node<T>* head;
    Node<T>* tail;
    int32_t count;
    StandardAllocator<Node<T>>* allocator;
};

class Plugin;
class StreamInterface;
class MediaChunk;

class PluginHost {
public:
    virtual ~PluginHost() = default;                     // 0
    virtual void hostSlot1() {}                          // 1
    virtual void hostSlot2() {}                          // 2
    virtual void hostSlot3() {}                          // 3
    virtual void hostSlot4() {}                          // 4
    virtual void hostSlot5() {}                          // 5
    virtual void hostSlot6() {}                          // 6
    virtual void hostSlot7() {}                          // 7
    virtual void onPluginReleasing(Plugin* plugin) = 0;  // 8
    virtual void onPluginReleased(Plugin* plugin) = 0;   // 9
};

class ContainerHost {
public:
    virtual ~ContainerHost() = default;                                  // 0
    virtual uint64_t generateId() = 0;                                   // 1
    virtual void hostSlot2() {}                                          // 2
    virtual void hostSlot3() {}                                          // 3
    virtual void hostSlot4() {}                                          // 4
    virtual void hostSlot5() {}                                          // 5
    virtual void hostSlot6() {}                                          // 6
    virtual void hostSlot7() {}                                          // 7
    virtual void hostSlot8() {}                                          // 8
    virtual void hostSlot9() {}                                          // 9
    virtual void hostSlot10() {}                                         // 10
    virtual void hostSlot11() {}                                         // 11
    virtual void hostSlot12() {}                                         // 12
    virtual void hostSlot13() {}                                         // 13
    virtual void hostSlot14() {}                                         // 14
    virtual void hostSlot15() {}                                         // 15
    virtual void hostSlot16() {}                                         // 16
    virtual void hostSlot17() {}                                         // 17
    virtual void hostSlot18() {}                                         // 18
    virtual void hostSlot19() {}                                         // 19
    virtual void hostSlot20() {}                                         // 20
    virtual void addStream(StreamInterface* stream) = 0;                 // 21
    virtual void removeStream(uint64_t streamId) = 0;                    // 22
    virtual void activateStream(uint64_t streamId, uint32_t value) = 0;  // 23
};

class Clock {
public:
    virtual ~Clock() = default;      // 0
    virtual void hostSlot1() {}      // 1
    virtual void hostSlot2() {}      // 2
    virtual int32_t getTime() = 0;   // 3
    virtual void hostSlot4() {}      // 4
    virtual bool isRunning() = 0;    // 5
};

// What the container reads of a location: its second word.
class Location {
public:
    virtual ~Location() = default;
    Text* text;
};

class Plugin {
public:
    virtual ~Plugin() = default;                                             // 0
    virtual int32_t addReference() = 0;                                      // 1
    virtual int32_t dropReference() = 0;                                     // 2
    virtual int32_t getReferenceCount() = 0;                                 // 3
    virtual uint32_t getReserved() = 0;                                      // 4
    virtual PluginHost* getHost() = 0;                                       // 5
    virtual int32_t queryInterface(const String<char>& id, void** out) = 0;  // 6

    int32_t referenceCount;
    PluginHost* host;
    uint32_t reserved;
};

class ContainerInterface {
public:
    virtual ~ContainerInterface() = default;                                      // 0
    virtual void initialize(ContainerHost* host, uint64_t containerId) = 0;       // 1
    virtual bool canOpen(const Location* location, uint32_t, uint32_t, uint32_t) = 0;  // 2
    virtual void reserved3(uint32_t) = 0;                                         // 3
    virtual int32_t reserved4(uint32_t) = 0;                                      // 4
    virtual int32_t open(const Location* location) = 0;                           // 5
    virtual Text getPath() = 0;                                                   // 6
    virtual uint64_t getContainerId() = 0;                                        // 7
    virtual int32_t reserved8(uint32_t* first, uint32_t* second) = 0;             // 8
    virtual int32_t close() = 0;                                                  // 9
    virtual List<uint64_t> getTitles() = 0;                                       // 10
    virtual Text getTitleName(uint64_t titleId) = 0;                              // 11
    virtual int32_t openTitle(uint64_t titleId) = 0;                              // 12
    virtual int32_t closeTitle(bool leaveOpen) = 0;                               // 13
    virtual int32_t getFileSize(uint64_t* size) = 0;                              // 14
    virtual int32_t getMimeTypePriority(const Text& mimeType) = 0;                // 15
    virtual uint32_t getMimeTypeCount() = 0;                                      // 16
    virtual Text getMimeType(uint32_t index) = 0;                                 // 17
    virtual int32_t getMimeTypePriorityAt(uint32_t index) = 0;                    // 18
};

template <class T>
class Rect {
public:
    virtual ~Rect() = default;  // 0
    virtual T width() = 0;      // 1
    virtual T height() = 0;     // 2
    T left, top, right, bottom;
};

// The plug-in implements these; the host only reads them through their
// vtables, so their operations are declared and never defined here.
class RectInt : public Rect<int32_t> {
public:
    int32_t width() override;
    int32_t height() override;
};

class RectFloat : public Rect<double> {
public:
    double width() override;
    double height() override;
};

class Properties {
public:
    virtual ~Properties() = default;
};

class AudioProperties : public Properties {
public:
    int32_t sampleRate;
    uint32_t channels;
    uint32_t bitsPerSample;
};

class ImageProperties : public Properties {
public:
    int32_t width;
    int32_t height;
    int32_t factor1, factor2, factor3;
    RectFloat rectFloat;
    RectInt rectInt;
    int32_t extra;
    bool flag;
};

class MediaBuffer {
public:
    virtual ~MediaBuffer() = default;                          // 0
    virtual void setData(unsigned char* data, uint32_t size) = 0;  // 1
    virtual void release() = 0;                                // 2
    virtual unsigned char* lockData() = 0;                     // 3
    virtual void unlockData() = 0;                             // 4
    virtual void lock() = 0;                                   // 5
    virtual void unlock() = 0;                                 // 6

    uint32_t dataLength;
    uint32_t dataSize;
    unsigned char* data;
    unsigned char mutex[16];  // the plug-in's recursive mutex; opaque
    Text storage;
};

class MediaChunk : public MediaBuffer {
public:
    uint32_t startTime;
    uint32_t duration;
    uint32_t reserved1;
    uint32_t reserved2;
    void* owner;
    ImageProperties imageProperties;
    AudioProperties audioProperties;
};

struct StreamFormat {
    uint32_t words[5];
};

class StreamInterface {
public:
    virtual ~StreamInterface() = default;                                        // 0
    virtual uint32_t getDuration() = 0;                                          // 1
    virtual void getValuePair(int32_t* first, int32_t* second) = 0;              // 2
    virtual bool queryOption(uint32_t, uint32_t, uint32_t, uint32_t) = 0;        // 3
    virtual StreamFormat* getFormat() = 0;                                       // 4
    virtual Properties* getProperties() = 0;                                     // 5
    virtual int32_t getKind() = 0;                                               // 6
    virtual int32_t getStreamTag() = 0;                                          // 7
    virtual List<StreamInterface*> getAssociatedStreams(uint32_t mask) = 0;      // 8
    virtual int32_t openStream(Clock* clock) = 0;                                // 9
    virtual int32_t rewindStream() = 0;                                          // 10
    virtual int32_t getSyncPoint(int32_t readSpeed, uint32_t time, uint32_t* syncTime) = 0;  // 11
    virtual int32_t seekStream(uint32_t time, uint32_t* actualTime, int32_t flag) = 0;      // 12
    virtual int32_t closeStream() = 0;                                           // 13
    virtual int32_t readStream(MediaChunk** chunk) = 0;                          // 14
    virtual uint32_t getPosition() = 0;                                          // 15
    virtual bool isEndOfStream() = 0;                                            // 16
    virtual bool setReadSpeed(int32_t speed) = 0;                                // 17
    virtual int32_t getReadSpeed() = 0;                                          // 18
    virtual bool setReadMode(int32_t mode) = 0;                                  // 19
    virtual int32_t getReadMode() = 0;                                           // 20
    virtual void setHostValue(int32_t value) = 0;                                // 21
    virtual int32_t getHostValue() = 0;                                          // 22
    virtual bool queryFeature(uint32_t feature) = 0;                             // 23

    // The first fields: the host reads a stream's identity from them.
    uint64_t containerId;
    uint64_t streamId;
};

constexpr int32_t kKindVideo = 0x110;
constexpr int32_t kKindAudio = 0x120;
constexpr int32_t kFailure = int32_t(0x80100001u);

using GetPlugin = int32_t (*)(PluginHost* host, Plugin** out);

// Layout the compiler gives these records; the plug-in's own build checks
// the same figures on its side.
static_assert(sizeof(Text) == 12);
static_assert(sizeof(List<uint64_t>) == 16 && sizeof(Node<uint64_t>) == 16);
static_assert(offsetof(RectFloat, left) == 8 && sizeof(RectFloat) == 40);
static_assert(offsetof(ImageProperties, rectInt) == 64 && sizeof(ImageProperties) == 96);
static_assert(offsetof(MediaChunk, startTime) == 44 && sizeof(MediaChunk) == 176);
static_assert(offsetof(MediaChunk, audioProperties) == 160);
static_assert(offsetof(StreamInterface, streamId) == 16);

} // namespace Host
