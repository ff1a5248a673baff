// The plug-in's typed extern "C" declarations of the QuickTime runtime's
// operations, generated from the table (quicktime/QtOperationList.h); the
// call stubs of QtStubs.S define them.
#pragma once

#include "quicktime/QtSelectors.h"
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

} // namespace Qel
