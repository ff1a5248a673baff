// Strict lifetimes (RuntimeModes.h): QuickTime disposes nothing in cascade,
// so an extraction, export source or sequence that outlives the movie it was
// made from, or a sequence that outlives the surface it draws on, is left
// pointing at nothing on a user's machine. In strict mode the runtime
// reports each on standard error as it happens ("QuickTime.qts: strict
// lifetimes: an extraction outlives its movie"), and when the library
// unloads, every object still live.
#pragma once

#include <cstdint>

#include "operations/RuntimeObjects.h"

namespace QelRuntime {

// Called just before the movie or surface `disposed` goes.
void reportOutliving(RuntimeState& state, uintptr_t disposed);

// Called as the runtime's state goes with the library.
void reportLeftovers(const RuntimeState& state);

} // namespace QelRuntime
