// Channel layout records ('xaud'/'clay') as the extraction reads them back
// and accepts them, by tag or expanded into channel descriptions
// (QtTypes.h describes the record).
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "QuickTimeInterface.h"

namespace QelRuntime {

// The layout tag of a source of `channels` channels in the runtime's own
// order (mono, stereo, or discrete in order: L R C LFE Ls Rs for six, see
// runtime/README.md).
uint32_t ownLayoutTag(int32_t channels);

// The record of a layout the runtime uses (stereo, or a source's own), by
// tag (32 bytes) or expanded (12 + 20 bytes per channel).
std::vector<unsigned char> layoutRecord(uint32_t tag, bool expanded);

// The tag that a caller's record of `size` bytes names: its own tag, or for
// an expanded record the tag of the runtime's layout (stereo, or the
// source's own of `sourceChannels`) whose channels it lists in order. A
// record shorter than it says answers kQtPropertyBadValueSize in `status`;
// descriptions of any other layout leave no tag.
std::optional<uint32_t> layoutTagOf(const unsigned char* record, uint32_t size, int32_t sourceChannels,
                                    QtLongStatus& status);

} // namespace QelRuntime
