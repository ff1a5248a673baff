#include "movie/MovieSession.h"

#include <cstdio>
#include <filesystem>

#include "movie/MovieFileCheck.h"
#include "movie/StreamDescription.h"
#include "report/CommandError.h"
#include "report/Counted.h"
#include "HostLocation.h"
#include "media/StandardAllocator.h"
#include "support/Platform.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

constexpr char kContainerInterfaceName[] = "com.ombrix.flowvane.interface.container";
constexpr uint64_t kContainerId = 1;

std::string hexCode(int32_t code)
{
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(code));
    return hex;
}

std::string codeText(int32_t code)
{
    return std::string(resultCodeText(code)) + " (" + hexCode(code) + ")";
}

// The folder qelhost loads the plug-in from: its own (the build's layout,
// and a Windows host's), else the plug-in folder of an installation,
// PREFIX/lib/QelContainerQuickTime beside PREFIX/bin. Both are found from
// the program's own path: never the current folder, never PATH.
std::string pluginFolder()
{
    const std::string program = Host::PluginModule::programFolder();
    const char separator = Host::PluginModule::kSeparator;
    const std::string installed =
        program + ".." + separator + "lib" + separator + "QelContainerQuickTime" + separator;
    const bool beside = Platform::pathExists((program + Host::PluginModule::kFileName).c_str());
    if (!beside && Platform::pathExists((installed + Host::PluginModule::kFileName).c_str()))
        return installed;
    return program;
}

// The process's one load of the plug-in.
Host::PluginModule& pluginModule()
{
    static Host::PluginModule* const module = new Host::PluginModule(pluginFolder());
    return *module;
}

} // namespace

MovieSession::MovieSession() : module(pluginModule()), pluginHost(events), containerHost(events) {}

MovieSession::~MovieSession()
{
    // closeTitle also takes back streams of a title that failed half-way.
    if (movieOpen) {
        containerView->closeTitle(false);
        containerView->close();
    }
    if (plugin)
        plugin->dropReference();
}

void MovieSession::loadPlugin()
{
    if (!module.loaded())
        throw CommandError(kExitNoPlugin, "cannot load the plug-in: " + module.error() +
                                              "; qelhost looks beside itself, then in ../lib/QelContainerQuickTime");
    Plugin* created = nullptr;
    module.getPlugin()(&pluginHost, &created);
    if (!created)
        throw CommandError(kExitNoPlugin, "the plug-in made no component");
    plugin = created;
    void* view = nullptr;
    String<char> name(kContainerInterfaceName, &StandardAllocator<char>::instance());
    if (plugin->queryInterface(name, &view) != kQueryFound || !view)
        throw CommandError(kExitNoPlugin, "the plug-in offers no container interface");
    containerView = static_cast<ContainerInterface*>(view);
}

void MovieSession::open(const std::string& moviePath)
{
    checkMovieFile(moviePath);
    loadPlugin();
    containerView->initialize(&containerHost, kContainerId);
    std::error_code error;
    const std::string absolute = std::filesystem::absolute(std::filesystem::u8path(moviePath), error).u8string();
    Host::HostLocation location = Host::HostLocation::fromPath(absolute);
    const int32_t opened = containerView->open(&location);
    if (opened == kResultRuntimeNotStarted)
        throw CommandError(kExitNoRuntime, "the plug-in cannot open " + moviePath + ": " + codeText(opened) +
                                               "; " + module.runtimeSearchText());
    if (opened == kResultFailure)
        throw CommandError(kExitRefused, "the plug-in cannot open " + moviePath + " as a movie: it may be damaged, "
                                         "cut short, or of a kind the plug-in does not take (" + hexCode(opened) + ")");
    if (opened != kResultSuccess)
        throw CommandError(kExitRefused, "the plug-in cannot open " + moviePath + ": " + codeText(opened));
    movieOpen = true;
    List<uint64_t> titles = callByValue(*containerView, &ContainerInterface::getTitles);
    title = titles.head ? titles.head->value : 0;
    const int32_t titleOpened = containerView->openTitle(title);
    if (titleOpened != kResultSuccess)
        throw CommandError(kExitRefused, "the plug-in cannot open the title of " + moviePath + ": " +
                                             codeText(titleOpened));
}

bool MovieSession::activated(const StreamInterface* stream) const
{
    for (const Host::HostEvent& event : events.all()) {
        if (event.kind == Host::HostEvent::Kind::ActivateStream && event.id == stream->getStreamId())
            return true;
    }
    return false;
}

StreamInterface* MovieSession::activatedStream(int32_t kind) const
{
    for (StreamInterface* stream : streams()) {
        if (stream->getKind() == kind && activated(stream))
            return stream;
    }
    return nullptr;
}

StreamInterface* MovieSession::chosenStream(int32_t kind, int32_t number) const
{
    if (number == 0)
        return activatedStream(kind);
    int32_t seen = 0;
    for (StreamInterface* stream : streams()) {
        if (stream->getKind() == kind && ++seen == number)
            return stream;
    }
    const std::string kindName = kind == kVideoKind ? "video" : "audio";
    throw CommandError(kExitUsage, "there is no " + kindName + " stream " + std::to_string(number) +
                                       ": the movie has " + counted(uint64_t(seen), kindName + " stream"));
}

} // namespace Qel::Cli
