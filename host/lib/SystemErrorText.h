// The system's own sentence for an error number: strerror for errno values,
// FormatMessageW for GetLastError values on Windows.
#pragma once

#include <string>

namespace Qel::Host {

std::string systemErrorText(int error);

} // namespace Qel::Host
