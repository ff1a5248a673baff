// The library's file version where the platform has no version resources:
// {high, low} packed as Windows packs a file version (major << 16 | minor,
// build << 16 | revision). Compiled into each runtime library with its own
// QEL_RUNTIME_FILE_VERSION_HIGH/LOW.
#include "frame/RuntimeDispatch.h"

extern "C" {
QEL_RUNTIME_EXPORT extern const uint32_t qelRuntimeFileVersion[2];
}

const uint32_t qelRuntimeFileVersion[2] = {QEL_RUNTIME_FILE_VERSION_HIGH, QEL_RUNTIME_FILE_VERSION_LOW};
