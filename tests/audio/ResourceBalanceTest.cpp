// Everything the plug-in takes from the runtime it gives back: a ledger
// between the plug-in code linked in here and the stand-in runtime records
// every resource the container and its streams acquire (movie files,
// movies, handles, enabled tracks, extractions, component instances, export
// sources, surfaces, sequences) and every release, along the whole road of
// a movie, with a runtime fault at each step that can fail.
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostClocks.h"
#include "HostEvents.h"
#include "HostLocation.h"
#include "InterposedRuntime.h"
#include "MovieFixture.h"
#include "PluginModule.h"
#include "RecordingContainerHost.h"
#include "RecordingPluginHost.h"
#include "ScopedRuntimeModes.h"
#include "container/ContainerQuickTime.h"
#include "media/MediaChunk.h"
#include "plugin/ResultCodes.h"
#include "quicktime/QtLoader.h"
#include "quicktime/QtOperations.h"
#include "streams/StreamInterface.h"
#include "support/Platform.h"

namespace Qel::Testing {
namespace {

using QelRuntime::RuntimeArgs;

// Resources held, by kind, as the plug-in's calls show them.
class ResourceLedger {
public:
    InterposedRuntime::Handler handler()
    {
        return [this](uint32_t selector, const RuntimeArgs& args, const InterposedRuntime::PassOn& passOn) {
            const intptr_t answer = passOn();
            record(QtSelector(selector), args, answer);
            return answer;
        };
    }

    // "kind count" for every kind with resources not given back.
    std::vector<std::string> outstanding() const
    {
        std::vector<std::string> kinds;
        for (const auto& [kind, values] : held) {
            if (!values.empty())
                kinds.push_back(kind + " " + std::to_string(values.size()));
        }
        return kinds;
    }

    // Releases of what was not held (given back twice, or never taken).
    std::vector<std::string> strayReleases;

private:
    void record(QtSelector selector, const RuntimeArgs& args, intptr_t answer)
    {
        const bool succeeded = int32_t(answer) == 0;
        switch (selector) {
        case QtSelector::QtMovieFileOpen:
            if (QtStatus(answer) == 0)
                take("movie file", uint16_t(*argumentOf<int16_t*>(args, 1)));
            break;
        case QtSelector::QtMovieFileClose:
            give("movie file", uint16_t(argumentOf<int16_t>(args, 0)));
            break;
        case QtSelector::QtMovieLoad:
            if (QtStatus(answer) == 0)
                take("movie", *argumentOf<uintptr_t*>(args, 0));
            break;
        case QtSelector::QtMovieDispose:
            give("movie", args.arg(0));
            break;
        case QtSelector::QtHandleNew:
            take("handle", uintptr_t(answer));
            break;
        case QtSelector::QtHandleDispose:
            give("handle", args.arg(0));
            break;
        case QtSelector::QtTrackEnable:
            // Disabling is idempotent: only tracks left enabled count.
            if (argumentOf<QtBoolean>(args, 1))
                held["enabled track"].insert(args.arg(0));
            else
                held["enabled track"].erase(args.arg(0));
            break;
        case QtSelector::QtExtractBegin:
            if (succeeded)
                take("extraction", *argumentOf<uintptr_t*>(args, 2));
            break;
        case QtSelector::QtExtractEnd:
            give("extraction", args.arg(0));
            break;
        case QtSelector::QtComponentOpen:
            if (QtStatus(answer) == 0)
                take("component", *argumentOf<uintptr_t*>(args, 1));
            break;
        case QtSelector::QtComponentClose:
            give("component", args.arg(0));
            break;
        case QtSelector::QtComponentRequest:
            recordExportSource(*argumentOf<QtComponentParams*>(args, 1), succeeded);
            break;
        case QtSelector::QtSurfaceCreate:
            if (QtStatus(answer) == 0)
                take("surface", *argumentOf<uintptr_t*>(args, 0));
            break;
        case QtSelector::QtSurfaceDispose:
            give("surface", args.arg(0));
            break;
        case QtSelector::QtDecompressStart:
            if (QtStatus(answer) == 0)
                take("sequence", *argumentOf<uintptr_t*>(args, 0));
            break;
        case QtSelector::QtDecompressStop:
            give("sequence", args.arg(0));
            break;
        default:
            break;
        }
    }

