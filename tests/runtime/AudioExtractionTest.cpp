#include <vector>

#include "RuntimeSession.h"
#include "core/SyntheticPattern.h"

namespace Qel::Testing {
namespace {

using namespace SyntheticPattern;

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

TEST_F(AudioExtraction, LayoutIsReportedAndTheStereoTagSelectsTheDownmix)
{
    ASSERT_EQ(load(Movie::document(sound("48000", 6, 100))), 0);
    begin(2);
    uint32_t size = 0;
    ASSERT_EQ(QtExtractPropertyInfo(extraction, kAudio, kLayout, nullptr, &size, nullptr), 0);
    EXPECT_EQ(size, 32u);
    uint32_t layout[8] = {};
    uint32_t written = 0;
    ASSERT_EQ(QtExtractPropertyGet(extraction, kAudio, kLayout, 32, layout, &written), 0);
    EXPECT_EQ(written, 32u);
    EXPECT_EQ(layout[0], 0x00930006u);
    uint32_t flags = 0;
    std::vector<int16_t> plain = fill(4, flags);
    EXPECT_EQ(plain[2], pcmValue(1, 0));  // without the layout: L and R as they are
    EXPECT_EQ(plain[3], pcmValue(1, 1));

    uint32_t other[8] = {0x00640001};
    EXPECT_EQ(QtExtractPropertySet(extraction, kAudio, kLayout, 32, other), -50);
    EXPECT_EQ(QtExtractPropertySet(extraction, kAudio, kLayout, 16, layout), -50);
    uint32_t stereo[8] = {kQtStereoLayoutTag};
    ASSERT_EQ(QtExtractPropertySet(extraction, kAudio, kLayout, 32, stereo), 0);
    ASSERT_EQ(QtExtractPropertyGet(extraction, kAudio, kLayout, 32, layout, nullptr), 0);
    EXPECT_EQ(layout[0], kQtStereoLayoutTag);
    std::vector<int16_t> mixed = fill(96, flags);
    ASSERT_EQ(mixed.size(), 192u);
    for (int32_t i = 0; i < 96; ++i)
        for (int32_t side = 0; side < 2; ++side)
            ASSERT_EQ(mixed[size_t(2 * i + side)], expectedFrame(4 + i, 6, 2, true, side)) << i;
    EXPECT_EQ(flags, 1u);
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
    std::vector<int16_t> last = fill(300, flags);
    EXPECT_EQ(last.size(), 100u);
    EXPECT_EQ(flags, 1u);
    all.insert(all.end(), last.begin(), last.end());
    for (int32_t f = 0; f < 1000; ++f)
        ASSERT_EQ(all[size_t(f)], pcmValue(f, 0, 7)) << f;
    EXPECT_TRUE(fill(10, flags).empty());
    EXPECT_EQ(flags, 1u);
}

TEST_F(AudioExtraction, TimeMovesTheExtractionPointAndIsReportedInMovieUnits)
{
    ASSERT_EQ(load(Movie::document(sound("44100", 2, 44100), "null", 600, 600)), 0);
    begin(2);
    QtTimeRecord record = timeRecord(300, 600);  // half a second
    ASSERT_EQ(QtExtractPropertySet(extraction, kMovieClass, kTime, sizeof record, &record), 0);
    QtTimeRecord back{};
    uint32_t written = 0;
    ASSERT_EQ(QtExtractPropertyGet(extraction, kMovieClass, kTime, sizeof back, &back, &written), 0);
    EXPECT_EQ(written, uint32_t(sizeof(QtTimeRecord)));
    EXPECT_EQ(back.value, 300);
    EXPECT_EQ(back.scale, 600);
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
    EXPECT_EQ(QtExtractPropertySet(extraction, kMovieClass, kTime, sizeof record - 1, &record), -50);
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

    QtMovieDispose(movie);
    movie = nullptr;
    EXPECT_EQ(QtExtractEnd(extraction), -50);
    extraction = nullptr;
}

} // namespace
} // namespace Qel::Testing
