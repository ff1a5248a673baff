// The one table of the QuickTime runtime's operations: name, 32-bit
// dispatcher selector, result type and typed parameters.
//
// Everything else is generated from it: the typed extern "C" declarations
// below and the call stubs (QtStubs.cpp) in the plug-in, and the runtime's
// dispatch table (runtime/). Define QT_OPERATION(name, selector, result,
// params) before including QtOperationList.h to expand it.
//
// Statuses: QtStatus is 16 bits, QtLongStatus 32 bits; 0 is success.
#pragma once

#include "quicktime/QtTypes.h"

namespace Qel {

#if defined(__GNUC__) && !defined(_WIN32)
#define QEL_QT_HIDDEN __attribute__((visibility("hidden")))
#else
#define QEL_QT_HIDDEN
#endif

extern "C" {
#define QT_OPERATION(name, selector, result, params) QEL_QT_HIDDEN result name params;
#include "quicktime/QtOperationList.h"
#undef QT_OPERATION
}

// Selectors as named constants, for tests and the runtime.
enum class QtSelector : uint32_t {
#define QT_OPERATION(name, selector, result, params) name = selector,
#include "quicktime/QtOperationList.h"
#undef QT_OPERATION
};

} // namespace Qel
