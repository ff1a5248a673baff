// What the echo runtime (EchoRuntime.cpp) remembers of the calls it
// received, read by tests through the library's exports qelEchoLastCall and
// qelEchoCallCount.
//
// Every operation answers the word echoResult(selector), so that a test can
// tell a 16-bit, 32-bit or pointer result from what the stub handed back.
// The runtime operations (start, stop, state) are also carried out by the
// frame, so the echo runtime can be started and stopped like a real one.
#pragma once

#include <cstddef>
#include <cstdint>

namespace QelRuntime::EchoRuntime {

constexpr size_t kMaxArguments = 16;

struct Call {
    uint32_t selector;
    uint32_t argumentCount;  // as the table declares the operation
    uintptr_t arguments[kMaxArguments];
    // For QtComponentRequest on kBlockInstance: a copy of the parameter block
    // as it was during the call (the caller's block is gone afterwards).
    uint8_t blockFlags;
    uint8_t blockBytes;
    int16_t blockWhat;
    uintptr_t blockParams[kMaxArguments];
};

// The component instance whose requests' blocks the echo runtime reads; any
// other instance may come with a block pointer that is only a bit pattern.
constexpr uintptr_t kBlockInstance = 0x5150;

inline intptr_t echoResult(uint32_t selector)
{
    const uint64_t pattern = 0xA5C396E15B3C7D00ull;
    return static_cast<intptr_t>(static_cast<uintptr_t>(pattern) ^ selector);
}

// Exported by the echo runtime.
extern "C" {
typedef const Call* (*LastCallFunction)();
typedef uint32_t (*CallCountFunction)(uint32_t selector);
}

constexpr char kLastCallExport[] = "qelEchoLastCall";
constexpr char kCallCountExport[] = "qelEchoCallCount";

} // namespace QelRuntime::EchoRuntime
