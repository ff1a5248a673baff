// Statuses the runtime answers besides success, kQtParamError (-50, a bad
// argument: an unknown handle, a null pointer, a value out of range) and
// kQtOutOfMemory (-108).
#pragma once

#include "QuickTimeInterface.h"

namespace QelRuntime {

constexpr QtStatus kQtFileNotFound = -43;
constexpr QtStatus kQtPermissionError = -54;
constexpr QtStatus kQtPropertyBadValueSize = -2184;  // kQTPropertyBadValueSizeErr
constexpr QtStatus kQtPropertyNotSupported = -2195;  // kQTPropertyNotSupportedErr
// A component request the component does not know (badComponentSelector,
// a 32-bit status).
constexpr QtLongStatus kQtBadComponentSelector = QtLongStatus(0x80008002u);
constexpr QtStatus kQtUserDataItemNotFound = -2026;
constexpr QtStatus kQtMovieNotFound = -2048;
constexpr QtStatus kQtBadCompressedData = -8969;

} // namespace QelRuntime