    // An export source is known by its context (the last parameter of a
    // create, the third of a dispose).
    void recordExportSource(const QtComponentParams& block, bool succeeded)
    {
        if (block.what == kQtExportSourceCreateRequest && succeeded)
            take("export source", *reinterpret_cast<const uintptr_t*>(parameter(block, 8)));
        else if (block.what == kQtExportSourceDisposeRequest)
            give("export source", parameter(block, 2));
    }

    // The block holds as many slots as its byte count says, beyond the one
    // the record declares.
    static uintptr_t parameter(const QtComponentParams& block, size_t index)
    {
        const auto* slots = reinterpret_cast<const uintptr_t*>(reinterpret_cast<const char*>(&block) +
                                                               offsetof(QtComponentParams, params));
        return slots[index];
    }

    void take(const std::string& kind, uintptr_t value)
    {
        if (value)
            held[kind].insert(value);
    }

    void give(const std::string& kind, uintptr_t value)
    {
        if (held[kind].erase(value) == 0)
            strayReleases.push_back(kind);
    }

    std::map<std::string, std::set<uintptr_t>> held;
};

using Kinds = std::vector<std::string>;

// A named movie, with a sound track, a video track delivered as it is and
// one that is decompressed; faults and userData are JSON texts.
struct Road {
    const char* name;
    const char* faults;
    const char* userData = R"({"name": "Ledger"})";
    int timeScale = 600;
};

class ResourceBalanceTest : public ::testing::TestWithParam<Road> {
protected:
    ResourceBalanceTest() : pluginHost(events), containerHost(events)
    {
        // The runtime in this program's folder, bound and started before the
        // ledger goes in between (it stays started, as a container leaves it).
        static Platform::ModuleHandle runtime =
            Platform::loadModule((Host::PluginModule::programFolder() + "QuickTime.qts").c_str());
        static const QtStatus started = QtLoaderInit(64);
        EXPECT_NE(runtime, nullptr);
        EXPECT_EQ(started, 0);
        container = new ContainerQuickTime(&pluginHost);
        container->initialize(&containerHost, 42);
    }

    std::string movie() const
    {
        const Road& road = GetParam();
        return std::string(R"({"qelSyntheticMovie": 1, "timeScale": )") + std::to_string(road.timeScale) +
               R"(, "userData": )" + road.userData + R"(, "tracks": [)"
               R"({"type": "soun", "audio": {"sampleRate": 44100, "channels": 6, "frames": 88200}},)"
               R"({"type": "vide", "video": {"compression": "yuvs", "width": 16, "height": 8},)"
               R"( "samples": {"count": 4, "duration": 300}},)"
               R"({"type": "vide", "video": {"compression": "jpeg", "width": 16, "height": 8},)"
               R"( "samples": {"count": 4, "duration": 300}}], "faults": [)" +
               road.faults + "]}";
    }

    // Opens the title and every stream, and reads from each whatever it gives.
    void openAndReadEverything()
    {
        ASSERT_EQ(container->openTitle(1001), kResultSuccess);
        for (StreamInterface* stream : containerHost.streams()) {
            stream->openStream(&clock);
            MediaChunk* chunk = nullptr;
            stream->readStream(&chunk);
            if (chunk)
                chunk->release();
        }
    }

    void expectHeld(const Kinds& kinds, const char* after)
    {
        EXPECT_EQ(ledger.outstanding(), kinds) << "after " << after;
        EXPECT_EQ(ledger.strayReleases, Kinds{}) << "after " << after;
    }

