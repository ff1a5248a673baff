// One movie opened through the plug-in module exactly as a host does it:
// the module loaded by file name from the program's folder, "_getPlugin",
// the container interface, initialize, open, the one title, and the streams
// received through addStream.
//
// The module is loaded once per process and kept (as a host keeps a plug-in
// it used); each PluginMovie makes its own component and gives everything
// back when it goes: closeTitle (the host then destroys its streams), close,
// the last dropReference. Streams a caller opened must be closed before.
#pragma once

#include <cstdint>
#include <string>

#include "HostEvents.h"
#include "PluginModule.h"
#include "RecordingContainerHost.h"
#include "RecordingPluginHost.h"
#include "plugin/ContainerInterface.h"
#include "plugin/Plugin.h"
#include "streams/StreamInterface.h"

namespace Qel::Bench {

class PluginMovie {
public:
    static constexpr int32_t kAudioKind = 288;
    static constexpr int32_t kVideoKind = 272;

    // Opens the movie and its title; throws std::runtime_error on failure
    // after releasing what it took.
    explicit PluginMovie(const std::string& path);
    ~PluginMovie();
    PluginMovie(const PluginMovie&) = delete;
    PluginMovie& operator=(const PluginMovie&) = delete;

    // The first stream of the kind, or null.
    StreamInterface* stream(int32_t kind) const;

private:
    void release();

    Host::HostEventLog events;
    Host::RecordingPluginHost pluginHost;
    Host::RecordingContainerHost containerHost;
    Plugin* plugin = nullptr;
    ContainerInterface* container = nullptr;
    bool opened = false;
};

} // namespace Qel::Bench
