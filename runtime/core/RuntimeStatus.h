// Statuses the runtime answers besides success and kQtParamError (-50,
// a bad argument: an unknown handle, a null pointer, a value out of range).
#pragma once

#include "quicktime/QtTypes.h"

namespace Qel::Runtime {

constexpr QtStatus kQtFileNotFound = -43;
constexpr QtStatus kQtPermissionError = -54;
constexpr QtStatus kQtOutOfMemory = -108;
constexpr QtStatus kQtBadComponentSelector = -2006;
constexpr QtStatus kQtUserDataItemNotFound = -2026;
constexpr QtStatus kQtMovieNotFound = -2048;
constexpr QtStatus kQtBadCompressedData = -8969;

} // namespace Qel::Runtime
