// File-URL-to-path conversion for systems whose paths start with '/', by the
// rules of the Windows shell's conversion: the file scheme only (in any
// case), an empty or "localhost" host, percent-escapes decoded (escaped UTF-8
// sequences become the characters they encode), and a result that fits the
// caller's buffer with its terminating NUL. Platform-neutral code, so the
// same rules can be checked on every build.
//
// Where the two systems part: a drive letter means nothing here, so
// "file:///C:/x" gives "/C:/x", the path as the URL writes it; a remote host
// (a network path on Windows) is refused; escapes are decoded as UTF-8, the
// form in which the host's locations arrive, and an escaped NUL or escapes
// that are not UTF-8 are refused rather than turned into another file name.
#pragma once

#include <cstdint>
#include <string>

namespace Qel {

constexpr int32_t kUrlOk = 0;
constexpr int32_t kUrlInvalid = static_cast<int32_t>(0x80070057);   // E_INVALIDARG
constexpr int32_t kUrlNoRoom = static_cast<int32_t>(0x80004003);    // E_POINTER

// Writes the NUL-terminated path of url into out (capacity units, NUL
// included). Returns kUrlOk, kUrlInvalid for anything but an absolute local
// file URL, or kUrlNoRoom when the path does not fit.
int32_t posixPathFromFileUrl(const std::u16string& url, char16_t* out, uint32_t capacity);

} // namespace Qel
