// The interface through which the host drives a container: identity,
// opening and closing a location, titles, and the supported MIME types.
//
// Expected order of calls: initialize; optionally canOpen; open; getTitles;
// openTitle; reads from the streams; closeTitle; close; and finally the last
// dropReference on the Plugin view. close, openTitle and closeTitle take the
// container's lock; the other operations take none and must not overlap
// initialize or open. Strings and lists returned by value belong to the
// caller and free themselves through the allocator they carry; their slots
// take the caller's storage explicitly (support/ByValueSlot.h). A host built
// by any compiler but one of the Microsoft ABI (every Linux host) calls them
// in this form, through callByValue: its own by-value declaration of them
// would pass the storage and the object in the other order.
#pragma once

#include <cstdint>

#include "media/List.h"
#include "media/String.h"
#include "support/ByValueSlot.h"
#include "support/DestructorSlot.h"

namespace Qel {

class ContainerHost;
class Location;

class ContainerInterface {
    QEL_ABSTRACT_DESTRUCTOR_SLOT()
public:
    virtual void initialize(ContainerHost* host, uint64_t containerId);            // 1
    virtual bool canOpen(const Location* location, uint32_t, uint32_t, uint32_t) = 0;  // 2
    virtual void reserved3(uint32_t) = 0;                                          // 3
    virtual int32_t reserved4(uint32_t) = 0;                                       // 4
    virtual int32_t open(const Location* location) = 0;                            // 5
    virtual String<unsigned char>* getPath(String<unsigned char>* result) = 0;     // 6
    virtual uint64_t getContainerId();                                             // 7
    virtual int32_t reserved8(uint32_t* first, uint32_t* second);                  // 8
    virtual int32_t close() = 0;                                                   // 9
    virtual List<uint64_t>* getTitles(List<uint64_t>* result) = 0;                 // 10
    virtual String<unsigned char>* getTitleName(String<unsigned char>* result, uint64_t titleId) = 0;  // 11
    virtual int32_t openTitle(uint64_t titleId) = 0;                               // 12
    virtual int32_t closeTitle(bool leaveOpen) = 0;                                // 13
    virtual int32_t getFileSize(uint64_t* size) = 0;                               // 14
    virtual int32_t getMimeTypePriority(const String<unsigned char>& mimeType) = 0;  // 15
    virtual uint32_t getMimeTypeCount() = 0;                                       // 16
    virtual String<unsigned char>* getMimeType(String<unsigned char>* result, uint32_t index) = 0;  // 17
    virtual int32_t getMimeTypePriorityAt(uint32_t index) = 0;                     // 18

protected:
    ContainerInterface() : containerHost(nullptr), containerId(0) {}
    ~ContainerInterface() = default;

    ContainerHost* containerHost;  // not owned
    uint64_t containerId;
};

} // namespace Qel
