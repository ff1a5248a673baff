#pragma once

#if defined(_WIN32)
#define QEL_TEST_EXPORT extern "C" __declspec(dllexport)
#else
#define QEL_TEST_EXPORT extern "C" __attribute__((visibility("default")))
#endif
