// The diagnostic line of a failed QuickTime call:
//   "failed with code %ld 0x%04X %c%c%c%c"
// the status widened to 32 bits, the same value in hexadecimal, then its
// four bytes as characters, lowest-order byte first. function is one of the
// constants of support/Log.h, as for QEL_LOG.
#pragma once

#include <cstdint>

#include "support/Log.h"

#define QEL_LOG_QT_FAILURE(function, status)                                                              \
    do {                                                                                                  \
        const int32_t qelQtCode = static_cast<int32_t>(status);                                          \
        const uint32_t qelQtBits = static_cast<uint32_t>(qelQtCode);                                     \
        QEL_LOG(function, "failed with code %ld 0x%04X %c%c%c%c", static_cast<long>(qelQtCode),          \
                static_cast<unsigned>(qelQtBits), static_cast<int>(qelQtBits & 0xFF),                   \
                static_cast<int>((qelQtBits >> 8) & 0xFF), static_cast<int>((qelQtBits >> 16) & 0xFF),  \
                static_cast<int>(qelQtBits >> 24));                                                       \
    } while (0)
