#include "support/LoggerImpl.h"

namespace Qel {

std::u16string standardLoggingLibraryName()
{
    return u"Qel_Logging.dll";
}

} // namespace Qel
