// The module's only export. Hosts look it up as "_getPlugin": on Windows the
// .def file gives the cdecl symbol that name; elsewhere the assembler label
// below does, with default visibility while everything else stays hidden.
#include "container/ContainerQuickTime.h"
#include "support/OutOfMemoryGuard.h"

#if defined(_WIN32)
#define QEL_EXPORTED_AS_GETPLUGIN
#else
#define QEL_EXPORTED_AS_GETPLUGIN __asm__("_getPlugin") __attribute__((visibility("default")))
#endif

extern "C" int32_t getPlugin(Qel::PluginHost* host, Qel::Plugin** out) QEL_EXPORTED_AS_GETPLUGIN;

extern "C" int32_t getPlugin(Qel::PluginHost* host, Qel::Plugin** out)
{
    // Without somewhere to put the component, making one would only leak it.
    if (!out)
        return 0;
    // Out of memory for the object or for what its constructor builds (the
    // MIME table, the buffer allocator), the host gets no component; the
    // constructor's members free what they had taken.
    *out = Qel::unlessOutOfMemory([host]() -> Qel::Plugin* { return new Qel::ContainerQuickTime(host); },
                                  []() -> Qel::Plugin* { return nullptr; });
    return 0;
}
