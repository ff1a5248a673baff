#include "support/LoggerImpl.h"

namespace Qel {

std::u16string standardLoggingLibraryName()
{
    return u"libQel_Logging.so";
}

} // namespace Qel
