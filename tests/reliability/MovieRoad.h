// The whole road of one movie, driven the way a host drives it: the plug-in
// module loaded by file name, a container from _getPlugin, open, the one
// title, every stream opened with a host clock, then a script of host
// operations, and finally every stream closed, the title closed, the
// container closed and its last reference dropped.
//
// The script is a byte string; each byte is one operation (the low four bits
// choose it, the high four its argument), so arbitrary bytes make a valid
// script. Reads are bounded per operation, so no script can run for long.
//
// Used by the reliability tests, the road fuzz target and the leak-check
// driver; it needs no test framework. Each road has a container of its own;
// roads may run on several threads, since every road takes roadOpenLock()
// around its opens.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace Qel {
class Location;
}

namespace Qel::Host {
class PluginModule;
}

namespace Qel::Reliability {

// The plug-in module of the program's folder, loaded on first use and kept
// until the process ends (as a host keeps a plug-in it used).
Host::PluginModule& roadModule();

// Hosts must not run open (or canOpen) of two containers at once; roads on
// several threads take this lock around their opens.
std::mutex& roadOpenLock();

constexpr int32_t kNotTried = 1;  // no container result code is positive

struct RoadOutcome {
    bool moduleLoaded = false;
    int32_t openResult = kNotTried;
    int32_t titleResult = kNotTried;
    size_t streams = 0;          // handed to the host by the first openTitle
    size_t streamsOpened = 0;    // of those, opened successfully
    size_t chunks = 0;           // delivered over the whole road
    uint64_t bytes = 0;          // in those chunks
    size_t failedOperations = 0; // stream operations that answered a failure
};

// Reads at most this many chunks per read operation of a script.
constexpr int kReadsPerOperation = 4;

// Runs the road for the movie file at `path` (an absolute local path).
RoadOutcome runRoad(const std::string& path, const uint8_t* script, size_t scriptLength);
// The same for any location the host can hand over (any URL or text, or
// none at all); the location must outlive the call.
RoadOutcome runRoadAt(const Location& location, const uint8_t* script, size_t scriptLength);

// A script that reads every stream to its end (bounded) in normal play.
std::string decodeAllScript();

} // namespace Qel::Reliability
