// One plug-in, loaded as a host loads it: the runtime pre-loaded from the
// program's folder, the DLL loaded by name, "_getPlugin" called with the
// host's PluginHost, and the container view asked for by identifier.
#pragma once

#include "Check.h"
#include "HostObjects.h"

namespace Host {

class Session {
public:
    explicit Session(Checks& checks);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // False when the modules, the plug-in or its container view are missing.
    bool ready() const { return container != nullptr; }
    // The last dropReference; checks the release notices.
    void release();
    // Forgets a plug-in that can no longer be trusted to release itself.
    void abandon() { plugin = nullptr; container = nullptr; }

    Checks& checks;
    RecordingPluginHost pluginHost;
    RecordingContainerHost containerHost;
    Plugin* plugin = nullptr;
    ContainerInterface* container = nullptr;

private:
    void* runtime = nullptr;
    void* module = nullptr;
};

// The host's own text for an identifier or a MIME type; the plug-in only
// reads it.
template <class T>
String<T> hostText(const char* text)
{
    return String<T>{reinterpret_cast<T*>(const_cast<char*>(text)), uint32_t(textLength(text)), nullptr};
}

// Checks a text returned by the plug-in against expected (null: the empty
// text, null data) and frees it through the allocator it carries.
bool checkText(Checks& checks, Text& text, const char* expected, const char* what);

// Frees a list returned by the plug-in, node by node, through its allocator.
template <class T>
void freeList(List<T>& list)
{
    for (Node<T>* node = list.head; node;) {
        Node<T>* next = node->next;
        list.allocator->deallocate(node);
        node = next;
    }
    list.head = list.tail = nullptr;
    list.count = 0;
}

// Opens a movie through a host Location holding url; canOpen first.
int32_t openLocation(ContainerInterface* container, const char* url);

// Hides an object's origin from the optimiser so that calls on it go
// through its vtable, as they would in a host that got the pointer from
// elsewhere.
template <class T>
T* opaque(T* pointer)
{
    asm volatile("" : "+r"(pointer));
    return pointer;
}

} // namespace Host
