// The roads the host drives the plug-in along. Each returns the process's
// exit code: 0 when every check passed.
#pragma once

#include "Freestanding.h"

namespace Host {

// Every slot of Plugin, ContainerInterface and StreamInterface on a
// synthetic movie (one video and one sound track) with exact expectations.
uint32_t syntheticRoad();

// Host calls whose allocations fail inside the DLL, case by case: the host
// gets the ordinary failure of each call and goes on.
uint32_t outOfMemoryRoad();

// Any movie (a path or a file URL): open, list, read every stream to its end
// and release, with the checks that hold for every movie.
uint32_t movieRoad(const wchar_t* movie);

} // namespace Host
