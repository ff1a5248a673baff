// Every stub reaches the runtime with its exact selector and every argument
// intact, and hands back the runtime's result in the operation's type.
#include <array>
#include <thread>
#include <type_traits>
#include <utility>

#include "RuntimeFixture.h"
#include "frame/RuntimeDispatch.h"
#include "quicktime/QtExportSource.h"
#include "quicktime/QtLoader.h"

namespace Qel::Testing {
namespace {

// A distinct word per operation and argument; narrow arguments differ in
// their low bits too.
uintptr_t patternWord(uint32_t selector, size_t index)
{
    const uint64_t word = 0x0102030405060708ull * (index + 1) ^ (uint64_t(selector) << 12);
    return static_cast<uintptr_t>(word);
}

template <class T>
T fromWord(uintptr_t word)
{
    return QelRuntime::argumentAs<T>(word);
}

bool isRuntimeOperation(uint32_t selector)
{
    const auto operation = static_cast<QtSelector>(selector);
    return operation == QtSelector::QtRuntimeInit || operation == QtSelector::QtRuntimeTerm ||
           operation == QtSelector::QtRuntimeStateQuery;
}

template <class Param>
void expectArgument(const QelRuntime::EchoRuntime::Call& call, size_t index, uintptr_t word)
{
    EXPECT_EQ(fromWord<Param>(call.arguments[index]), fromWord<Param>(word)) << "argument " << index;
}

// Calls stub with pattern arguments and checks what the echo runtime saw.
// The runtime operations are carried out by the runtime, so their results
// are not the echo's.
template <class Result, class... Params, size_t... Index>
void expectEchoed(const HeldRuntime& runtime, Result (*stub)(Params...), uint32_t selector,
                  std::index_sequence<Index...>)
{
    [[maybe_unused]] const std::array<uintptr_t, sizeof...(Params)> words{patternWord(selector, Index)...};
    if constexpr (std::is_void_v<Result>) {
        stub(fromWord<Params>(words[Index])...);
    } else {
        const Result result = stub(fromWord<Params>(words[Index])...);
        if (!isRuntimeOperation(selector)) {
            EXPECT_EQ(result, fromWord<Result>(QelRuntime::EchoRuntime::echoResult(selector)));
        }
    }
    const QelRuntime::EchoRuntime::Call& call = runtime.lastCall();
    EXPECT_EQ(call.selector, selector);
    ASSERT_EQ(call.argumentCount, sizeof...(Params));
    (expectArgument<Params>(call, Index, words[Index]), ...);
}

template <class Result, class... Params>
void expectEchoed(const HeldRuntime& runtime, Result (*stub)(Params...), uint32_t selector)
{
    expectEchoed(runtime, stub, selector, std::index_sequence_for<Params...>{});
}

// Calls stub while nothing is bound: the result is kQtNotBound in the
// operation's type, and no runtime sees the call.
template <class Result, class... Params>
void expectUnbound(Result (*stub)(Params...))
{
    if constexpr (std::is_void_v<Result>)
        stub(Params{}...);
    else
        EXPECT_EQ(stub(Params{}...), fromWord<Result>(static_cast<uintptr_t>(intptr_t{kQtNotBound})));
}

TEST_F(LoaderTest, EveryOperationReachesTheRuntimeWithItsSelectorAndArguments)
{
    HeldRuntime echo("echo");
    ASSERT_TRUE(echo.loaded());
    ASSERT_EQ(QtLoaderInit(64), 0);
#define QT_OPERATION(name, selector, result, params) \
    {                                               \
        SCOPED_TRACE(#name);                        \
        expectEchoed(echo, &Qel::name, selector);    \
    }
#include "quicktime/QtOperationList.h"
#undef QT_OPERATION
}

TEST_F(LoaderTest, FirstCallBindsOnDemandWithTheCallersArgumentsIntact)
{
    HeldRuntime echo("echo");
    ASSERT_TRUE(echo.loaded());
    // Thirteen arguments: six in registers and seven on the stack on x86_64,
    // all of which must survive the bind hook.
    expectEchoed(echo, &QtDecompressStart, static_cast<uint32_t>(QtSelector::QtDecompressStart));
    EXPECT_EQ(state().bindHook.load(), nullptr);
    // The runtime is not started by anyone: the loader keeps its reference.
    EXPECT_NE(state().library, nullptr);
    expectEchoed(echo, &QtSurfaceCreate, static_cast<uint32_t>(QtSelector::QtSurfaceCreate));
}

TEST_F(LoaderTest, ConcurrentFirstCallsBindOnce)
{
    HeldRuntime echo("echo");
    const int32_t expected = fromWord<int32_t>(QelRuntime::EchoRuntime::echoResult(0x2003F));
    int32_t results[2] = {};
    std::thread first([&] { results[0] = QtMovieTrackCount(nullptr); });
    std::thread second([&] { results[1] = QtMovieTrackCount(nullptr); });
    first.join();
    second.join();
    EXPECT_EQ(results[0], expected);
    EXPECT_EQ(results[1], expected);
    EXPECT_EQ(state().bindHook.load(), nullptr);
    EXPECT_NE(state().library, nullptr);
}

TEST_F(LoaderTest, OnDemandBindingLeavesAStartedRuntimeToItsOtherUser)
{
    HeldRuntime echo("echo");
    ASSERT_EQ(QtLoaderInit(64), 0);
    QtLoaderResetForTesting();  // another user keeps the runtime started

    expectEchoed(echo, &QtMovieTrackCount, static_cast<uint32_t>(QtSelector::QtMovieTrackCount));
    EXPECT_EQ(state().bindHook.load(), nullptr);
    EXPECT_EQ(state().library, nullptr);
    QtRuntimeTerm();
}

TEST_F(LoaderTest, OnDemandBindingKeepsAnOldStartedRuntimeLoaded)
{
    HeldRuntime old("old");
    ASSERT_EQ(QtLoaderInit(64), 0);
    QtLoaderResetForTesting();

    expectEchoed(old, &QtMovieTrackCount, static_cast<uint32_t>(QtSelector::QtMovieTrackCount));
    EXPECT_NE(state().library, nullptr);
    QtRuntimeTerm();
}

TEST_F(LoaderTest, AFailedInitialiseLeavesEveryOperationUnbound)
{
    HeldRuntime incomplete("incomplete");
    ASSERT_TRUE(incomplete.loaded());
    EXPECT_EQ(QtLoaderInit(64), kQtEntryPointMissing);
    EXPECT_EQ(state().library, nullptr);
    EXPECT_EQ(state().initCount, 0);
    EXPECT_EQ(state().dispatcher.load(), &QtUnbound);
    EXPECT_EQ(state().componentCall.load(), &QtUnbound);
    EXPECT_EQ(state().componentCallWithStorage.load(), &QtUnbound);
#define QT_OPERATION(name, selector, result, params) \
    {                                               \
        SCOPED_TRACE(#name);                        \
        expectUnbound(&Qel::name);                   \
    }
#include "quicktime/QtOperationList.h"
#undef QT_OPERATION
    EXPECT_EQ(incomplete.lastCall().selector, 0u);
}

TEST_F(LoaderTest, InitialiseAndTerminateAreCounted)
{
    HeldRuntime echo("echo");
    const uint32_t startsBefore = echo.callCount(QtSelector::QtRuntimeInit);
    const uint32_t stopsBefore = echo.callCount(QtSelector::QtRuntimeTerm);

    ASSERT_EQ(QtLoaderInit(64), 0);
    const Platform::ModuleHandle library = state().library;
    ASSERT_EQ(QtLoaderInit(64), 0);
    EXPECT_EQ(state().initCount, 2);
    EXPECT_EQ(state().library, library);
    EXPECT_EQ(echo.callCount(QtSelector::QtRuntimeInit), startsBefore + 1);
    EXPECT_EQ(echo.lastCall().arguments[0], 64u);

    QtLoaderTerm();
    EXPECT_EQ(echo.callCount(QtSelector::QtRuntimeTerm), stopsBefore);
    EXPECT_EQ(QtMoviesStart(), fromWord<QtStatus>(QelRuntime::EchoRuntime::echoResult(0x20001)));

    QtLoaderTerm();
    EXPECT_EQ(echo.callCount(QtSelector::QtRuntimeTerm), stopsBefore + 1);
    EXPECT_EQ(state().library, nullptr);
    EXPECT_EQ(QtMoviesStart(), kQtNotBound);

    QtLoaderTerm();
    EXPECT_EQ(state().initCount, 0);
    EXPECT_EQ(echo.callCount(QtSelector::QtRuntimeTerm), stopsBefore + 1);
}

TEST_F(LoaderTest, RuntimeRefusesUnknownStartFlagsAndTheLoaderRecovers)
{
    HeldRuntime echo("echo");
    EXPECT_EQ(QtLoaderInit(64 | 1), kQtParamError);
    EXPECT_EQ(state().library, nullptr);
    EXPECT_EQ(QtMoviesStart(), kQtNotBound);
    EXPECT_EQ(QtLoaderInit(64), 0);
    EXPECT_EQ(QtRuntimeStateQuery(), 1);
    QtLoaderTerm();
}

TEST_F(LoaderTest, ExportSourceRequestsCarryTheirParametersInCallOrder)
{
    HeldRuntime echo("echo");
    ASSERT_EQ(QtLoaderInit(64), 0);
    auto exporter = reinterpret_cast<QtComponentInstance>(QelRuntime::EchoRuntime::kBlockInstance);
    int32_t timeScale = 0;
    QtExportPropertyFunction propertyFunction = nullptr;
    QtExportDataFunction dataFunction = nullptr;
    void* context = nullptr;
    auto movie = reinterpret_cast<QtMovie>(uintptr_t{0x1111});
    auto track = reinterpret_cast<QtTrack>(uintptr_t{0x2222});

    QtExportSourceCreate(exporter, fourCc('v', 'i', 'd', 'e'), &timeScale, movie, track, -5, 600,
                         &propertyFunction, &dataFunction, &context);
    const QelRuntime::EchoRuntime::Call& create = echo.lastCall();
    EXPECT_EQ(create.arguments[0], QelRuntime::EchoRuntime::kBlockInstance);
    EXPECT_EQ(create.blockFlags, 0);
    EXPECT_EQ(create.blockBytes, 9 * sizeof(uintptr_t));
    EXPECT_EQ(create.blockWhat, 256);
    const std::array<uintptr_t, 9> expected{fourCc('v', 'i', 'd', 'e'),
                                            reinterpret_cast<uintptr_t>(&timeScale),
                                            0x1111,
                                            0x2222,
                                            static_cast<uintptr_t>(intptr_t{-5}),
                                            600,
                                            reinterpret_cast<uintptr_t>(&propertyFunction),
                                            reinterpret_cast<uintptr_t>(&dataFunction),
                                            reinterpret_cast<uintptr_t>(&context)};
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(create.blockParams[i], expected[i]) << "parameter " << i;

    auto data = reinterpret_cast<QtExportDataFunction>(uintptr_t{0x3330});
    QtExportSourceDispose(exporter, nullptr, data, &timeScale);
    const QelRuntime::EchoRuntime::Call& dispose = echo.lastCall();
    EXPECT_EQ(dispose.blockBytes, 3 * sizeof(uintptr_t));
    EXPECT_EQ(dispose.blockWhat, 257);
    EXPECT_EQ(dispose.blockParams[0], 0u);
    EXPECT_EQ(dispose.blockParams[1], uintptr_t{0x3330});
    EXPECT_EQ(dispose.blockParams[2], reinterpret_cast<uintptr_t>(&timeScale));
    QtLoaderTerm();
}

} // namespace
} // namespace Qel::Testing
