#include <algorithm>
#include <vector>

#include "RuntimeSession.h"
#include "ScopedRuntimeModes.h"
#include "synthetic/SyntheticPattern.h"

namespace Qel::Testing {
namespace {

using namespace QelRuntime::SyntheticPattern;

constexpr QtOSType kAudio = fourCc('x', 'a', 'u', 'd');
constexpr QtOSType kDescription = fourCc('a', 's', 'b', 'd');
constexpr QtOSType kLayout = fourCc('c', 'l', 'a', 'y');
constexpr QtOSType kMovieClass = fourCc('x', 'm', 'o', 'v');
constexpr QtOSType kTime = fourCc('t', 'i', 'm', 'e');

std::string sound(const std::string& rate, int channels, int frames, int phase = 0, bool enabled = true)
{
    return R"({"type": "soun", "enabled": )" + std::string(enabled ? "true" : "false") +
           R"(, "audio": {"sampleRate": )" + rate + R"(, "channels": )" + std::to_string(channels) +
           R"(, "frames": )" + std::to_string(frames) + R"(, "phase": )" + std::to_string(phase) + "}}";
}

class AudioExtraction : public RuntimeSession {
protected:
    void TearDown() override
    {
        if (extraction != nullptr) {
            EXPECT_EQ(QtExtractEnd(extraction), 0);
        }
        RuntimeSession::TearDown();
    }

    QtPcmDescription sourceFormat()
    {
        QtPcmDescription description{};
        EXPECT_EQ(QtExtractPropertyGet(extraction, kAudio, kDescription, sizeof description, &description, nullptr), 0);
        return description;
    }

    // Begins the extraction and asks for 16-bit PCM at `channels`.
    void begin(uint32_t channels, bool stereoLayout = false)
    {
        ASSERT_EQ(QtExtractBegin(movie, 0, &extraction), 0);
        QtPcmDescription description = sourceFormat();
        description.formatCode = fourCc('l', 'p', 'c', 'm');
        description.formatFlags = 12;
        description.framesPerPacket = 1;
        description.channelsPerFrame = channels;
        description.bitsPerChannel = 16;
        description.bytesPerFrame = description.bytesPerPacket = channels * 2;
        ASSERT_EQ(QtExtractPropertySet(extraction, kAudio, kDescription, sizeof description, &description), 0);
        if (stereoLayout) {
            uint32_t layout[8] = {kQtStereoLayoutTag};
            ASSERT_EQ(QtExtractPropertySet(extraction, kAudio, kLayout, sizeof layout, layout), 0);
        }
        outputChannels = channels;
    }

    // Fills up to `frames`; answers the frames delivered.
    std::vector<int16_t> fill(uint32_t frames, uint32_t& flags, QtLongStatus expected = 0)
    {
        std::vector<int16_t> samples(size_t(frames) * outputChannels);
        QtPcmBufferList list{1, {{outputChannels, uint32_t(samples.size() * 2), samples.data()}}};
        uint32_t count = frames;
        EXPECT_EQ(QtExtractFill(extraction, &count, &list, &flags), expected);
        EXPECT_EQ(list.buffers[0].byteSize, count * outputChannels * 2);
        samples.resize(size_t(count) * outputChannels);
        return samples;
    }

    QtTimeRecord timeRecord(int64_t value, int32_t scale)
    {
        QtTimeRecord record{};
        record.value = value;
        record.scale = scale;
        record.base = QtMovieTimeBase(movie);
        return record;
    }

