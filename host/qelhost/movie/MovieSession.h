// One movie opened through the plug-in exactly as a host engine does it:
// the module loaded by file name from qelhost's own folder (or, installed,
// from PREFIX/lib/QelContainerQuickTime), "_getPlugin",
// the container interface through queryInterface, initialize, open, the
// one title opened, and the streams received through addStream.
//
// The session owns everything it acquired and gives it back in reverse
// order when it goes: closeTitle (the host then destroys the streams it was
// given), close and the last dropReference. Streams that a command opened
// must be closed by that command before. The module itself stays loaded
// until the program ends, as a host keeps a plug-in it has used: the
// plug-in keeps process-wide state (its started runtime, its logger) for
// as long as it is loaded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "HostEvents.h"
#include "PluginModule.h"
#include "RecordingContainerHost.h"
#include "RecordingPluginHost.h"
#include "plugin/ContainerInterface.h"
#include "plugin/Plugin.h"
#include "streams/StreamInterface.h"

namespace Qel::Cli {

class MovieSession {
public:
    MovieSession();
    ~MovieSession();
    MovieSession(const MovieSession&) = delete;
    MovieSession& operator=(const MovieSession&) = delete;

    // Loads the plug-in, opens the movie and its title. Throws CommandError
    // (no such file, no plug-in, refused, no runtime); whatever was acquired
    // before the failure is released by the destructor.
    void open(const std::string& moviePath);

    ContainerInterface& container() { return *containerView; }
    uint64_t titleId() const { return title; }
    // Every stream the container handed over, in the order it came.
    const std::vector<StreamInterface*>& streams() const { return containerHost.streams(); }
    // Whether the container asked the host to activate the stream.
    bool activated(const StreamInterface* stream) const;
    // The first activated stream of the kind (288 audio, 272 video), or null.
    StreamInterface* activatedStream(int32_t kind) const;
    // The stream of the kind a user chose: the activated one for number 0,
    // otherwise the number-th of the kind (from 1) in the order the plug-in
    // presented them. Throws CommandError when there is no such stream.
    StreamInterface* chosenStream(int32_t kind, int32_t number) const;

private:
    void loadPlugin();

    Host::PluginModule& module;
    Host::HostEventLog events;
    Host::RecordingPluginHost pluginHost;
    Host::RecordingContainerHost containerHost;
    Plugin* plugin = nullptr;
    ContainerInterface* containerView = nullptr;
    uint64_t title = 0;
    bool movieOpen = false;
};

} // namespace Qel::Cli
