// Helpers shared by the reliability tests: movie files of a given path
// length, and counts of what the process holds (resident memory, open file
// descriptors or handles) for the soak tests.
#pragma once

#include <cstddef>
#include <string>

#include "TempFolder.h"

namespace Qel::Reliability {

// A path inside `folder` of exactly `bytes` bytes (folders of at most 200
// bytes each, so every component stays a legal name), and the folders made
// for it. The file itself is not written.
std::string pathOfLength(const Testing::TempFolder& folder, size_t bytes, const std::string& extension);

// What the process holds now: resident memory in KiB and open descriptors
// (POSIX) or handles (Windows; under Wine, a measure that climbs with
// leaked handles). 0 when the platform cannot tell.
size_t residentKiB();
size_t openHandles();

} // namespace Qel::Reliability