    QtExtraction extraction = nullptr;
    uint32_t outputChannels = 0;
};

TEST_F(AudioExtraction, ReportsTheSourceAndAcceptsOnly16BitPcmAtOneOrTwoChannels)
{
    ASSERT_EQ(load(Movie::document(sound("22050.5", 6, 1000))), 0);
    ASSERT_EQ(QtExtractBegin(movie, 0, &extraction), 0);
    QtPcmDescription source = sourceFormat();
    EXPECT_EQ(source.sampleRate, 22050.5);
    EXPECT_EQ(source.channelsPerFrame, 6u);

    QtPcmDescription wanted = source;
    wanted.formatFlags = 12;
    wanted.bitsPerChannel = 16;
    wanted.channelsPerFrame = 2;
    wanted.bytesPerFrame = wanted.bytesPerPacket = 4;
    QtPcmDescription refused[4] = {source, wanted, wanted, wanted};
    refused[1].channelsPerFrame = 3;
    refused[1].bytesPerFrame = refused[1].bytesPerPacket = 6;
    refused[2].formatFlags = 13;
    refused[3].sampleRate = 44100;
    for (const QtPcmDescription& bad : refused)
        EXPECT_EQ(QtExtractPropertySet(extraction, kAudio, kDescription, sizeof bad, &bad), -50);
    uint32_t flags = 0;
    outputChannels = 2;
    fill(10, flags, -50);  // no output format yet
    ASSERT_EQ(QtExtractPropertySet(extraction, kAudio, kDescription, sizeof wanted, &wanted), 0);
    QtPcmDescription back = sourceFormat();
    EXPECT_EQ(back.channelsPerFrame, 2u);
    EXPECT_EQ(back.bitsPerChannel, 16u);
}

// Read back, a layout comes expanded into one description per channel
// (tag 0, bitmap, count, then 20 bytes each, the label first), or as set
// where the modes ask for it. Either form is accepted when set.
TEST_F(AudioExtraction, LayoutIsReportedAndTheStereoLayoutSelectsTheDownmix)
{
    ASSERT_EQ(load(Movie::document(sound("48000", 6, 100))), 0);
    begin(2);
    uint32_t size = 0;
    ASSERT_EQ(QtExtractPropertyInfo(extraction, kAudio, kLayout, nullptr, &size, nullptr), 0);
    EXPECT_EQ(size, 12u + 6 * 20);
    std::vector<uint32_t> layout(size / 4);
    uint32_t written = 0;
    EXPECT_EQ(QtExtractPropertyGet(extraction, kAudio, kLayout, size - 1, layout.data(), &written), -2184);
    ASSERT_EQ(QtExtractPropertyGet(extraction, kAudio, kLayout, size, layout.data(), &written), 0);
    EXPECT_EQ(written, size);
    EXPECT_EQ((std::vector<uint32_t>{layout[0], layout[2]}), (std::vector<uint32_t>{0, 6}));
    for (uint32_t channel = 0; channel < 6; ++channel)
        EXPECT_EQ(layout[3 + 5 * channel], channel + 1);  // L R C LFE Ls Rs
    uint32_t flags = 0;
    std::vector<int16_t> plain = fill(4, flags);
    EXPECT_EQ(plain[2], pcmValue(1, 0));  // without the layout: L and R as they are
    EXPECT_EQ(plain[3], pcmValue(1, 1));

    uint32_t other[8] = {0x00640001};
    EXPECT_EQ(QtExtractPropertySet(extraction, kAudio, kLayout, 32, other), -50);
    uint32_t leftCentre[13] = {0, 0, 2, 1, 0, 0, 0, 0, 3};
    EXPECT_EQ(QtExtractPropertySet(extraction, kAudio, kLayout, sizeof leftCentre, leftCentre), -50);
    uint32_t stereo[13] = {0, 0, 2, 1, 0, 0, 0, 0, 2};
    EXPECT_EQ(QtExtractPropertySet(extraction, kAudio, kLayout, sizeof stereo - 4, stereo), -2184);
    EXPECT_EQ(QtExtractPropertySet(extraction, kAudio, kLayout, 8, stereo), -2184);
    ASSERT_EQ(QtExtractPropertySet(extraction, kAudio, kLayout, sizeof stereo, stereo), 0);
    ASSERT_EQ(QtExtractPropertyInfo(extraction, kAudio, kLayout, nullptr, &size, nullptr), 0);
    EXPECT_EQ(size, 52u);
    std::vector<uint32_t> back(13);
    ASSERT_EQ(QtExtractPropertyGet(extraction, kAudio, kLayout, 52, back.data(), nullptr), 0);
    EXPECT_EQ(back, std::vector<uint32_t>(stereo, stereo + 13));
    std::vector<int16_t> mixed = fill(96, flags);
    ASSERT_EQ(mixed.size(), 192u);
    for (int32_t i = 0; i < 96; ++i)
        for (int32_t side = 0; side < 2; ++side)
            ASSERT_EQ(mixed[size_t(2 * i + side)], expectedFrame(4 + i, 6, 2, true, side)) << i;
    EXPECT_EQ(flags, 0u);
}

TEST_F(AudioExtraction, LayoutReadsBackAsSetWhereTheModesAskForIt)
{
    ScopedRuntimeModes modes("layout=asSet");
    ASSERT_EQ(load(Movie::document(sound("48000", 6, 100))), 0);
    begin(2);
    uint32_t size = 0;
    ASSERT_EQ(QtExtractPropertyInfo(extraction, kAudio, kLayout, nullptr, &size, nullptr), 0);
    EXPECT_EQ(size, 32u);
    uint32_t layout[8] = {};
    ASSERT_EQ(QtExtractPropertyGet(extraction, kAudio, kLayout, 32, layout, nullptr), 0);
    EXPECT_EQ(layout[0], 0x00930006u);
    uint32_t stereo[8] = {kQtStereoLayoutTag};
    ASSERT_EQ(QtExtractPropertySet(extraction, kAudio, kLayout, 32, stereo), 0);
    ASSERT_EQ(QtExtractPropertyGet(extraction, kAudio, kLayout, 32, layout, nullptr), 0);
    EXPECT_EQ(layout[0], kQtStereoLayoutTag);
}

TEST_F(AudioExtraction, UnknownPropertiesAndShortValuesAnswerTheDocumentedCodes)
{
    ASSERT_EQ(load(Movie::document(sound("8000", 2, 100))), 0);
    begin(2);
    uint32_t size = 0, value[16] = {};
    const QtOSType unknown = fourCc('x', 'y', 'z', 'w');
    EXPECT_EQ(QtExtractPropertyInfo(extraction, kAudio, unknown, nullptr, &size, nullptr), -2195);
    EXPECT_EQ(QtExtractPropertyGet(extraction, kMovieClass, unknown, sizeof value, value, nullptr), -2195);
    EXPECT_EQ(QtExtractPropertySet(extraction, unknown, kTime, sizeof value, value), -2195);
    EXPECT_EQ(QtExtractPropertyGet(extraction, kAudio, kDescription, sizeof(QtPcmDescription) - 1, value, nullptr),
              -2184);
    EXPECT_EQ(QtExtractPropertySet(extraction, kMovieClass, kTime, sizeof(QtTimeRecord) - 1, value), -2184);
}

TEST_F(AudioExtraction, FillsAreContinuousAndEndWithTheCompletionBit)
{
    ASSERT_EQ(load(Movie::document(sound("44100", 1, 1000, 7))), 0);
    begin(1);
    uint32_t flags = 0;
    std::vector<int16_t> all;
    for (uint32_t asked : {300u, 300u, 300u}) {
        std::vector<int16_t> part = fill(asked, flags);
        EXPECT_EQ(part.size(), asked);
        EXPECT_EQ(flags, 0u);
        all.insert(all.end(), part.begin(), part.end());
    }
    // The last data comes without the flag; the fills after it bring the
    // flag and no data.
    std::vector<int16_t> last = fill(300, flags);
    EXPECT_EQ(last.size(), 100u);
    EXPECT_EQ(flags, 0u);
    all.insert(all.end(), last.begin(), last.end());
    for (int32_t f = 0; f < 1000; ++f)
        ASSERT_EQ(all[size_t(f)], pcmValue(f, 0, 7)) << f;
    for (int fills = 0; fills < 2; ++fills) {
        EXPECT_TRUE(fill(10, flags).empty());
        EXPECT_EQ(flags, 1u);
    }
}

struct EndMode {
    const char* modes;
    uint32_t lastDataFlags;
    size_t silentFrames;  // after the sound, before the flag
};

class AudioExtractionEndMode : public AudioExtraction, public ::testing::WithParamInterface<EndMode> {};

// 100 frames of sound in a movie of a quarter of a second (2000 frames).
TEST_P(AudioExtractionEndMode, EndsAsTheModeSays)
{
    ScopedRuntimeModes modes(GetParam().modes);
    ASSERT_EQ(load(Movie::document(sound("8000", 1, 100), "null", 600, 150)), 0);
    begin(1);
    uint32_t flags = 9;
    EXPECT_EQ(fill(100, flags).size(), 100u);
    EXPECT_EQ(flags, GetParam().lastDataFlags);
    std::vector<int16_t> silence = fill(5000, flags);
    EXPECT_EQ(silence.size(), GetParam().silentFrames);
    EXPECT_TRUE(std::all_of(silence.begin(), silence.end(), [](int16_t value) { return value == 0; }));
    if (!silence.empty()) {
        EXPECT_TRUE(fill(10, flags).empty());
    }
    EXPECT_EQ(flags, 1u);
}

INSTANTIATE_TEST_SUITE_P(Modes, AudioExtractionEndMode,
                         ::testing::Values(EndMode{"extractionEnd=emptyFill", 0, 0},
                                           EndMode{"extractionEnd=withLastData", 1, 0},
                                           EndMode{"extractionEnd=silenceToDuration", 0, 1900}));

TEST_F(AudioExtraction, TimeMovesTheExtractionPointAndIsReportedInTheSampleRate)
{
    ASSERT_EQ(load(Movie::document(sound("44100", 2, 44100), "null", 600, 600)), 0);
    begin(2);
    QtTimeRecord record = timeRecord(300, 600);  // half a second
    ASSERT_EQ(QtExtractPropertySet(extraction, kMovieClass, kTime, sizeof record, &record), 0);
    QtTimeRecord back{};
    uint32_t written = 0;
    ASSERT_EQ(QtExtractPropertyGet(extraction, kMovieClass, kTime, sizeof back, &back, &written), 0);
    EXPECT_EQ(written, uint32_t(sizeof(QtTimeRecord)));
    EXPECT_EQ(back.value, 22050);
    EXPECT_EQ(back.scale, 44100);
    EXPECT_EQ(back.base, QtMovieTimeBase(movie));
    uint32_t flags = 0;
    std::vector<int16_t> samples = fill(2, flags);
    EXPECT_EQ(samples[0], pcmValue(22050, 0));
    EXPECT_EQ(samples[3], pcmValue(22051, 1));

    record = timeRecord(1, 1000);  // 44.1 frames: frame 44
    ASSERT_EQ(QtExtractPropertySet(extraction, kMovieClass, kTime, sizeof record, &record), 0);
    EXPECT_EQ(fill(1, flags)[0], pcmValue(44, 0));
    record = timeRecord(10000, 600);  // past the end
    ASSERT_EQ(QtExtractPropertySet(extraction, kMovieClass, kTime, sizeof record, &record), 0);
    EXPECT_TRUE(fill(1, flags).empty());
    EXPECT_EQ(flags, 1u);
    record = timeRecord(-1, 600);
    EXPECT_EQ(QtExtractPropertySet(extraction, kMovieClass, kTime, sizeof record, &record), -50);
    record = timeRecord(0, 600);
    EXPECT_EQ(QtExtractPropertySet(extraction, kMovieClass, kTime, sizeof record - 1, &record), -2184);
}

TEST_F(AudioExtraction, MixesEnabledTracksAndMonoBecomesStereo)
{
    ASSERT_EQ(load(Movie::document(sound("8000", 1, 50, 0) + "," + sound("8000", 1, 50, 100) + "," +
                                   sound("8000", 1, 50, 9, false))),
              0);
    begin(2);
    uint32_t flags = 0;
    std::vector<int16_t> samples = fill(50, flags);
    for (int32_t f = 0; f < 50; ++f) {
        int16_t mixed = int16_t(pcmValue(f, 0) + pcmValue(f, 0, 100));
        ASSERT_EQ(samples[size_t(2 * f)], mixed) << f;
        ASSERT_EQ(samples[size_t(2 * f + 1)], mixed) << f;
    }
    ASSERT_EQ(QtExtractEnd(extraction), 0);
    extraction = nullptr;

    QtTrackEnable(track(1), 0);
    QtTrackEnable(track(2), 0);
    EXPECT_EQ(QtExtractBegin(movie, 0, &extraction), -50);
    extraction = nullptr;
}

TEST_F(AudioExtraction, FaultsAndStaleExtractions)
{
    ASSERT_EQ(load(Movie::document(sound("8000", 2, 100), "null", 600, 600,
                                   R"({"operation": "QtExtractFill", "complete": true, "fromCall": 2, "calls": 1},
                                      {"operation": "QtExtractFill", "status": -2012, "fromCall": 3, "calls": 1},
                                      {"operation": "QtExtractPropertyInfo", "status": -51})")),
              0);
    begin(2);
    uint32_t flags = 0;
    EXPECT_EQ(fill(10, flags).size(), 20u);
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(fill(10, flags).size(), 20u);
    EXPECT_EQ(flags, 1u);
    fill(10, flags, -2012);
    std::vector<int16_t> resumed = fill(1, flags);
    EXPECT_EQ(resumed[0], pcmValue(20, 0));
    uint32_t size = 0;
    EXPECT_EQ(QtExtractPropertyInfo(extraction, kAudio, kLayout, nullptr, &size, nullptr), -51);

    // Disposing the movie leaves the extraction to its owner (QuickTime
    // disposes nothing in cascade): it fails every call but its end.
    QtMovieDispose(movie);
    movie = nullptr;
    EXPECT_EQ(QtExtractFill(extraction, nullptr, nullptr, &flags), -50);
    EXPECT_EQ(QtExtractEnd(extraction), 0);
    EXPECT_EQ(QtExtractEnd(extraction), -50);
    extraction = nullptr;
}

TEST_F(AudioExtraction, StrictLifetimesReportWhatOutlivesItsMovie)
{
    ScopedRuntimeModes modes("lifetimes=strict");
    ASSERT_EQ(load(Movie::document(sound("8000", 2, 100))), 0);
    begin(2);
    ::testing::internal::CaptureStderr();
    QtMovieDispose(movie);
    movie = nullptr;
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "QuickTime.qts: strict lifetimes: an extraction outlives its movie\n");
}

} // namespace
} // namespace Qel::Testing
