#include <cstring>

#include "SystemErrorText.h"

namespace Qel::Host {

std::string systemErrorText(int error)
{
    return std::strerror(error);
}

} // namespace Qel::Host