    MovieFixture movies;
    Host::ScriptedClock clock;
    Host::HostEventLog events;
    Host::RecordingPluginHost pluginHost;
    Host::RecordingContainerHost containerHost;
    ContainerQuickTime* container = nullptr;
    ResourceLedger ledger;
};

// The runtime in strict lifetimes reports anything the plug-in leaves to
// outlive what it was made from (an extraction or an export source still
// open when its movie goes, a sequence when its surface goes).
class NothingOutlivesItsOrigin {
public:
    NothingOutlivesItsOrigin() { ::testing::internal::CaptureStderr(); }
    ~NothingOutlivesItsOrigin()
    {
        const std::string reported = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(reported.find("strict lifetimes"), std::string::npos) << reported;
    }

private:
    ScopedRuntimeModes strict{"lifetimes=strict"};
};

TEST_P(ResourceBalanceTest, EveryResourceIsGivenBackAtEachStepOfTheRoad)
{
    NothingOutlivesItsOrigin strictRuntime;
    Host::HostLocation location = Host::HostLocation::fromPath(movies.write("movie.mov", movie()));
    InterposedRuntime runtime(ledger.handler());
    if (container->open(&location) != kResultSuccess) {
        expectHeld({}, "a failed open");
        static_cast<Plugin*>(container)->dropReference();
        expectHeld({}, "the last release");
        return;
    }
    expectHeld({"movie 1"}, "open");

    openAndReadEverything();
    for (StreamInterface* stream : containerHost.streams())
        EXPECT_EQ(stream->closeStream(), kResultSuccess);
    expectHeld({"movie 1"}, "closeStream");

    // Opening an open stream again starts it over: the first opening's
    // resources are given back, not lost.
    for (StreamInterface* stream : containerHost.streams()) {
        stream->openStream(&clock);
        stream->openStream(&clock);
    }
    EXPECT_EQ(container->closeTitle(false), kResultSuccess);
    expectHeld({"movie 1"}, "closeTitle");

    openAndReadEverything();
    EXPECT_EQ(container->close(), kResultSuccess);
    expectHeld({}, "close");

    ASSERT_EQ(container->open(&location), kResultSuccess);
    openAndReadEverything();
    static_cast<Plugin*>(container)->dropReference();
    expectHeld({}, "the last release");
}

INSTANTIATE_TEST_SUITE_P(
    EveryStep, ResourceBalanceTest,
    ::testing::Values(
        Road{"NoFault", ""},
        Road{"MovieNotLoaded", R"({"operation": "QtMovieLoad", "status": -2048})"},
        Road{"FileNotClosed", R"({"operation": "QtMovieFileClose", "status": -43})"},
        Road{"RefusedKind", "", R"({"ctyp": "qtvr"})"},
        Road{"NoTimeScale", "", "null", 0},
        Road{"NoName", R"({"operation": "QtUserDataText", "status": -2026})"},
        Road{"NoExporter", R"({"operation": "QtComponentOpen", "status": -50})"},
        Road{"NoExportSource", R"({"operation": "QtComponentRequest", "status": -50})"},
        Road{"NoProbeSample", R"({"operation": "ExportDataFunction", "status": -50})"},
        Road{"ProbeOfAnotherKind", R"({"operation": "ExportDataFunction", "descriptionType": "soun"})"},
        Road{"ProbeWithoutDescription", R"({"operation": "ExportDataFunction", "nullDescription": true})"},
        Road{"NoSampleRead", R"({"operation": "ExportDataFunction", "status": -50, "fromCall": 3})"},
        Road{"NoSurface", R"({"operation": "QtSurfaceCreate", "nullSurface": true})"},
        Road{"SurfaceRefused", R"({"operation": "QtSurfaceCreate", "status": -50})"},
        Road{"NoSequence", R"({"operation": "QtDecompressStart", "status": -50})"},
        Road{"BadFrame", R"({"operation": "QtDecompressFrame", "status": -8969})"},
        Road{"NoExtraction", R"({"operation": "QtExtractBegin", "status": -50})"},
        Road{"FormatNotRead", R"({"operation": "QtExtractPropertyGet", "status": -50})"},
        Road{"FormatRefused", R"({"operation": "QtExtractPropertySet", "status": -50})"},
        Road{"LayoutRefused", R"({"operation": "QtExtractPropertyInfo", "status": -50})"},
        Road{"FillFailed", R"({"operation": "QtExtractFill", "status": -50})"},
        Road{"ExtractionComplete", R"({"operation": "QtExtractFill", "complete": true})"}),
    [](const ::testing::TestParamInfo<Road>& info) { return std::string(info.param.name); });

} // namespace
} // namespace Qel::Testing
