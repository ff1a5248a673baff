// The five-word format record that a stream exposes through getFormat.
// Audio: code 1, kind 2. Video: the pixel format's four characters in words
// 1 and 2 (terminated by the zero byte of word 2), kind 1.
#pragma once

#include <cstdint>

namespace Qel {

struct StreamFormat {
    uint32_t code;
    uint32_t terminator;
    uint32_t reserved1;
    uint32_t kind;
    uint32_t reserved2;
};
static_assert(sizeof(StreamFormat) == 20);

} // namespace Qel
