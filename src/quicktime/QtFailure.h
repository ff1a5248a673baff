// The diagnostic line of a failed QuickTime call:
//   "failed with code %ld 0x%04X %c%c%c%c"
// the status widened to 32 bits, the same value in hexadecimal, then its
// four bytes as signed characters, lowest-order byte first (a byte above
// 127 reaches the logging library as a negative value; printf prints the
// same character either way, a library that reads the values does not).
// function is one of the constants of support/Log.h, as for QEL_LOG.
#pragma once

#include <cstdint>

#include "support/Log.h"

namespace Qel {

// The line on the given logger; QEL_LOG_QT_FAILURE writes it on the one
// instance.
inline void writeQtFailure(Logger& logger, const char* function, int line, int32_t status)
{
    const uint32_t bits = static_cast<uint32_t>(status);
    const auto byte = [bits](int shift) {
        return static_cast<int>(static_cast<signed char>((bits >> shift) & 0xFF));
    };
    logger.write(kLogCategory, function, line, "failed with code %ld 0x%04X %c%c%c%c", static_cast<long>(status),
                 static_cast<unsigned>(bits), byte(0), byte(8), byte(16), byte(24));
}

} // namespace Qel

#define QEL_LOG_QT_FAILURE(function, status)                                                   \
    ::Qel::writeQtFailure(*::Qel::Logger::instance(), ::Qel::LogFunction::function, __LINE__, \
                          static_cast<int32_t>(status))
