// Exports the file version 7.7.9.0 in the packing of a version resource.
#include <cstdint>

#if defined(_WIN32)
#define QEL_TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define QEL_TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif

QEL_TEST_EXPORT const uint32_t qelRuntimeFileVersion[2] = {0x00070007, 0x00090000};
