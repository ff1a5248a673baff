#include "Session.h"

namespace Host {

namespace {

class HostLocation : public Location {
};

} // namespace

Session::Session(Checks& checks) : checks(checks)
{
    runtime = LoadLibraryW(L"QuickTime.qts");
    module = LoadLibraryW(L"QelContainerQuickTime.dll");
    if (!checks.that(runtime && module, "QuickTime.qts and QelContainerQuickTime.dll load"))
        return;
    auto getPlugin = reinterpret_cast<GetPlugin>(GetProcAddress(module, "_getPlugin"));
    if (!checks.that(getPlugin != nullptr, "the DLL exports _getPlugin"))
        return;
    checks.equal(getPlugin(&pluginHost, &plugin), 0, "getPlugin returns 0");
    if (!checks.that(plugin != nullptr, "getPlugin hands out a plug-in"))
        return;
    String<char> id = hostText<char>("com.ombrix.flowvane.interface.container");
    void* view = nullptr;
    checks.equal(plugin->queryInterface(id, &view), 0, "queryInterface finds the container interface");
    container = static_cast<ContainerInterface*>(view);
    checks.that(container != nullptr, "the container view is handed out");
}

Session::~Session()
{
    if (plugin)
        release();
    if (module)
        FreeLibrary(module);
    if (runtime)
        FreeLibrary(runtime);
}

void Session::release()
{
    Plugin* released = plugin;
    plugin = nullptr;
    container = nullptr;
    checks.equal(released->dropReference(), 0, "the last dropReference returns 0");
    checks.that(pluginHost.releasing == released && pluginHost.released == released,
                "onPluginReleasing and onPluginReleased get the Plugin view");
    checks.that(pluginHost.releasingCall == 1 && pluginHost.releasedCall == 2,
                "onPluginReleasing comes before onPluginReleased");
}

bool checkText(Checks& checks, Text& text, const char* expected, const char* what)
{
    bool ok;
    if (!expected) {
        ok = checks.that(text.data == nullptr && text.length == 0, what);
    } else {
        size_t length = textLength(expected);
        ok = checks.that(text.data && text.length == length && sameBytes(text.data, expected, length + 1), what);
    }
    if (!checks.that(text.allocator != nullptr, "a returned text carries its allocator"))
        return false;
    if (text.data)
        text.allocator->deallocate(text.data);
    return ok;
}

int32_t openLocation(ContainerInterface* container, const char* url)
{
    Text text = hostText<unsigned char>(url);
    HostLocation location;
    location.text = &text;
    if (!container->canOpen(&location, 0, 0, 0))
        return kFailure;
    return container->open(&location);
}

} // namespace Host
