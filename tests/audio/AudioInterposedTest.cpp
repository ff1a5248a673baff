// What the stream does with answers that no synthetic movie makes the
// stand-in runtime give, altered between the two.
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <vector>

#include "InProcessAudioTest.h"
#include "LogCapture.h"
#include "MovieFixture.h"
#include "container/ContainerQuickTime.h"
#include "media/MediaChunk.h"
#include "plugin/ResultCodes.h"

namespace Qel::Testing {
namespace {

using PassOn = InterposedRuntime::PassOn;
using Handler = InterposedRuntime::Handler;

bool isProperty(uint32_t selector, const QelRuntime::RuntimeArgs& args, uint32_t wanted, QtOSType property)
{
    return selector == wanted && argumentOf<QtOSType>(args, 2) == property;
}

// Alters the format that the runtime reports back once a format was set.
Handler alteringAgreedFormat(void (*alter)(QtPcmDescription&))
{
    auto setSeen = std::make_shared<bool>(false);
    return [=](uint32_t selector, const QelRuntime::RuntimeArgs& args, const PassOn& passOn) {
        const intptr_t answer = passOn();
        if (isProperty(selector, args, kPropertySet, kDescription))
            *setSeen = true;
        else if (*setSeen && isProperty(selector, args, kPropertyGet, kDescription))
            alter(*argumentOf<QtPcmDescription*>(args, 4));
        return answer;
    };
}

struct UndeliverableFormat {
    const char* name;
    void (*alter)(QtPcmDescription&);
};

class AudioUndeliverableFormat : public InProcessAudioTest,
                                 public ::testing::WithParamInterface<UndeliverableFormat> {};

// Each of these would divide by zero or overflow the 32-bit rates later.
TEST_P(AudioUndeliverableFormat, FailsTheOpenSilentlyAndLeavesNothingToRead)
{
    load(soundMovie(44100, 2, 50000));
    InterposedRuntime runtime(alteringAgreedFormat(GetParam().alter));
    LogCapture log;
    EXPECT_EQ(stream->openStream(&clock), kResultFailure);
    EXPECT_TRUE(log.messages(kOpenStream).empty());
    ReadChunk chunk = read();
    EXPECT_EQ(chunk.status, kResultFailure);
    EXPECT_FALSE(chunk.delivered);
    EXPECT_EQ(stream->closeStream(), kResultSuccess);
}

INSTANTIATE_TEST_SUITE_P(
    ReportedByTheRuntime, AudioUndeliverableFormat,
    ::testing::Values(
        UndeliverableFormat{"NoChannels", [](QtPcmDescription& d) { d.channelsPerFrame = 0; }},
        UndeliverableFormat{"NoBytesPerPacket", [](QtPcmDescription& d) { d.bytesPerPacket = 0; }},
        UndeliverableFormat{"RateOfZero", [](QtPcmDescription& d) { d.sampleRate = 0; }},
        UndeliverableFormat{"NegativeRate", [](QtPcmDescription& d) { d.sampleRate = -44100; }},
        UndeliverableFormat{"RateNotANumber",
                            [](QtPcmDescription& d) { d.sampleRate = std::numeric_limits<double>::quiet_NaN(); }},
        UndeliverableFormat{"RateBeyond32BitBytesPerSecond", [](QtPcmDescription& d) { d.sampleRate = 2e9; }}),
    [](const ::testing::TestParamInfo<UndeliverableFormat>& info) { return std::string(info.param.name); });

// Answers PropertyInfo for the layout with `size`, and records the size the
// stream then asks for when it reads the layout back.
Handler reportingLayoutSize(uint32_t size, uint32_t* askedForLayout)
{
    return [=](uint32_t selector, const QelRuntime::RuntimeArgs& args, const PassOn& passOn) {
        if (isProperty(selector, args, kPropertyGet, kLayout))
            *askedForLayout = argumentOf<uint32_t>(args, 3);
        const intptr_t answer = passOn();
        if (isProperty(selector, args, kPropertyInfo, kLayout))
            *argumentOf<uint32_t*>(args, 4) = size;
        return answer;
    };
}

TEST_F(InProcessAudioTest, ReadsTheLayoutBackAtTheSizeTheRuntimeReports)
{
    load(soundMovie(48000, 6, 50000));
    uint32_t asked = 0;
    InterposedRuntime runtime(reportingLayoutSize(64, &asked));
    EXPECT_EQ(stream->openStream(&clock), kResultSuccess);
    EXPECT_EQ(asked, 64u);
}

TEST_F(InProcessAudioTest, ALayoutTooSmallToHoldItsTagFailsTheOpenSilently)
{
    load(soundMovie(48000, 6, 50000));
    uint32_t asked = 0;
    InterposedRuntime runtime(reportingLayoutSize(2, &asked));
    LogCapture log;
    EXPECT_EQ(stream->openStream(&clock), kResultFailure);
    EXPECT_EQ(asked, 0u);
    EXPECT_TRUE(log.messages().empty());
}

// Layouts read back that are not stereo in either form: six channels by
// tag; expanded into Left and Center; expanded into Left, Right and Center.
TEST_F(InProcessAudioTest, ALayoutOtherThanStereoFailsTheOpenSilently)
{
    load(soundMovie(48000, 6, 50000));
    const std::vector<std::vector<uint32_t>> layouts = {
        {0x00930006}, {0, 0, 2, 1, 0, 0, 0, 0, 3}, {0, 0, 3, 1, 0, 0, 0, 0, 2, 0, 0, 0, 0, 3}};
    for (const std::vector<uint32_t>& layout : layouts) {
        SCOPED_TRACE(layout.size());
        InterposedRuntime runtime([&layout](uint32_t selector, const QelRuntime::RuntimeArgs& args, const PassOn& passOn) {
            const intptr_t answer = passOn();
            if (isProperty(selector, args, kPropertyInfo, kLayout))
                *argumentOf<uint32_t*>(args, 4) = 64;  // room for any of them, and for the runtime's own
            if (isProperty(selector, args, kPropertyGet, kLayout))
                std::memcpy(argumentOf<void*>(args, 4), layout.data(), layout.size() * sizeof(uint32_t));
            return answer;
        });
        LogCapture log;
        EXPECT_EQ(stream->openStream(&clock), kResultFailure);
        EXPECT_TRUE(log.messages().empty());
    }
}

// Hands each fill to `alter` with its number (from 1), its buffer list and
// the call to pass on, and records the room the stream offered each fill.
Handler recordingFills(std::vector<uint32_t>* room,
                       std::function<intptr_t(int, QtPcmBufferList*, const PassOn&)> alter)
{
    auto fills = std::make_shared<int>(0);
    return [=](uint32_t selector, const QelRuntime::RuntimeArgs& args, const PassOn& passOn) {
        if (selector != kFill)
            return passOn();
        QtPcmBufferList* buffers = argumentOf<QtPcmBufferList*>(args, 2);
        room->push_back(buffers->buffers[0].byteSize);
        return alter(++*fills, buffers, passOn);
    };
}

// Rewrites the byte count of the nth fill after the runtime answered it.
Handler rewritingFill(int nth, uint32_t delivered, std::vector<uint32_t>* room)
{
    return recordingFills(room, [=](int fill, QtPcmBufferList* buffers, const PassOn& passOn) {
        const intptr_t answer = passOn();
        if (fill == nth)
            buffers->buffers[0].byteSize = delivered;
        return answer;
    });
}

TEST_F(InProcessAudioTest, AFillClaimingMoreThanTheBufferHoldsDeliversNothingAndRestoresTheRoom)
{
    load(soundMovie(44100, 2, 100000));
    std::vector<uint32_t> room;
    InterposedRuntime runtime(rewritingFill(1, 131072 + 2, &room));
    ASSERT_EQ(stream->openStream(&clock), kResultSuccess);
    ReadChunk refused = read();
    EXPECT_EQ(refused.status, kResultFailure);
    EXPECT_FALSE(refused.delivered);
    EXPECT_TRUE(stream->isEndOfStream());

    uint32_t reached = 0;
    ASSERT_EQ(stream->seekStream(0, &reached, 0), kResultSuccess);
    ReadChunk chunk = read();
    ASSERT_TRUE(chunk.delivered);
    EXPECT_TRUE(matchesSignal(chunk.samples, 0, 2, 2, false));
    EXPECT_EQ(room, (std::vector<uint32_t>{131072, 131072}));
}

// Gives the fills named in `room` (by their number) only that many bytes of
// room, so that the runtime delivers a short or an empty fill.
Handler limitingRoom(std::map<int, uint32_t> room, std::vector<uint32_t>* offered)
{
    return recordingFills(offered, [=](int fill, QtPcmBufferList* buffers, const PassOn& passOn) {
        const auto limit = room.find(fill);
        if (limit != room.end())
            buffers->buffers[0].byteSize = limit->second;
        return passOn();
    });
}

struct ShortFills {
    const char* name;
    std::map<int, uint32_t> room;
    friend void PrintTo(const ShortFills& test, std::ostream* out) { *out << test.name; }
};

class AudioAfterShortFills : public InProcessAudioTest, public ::testing::WithParamInterface<ShortFills> {};

// A fill that delivers less than the block, or nothing, leaves the next one
// the whole block again, and the sound goes on without a gap.
TEST_P(AudioAfterShortFills, EveryFillIsOfferedTheWholeBlock)
{
    load(soundMovie(44100, 2, 100000));
    std::vector<uint32_t> offered;
    InterposedRuntime runtime(limitingRoom(GetParam().room, &offered));
    ASSERT_EQ(stream->openStream(&clock), kResultSuccess);
    std::vector<int16_t> samples;
    ReadChunk last;
    for (int read = 0; read < 4; ++read) {
        last = this->read();
        ASSERT_TRUE(last.delivered);
        // An empty fill is tried again at once: no read hands out an empty chunk.
        ASSERT_NE(last.size, 0u);
        samples.insert(samples.end(), last.samples.begin(), last.samples.end());
    }
    EXPECT_EQ(offered, std::vector<uint32_t>(offered.size(), 131072));
    EXPECT_GE(offered.size(), 4u);
    EXPECT_TRUE(matchesSignal(samples, 0, 2, 2, false));
}

// Two fills of no data in a row without the completion flag end the sound
// as one with it does: no empty chunk, no stall on fills that bring
// nothing, and a seek begins the extraction afresh.
TEST_F(InProcessAudioTest, TwoEmptyFillsWithoutTheFlagEndTheSoundUntilASeek)
{
    load(soundMovie(44100, 2, 100000));
    std::vector<uint32_t> offered;
    InterposedRuntime runtime(limitingRoom({{2, 0}, {3, 0}}, &offered));
    ASSERT_EQ(stream->openStream(&clock), kResultSuccess);
    ASSERT_TRUE(read().delivered);
    ReadChunk empty = read();
    EXPECT_EQ(empty.status, kResultFailure);
    EXPECT_FALSE(empty.delivered);
    EXPECT_TRUE(stream->isEndOfStream());
    EXPECT_FALSE(read().delivered);
    EXPECT_EQ(offered.size(), 3u);

    uint32_t reached = 0;
    ASSERT_EQ(stream->seekStream(1000, &reached, 0), kResultSuccess);
    ReadChunk resumed = read();
    ASSERT_TRUE(resumed.delivered);
    EXPECT_EQ(resumed.start, 1000u);
    EXPECT_TRUE(matchesSignal(resumed.samples, 44100, 2, 2, false));
}

INSTANTIATE_TEST_SUITE_P(Fills, AudioAfterShortFills,
                         ::testing::Values(ShortFills{"Short", {{1, 1000}}}, ShortFills{"Empty", {{1, 0}}},
                                           ShortFills{"ShortThenEmpty", {{1, 1000}, {2, 0}}}),
                         [](const ::testing::TestParamInfo<ShortFills>& info) {
                             return std::string(info.param.name);
                         });

// Records every call made after the movie was disposed.
Handler recordingCallsAfterDisposal(std::vector<uint32_t>* calls)
{
    auto disposed = std::make_shared<bool>(false);
    return [=](uint32_t selector, const QelRuntime::RuntimeArgs&, const PassOn& passOn) {
        if (*disposed)
            calls->push_back(selector);
        if (selector == static_cast<uint32_t>(QtSelector::QtMovieDispose))
            *disposed = true;
        return passOn();
    };
}

struct HeldPastClose {
    const char* name;
    bool keepStreams;         // past removeStream, destroyed with the host after the container
    bool streamsBeforeChunks; // kept streams destroyed before the chunks are released
    friend void PrintTo(const HeldPastClose& test, std::ostream* out) { *out << test.name; }
};

class AudioHostHoldingPastClose : public InProcessAudioTest, public ::testing::WithParamInterface<HeldPastClose> {};

// A host still holds a chunk of each stream when it closes the movie and
// drops the container's last reference. Releasing them afterwards is safe
// (the sanitizer build reports a use after free otherwise), and streams the
// host keeps make no call on the disposed movie's objects.
TEST_P(AudioHostHoldingPastClose, ReleasesSafelyWithoutCallsOnTheDisposedMovie)
{
    const HeldPastClose& test = GetParam();
    auto keeping = std::make_unique<Host::KeepingContainerHost>(events, 2001);
    if (test.keepStreams)
        container->initialize(keeping.get(), 43);
    Host::RecordingContainerHost& host = test.keepStreams ? *keeping : containerHost;
    Host::HostLocation location = Host::HostLocation::fromPath(
        movies.write("both.mov", Movie::document(Movie::videoTrack() + "," + Movie::soundTrack())));
    ASSERT_EQ(container->open(&location), kResultSuccess);
    List<uint64_t> titles = callByValue(*container, &ContainerInterface::getTitles);
    ASSERT_EQ(container->openTitle(titles.head->value), kResultSuccess);
    std::vector<MediaChunk*> chunks;
    for (StreamInterface* held : host.streams()) {
        ASSERT_EQ(held->openStream(&clock), kResultSuccess);
        MediaChunk* chunk = nullptr;
        ASSERT_EQ(held->readStream(&chunk), kResultSuccess);
        ASSERT_NE(chunk, nullptr);
        chunks.push_back(chunk);
    }

    std::vector<uint32_t> callsAfterDisposal;
    {
        InterposedRuntime runtime(recordingCallsAfterDisposal(&callsAfterDisposal));
        ASSERT_EQ(container->closeTitle(false), kResultSuccess);
        ASSERT_EQ(container->close(), kResultSuccess);
        static_cast<Plugin*>(container)->dropReference();
        container = nullptr;
        if (test.streamsBeforeChunks)
            keeping.reset();
        for (MediaChunk* chunk : chunks)
            chunk->release();
        keeping.reset();
    }
    EXPECT_EQ(callsAfterDisposal, std::vector<uint32_t>{});
}

INSTANTIATE_TEST_SUITE_P(Hosts, AudioHostHoldingPastClose,
                         ::testing::Values(HeldPastClose{"StreamsDestroyedOnRemoval", false, false},
                                           HeldPastClose{"StreamsKeptPastTheContainer", true, false},
                                           HeldPastClose{"StreamsDestroyedBeforeTheChunks", true, true}),
                         [](const ::testing::TestParamInfo<HeldPastClose>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
} // namespace Qel::Testing
