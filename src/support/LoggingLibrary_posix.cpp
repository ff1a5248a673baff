#include "support/LoggerImpl.h"

#include <vector>

#include "support/TextConversion.h"

namespace Qel {

std::u16string standardLoggingLibraryName()
{
    return u"libQel_Logging.so";
}

namespace {

std::string folderOfThisModule()
{
    std::vector<char> path(4096);
    const uint32_t length = Platform::moduleFileName(Platform::thisModule(), path.data(),
                                                     static_cast<uint32_t>(path.size()));
    if (length == 0 || length >= path.size())
        return {};
    const std::string file(path.data(), length);
    const auto slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

} // namespace

// The dynamic loader looks for a bare name only on the library path, where a
// library installed beside the plug-in is not found as it would be on
// Windows; so a plain name that fails there is tried in the plug-in's folder.
Platform::ModuleHandle loadLoggingLibrary(const std::u16string& libraryName)
{
    Platform::ModuleHandle module = Platform::loadModuleWide(libraryName);
    if (module || libraryName.find(u'/') != std::u16string::npos)
        return module;
    const std::string folder = folderOfThisModule();
    const std::string name = toUtf8(libraryName);
    if (folder.empty() || name.empty())
        return nullptr;
    return Platform::loadModule((folder + name).c_str());
}

} // namespace Qel
