// Conversion between UTF-8 bytes and UTF-16 code units with strict checking
// of continuation bytes and surrogate pairs. Used to turn the host's UTF-8
// locations into the wide paths the platform needs, and back. Stateless; any
// thread may call.
#pragma once

#include <cstdint>
#include <string>

namespace Qel {

// Decodes in[0..inLength) into out, writing at most outCapacity units and no
// terminator. A leading byte-order mark (EF BB BF) is skipped and reported
// through hadBom (which may be null). Over-long forms and encoded surrogates
// are accepted as they decode. Returns the units written, or -1 for
// malformed input or too little room; what was written before is left.
int32_t utf8ToUtf16(const unsigned char* in, uint32_t inLength, char16_t* out, uint32_t outCapacity,
                    bool* hadBom);

// Encodes in[0..inLength) into out, writing at most outCapacity bytes and no
// terminator, preceded by a byte-order mark when writeBom is set. A high
// surrogate must be followed by a low one; a lone low surrogate is encoded as
// it stands. Returns the bytes written, or -1 for a high surrogate without
// its partner or too little room (the mark included).
int32_t utf16ToUtf8(const char16_t* in, uint32_t inLength, unsigned char* out, uint32_t outCapacity,
                    bool writeBom);

// The UTF-16 text of utf8 without a byte-order mark, cut at the first U+0000.
// Malformed input yields the empty string, which names no file, so callers
// that use the result as a path fail cleanly. The conversions count in 32
// bits: a text too long for that throws std::bad_alloc (both functions).
std::u16string toWide(const std::string& utf8);

// The UTF-8 text of wide, cut at the first U+0000. A high surrogate without
// its partner yields the empty string.
std::string toUtf8(const std::u16string& wide);

} // namespace Qel
