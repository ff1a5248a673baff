// Starting and stopping the QuickTime runtime, which is found on the
// machine and bound at run time (QuickTime.qts), never linked.
//
// The operations of QtOperations.h may be called at any time: before the
// first QtLoaderInit a call binds the runtime on demand; while no runtime is
// bound every operation answers kQtNotBound (-2095).
//
// QtLoaderInit and QtLoaderTerm run under the process-wide mutex
// "QTMLInitTermMutex<process id in hex>" and may be called from any thread.
#pragma once

#include <cstdint>

#include "quicktime/QtTypes.h"

namespace Qel {

// Acquires the runtime: the first call (and the first after the last
// QtLoaderTerm) finds, loads and binds QuickTime.qts and starts it with
// QtRuntimeInit(flags); later calls only count. Answers 0,
// kQtLibraryNotFound, kQtEntryPointMissing or QtRuntimeInit's status; a
// failure leaves no library loaded.
QtStatus QtLoaderInit(int32_t flags);

// Releases one acquisition; the last stops the runtime and unloads it, after
// which every operation answers kQtNotBound until the next QtLoaderInit.
// Without an acquisition it does nothing.
void QtLoaderTerm();

} // namespace Qel
