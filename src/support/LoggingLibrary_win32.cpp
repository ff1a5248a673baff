#include "support/LoggerImpl.h"

namespace Qel {

std::u16string standardLoggingLibraryName()
{
    return u"Qel_Logging.dll";
}

// A plain name is searched in the default order (the program's folder, the
// system folders, the current folder, PATH).
Platform::ModuleHandle loadLoggingLibrary(const std::u16string& libraryName)
{
    return Platform::loadModuleWide(libraryName);
}

} // namespace Qel
