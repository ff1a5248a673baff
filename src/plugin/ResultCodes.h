// Result codes of container and stream operations (32-bit signed), and
// their meaning in words for messages and logs.
#pragma once

#include <cstdint>

namespace Qel {

constexpr int32_t kResultSuccess = 0;
constexpr int32_t kResultFailure = int32_t(0x80100001u);
constexpr int32_t kResultRuntimeNotStarted = int32_t(0x8020000au);
constexpr int32_t kResultNotALocalPath = int32_t(0x80800001u);

// queryInterface answers
constexpr int32_t kQueryFound = 0;
constexpr int32_t kQueryNotFound = 3;

inline const char* resultCodeText(int32_t code)
{
    switch (code) {
    case kResultSuccess: return "success";
    case kResultFailure: return "failure (bad argument, wrong state, or the runtime refused the movie)";
    case kResultRuntimeNotStarted: return "the QuickTime runtime could not be started";
    case kResultNotALocalPath: return "the location is not a local file URL";
    default: return "unknown result code";
    }
}

} // namespace Qel
