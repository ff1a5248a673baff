// The interface the runtime answers, as the runtime's own code sees it. The
// operation table's record types and statuses (quicktime/QtTypes.h, in the
// namespace Qel that the plug-in shares) are the vocabulary of every part of
// the runtime, so the runtime's namespace uses them unqualified. Nothing else
// of the plug-in is visible: the runtime's include roots are its own tree
// and the interface's (qel_quicktime_interface).
#pragma once

#include "quicktime/QtTypes.h"

namespace QelRuntime {
using namespace Qel;
} // namespace QelRuntime
