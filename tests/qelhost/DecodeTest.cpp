#include <filesystem>

#include "QelhostTest.h"

namespace Qel::Testing {
namespace {

using namespace QelRuntime::SyntheticPattern;

class DecodeTest : public QelhostTest {
protected:
    // Decodes `movie` into the scratch folder and returns the run.
    QelhostRun decode(const std::string& movie, std::vector<std::string> extra = {})
    {
        std::vector<std::string> arguments = {"decode", movie, "-o", output("out")};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return run(arguments);
    }

    // The WAV holds exactly the downmixed pattern of the six-channel track
    // from frame `first` on, `frames` frames long.
    void expectSound(const std::string& path, int64_t first, size_t frames)
    {
        const WavFile wav = readWav(path);
        ASSERT_TRUE(wav.valid);
        EXPECT_EQ(wav.sampleRate, 44100u);
        ASSERT_EQ(wav.channels, 2);
        ASSERT_EQ(wav.samples.size(), frames * 2);
        size_t wrong = 0;
        for (size_t f = 0; f < frames; ++f)
            for (int c = 0; c < 2; ++c)
                wrong += wav.samples[2 * f + size_t(c)] != expectedFrame(first + int64_t(f), 6, 2, true, c);
        EXPECT_EQ(wrong, 0u);
    }

    // The Y4M holds the pattern's pictures `first`, `first` + 1, ...
    void expectPictures(const std::string& path, const std::string& chroma, int firstSample, size_t count)
    {
        const Y4mFile y4m = readY4m(path);
        ASSERT_TRUE(y4m.valid);
        EXPECT_EQ(y4m.chroma, chroma);
        EXPECT_EQ(y4m.rate, "10:1");
        ASSERT_EQ(y4m.frames.size(), count);
        for (size_t i = 0; i < count; ++i)
            EXPECT_EQ(y4m.frames[i], expectedPlanar(y4m.width, y4m.height, firstSample + int(i), chroma != "422"))
                << "frame " << i;
    }
};

TEST_F(DecodeTest, WritesEveryPictureAndTheWholeSoundOfTheMovie)
{
    const QelhostRun decoded = decode(write("pattern.mov", pictureAndSound(R"("yuvs")")));
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    EXPECT_NE(decoded.out.find("video  10 frames, YUY2 64x48"), std::string::npos) << decoded.out;
    EXPECT_NE(decoded.out.find("1.000 s of 44100 Hz 2-channel PCM"), std::string::npos) << decoded.out;
    expectPictures(output("out/pattern.y4m"), "422", 0, 10);
    expectSound(output("out/pattern.wav"), 0, 44100);
}

TEST_F(DecodeTest, EachPackedAndPlanarFormatReachesTheFileInPlanarOrder)
{
    struct Case {
        const char* compression;
        const char* chroma;
    };
    for (const Case& c : {Case{R"("2vuy")", "422"}, Case{R"("YVU9")", "420jpeg"}}) {
        SCOPED_TRACE(c.compression);
        ASSERT_EQ(decode(write("format.mov", pictureAndSound(c.compression)), {"-y"}).exitCode, 0);
        expectPictures(output("out/format.y4m"), c.chroma, 0, 10);
    }
}

TEST_F(DecodeTest, RangeStartsAtTheFrameShowingAndCutsTheSoundToTheMillisecond)
{
    // The same range in each way a user may write a time.
    const std::vector<std::vector<std::string>> spellings = {
        {"--from", "250ms", "--to", "650ms"}, {"--from", "0.25", "--to", "0.65"},
        {"--from", "0:00.250", "--to", "00:00:00.650"}, {"--from=0.25s", "--to=650ms"}};
    const std::string movie = write("range.mov", pictureAndSound(R"("yuvs")"));
    for (const auto& range : spellings) {
        SCOPED_TRACE(testing::PrintToString(range));
        std::vector<std::string> arguments = range;
        arguments.push_back("-y");
        const QelhostRun decoded = decode(movie, arguments);
        ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
        // Pictures 2 (200-300 ms, showing at 250 ms) to 6 (600-700 ms).
        expectPictures(output("out/range.y4m"), "422", 2, 5);
        expectSound(output("out/range.wav"), 11025, 17640);
    }
}

TEST_F(DecodeTest, ChosenStreamsAreReadInsteadOfTheActivatedOnes)
{
    const std::string secondVideo = R"({"type": "vide", "video": {"compression": "YVU9", "width": 32, "height": 16},)"
                                    R"( "samples": {"count": 10, "duration": 60}})";
    const std::string movie = write("two.mov", Movie::document(pictureAndSoundTracks(R"("yuvs")") + ", " +
                                                                   secondVideo, "null", 600, 600));
    const QelhostRun decoded = decode(movie, {"--video", "2", "--no-audio"});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    const Y4mFile y4m = readY4m(output("out/two.y4m"));
    EXPECT_EQ(y4m.width, 32);
    EXPECT_EQ(y4m.chroma, "420jpeg");
    EXPECT_FALSE(std::filesystem::exists(output("out/two.wav")));

    const QelhostRun missing = decode(movie, {"--audio", "2"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("there is no audio stream 2: the movie has 1 audio stream"), std::string::npos)
        << missing.err;
}

TEST_F(DecodeTest, VideoFailureIsReportedAfterKeepingWhatWasDecoded)
{
    const std::string movie = write(
        "failing.mov", Movie::document(Movie::videoTrack(), "null", 600, 600,
                                       R"({"operation": "ExportDataFunction", "status": -50, "fromCall": 5})"));
    const QelhostRun decoded = decode(movie);
    EXPECT_EQ(decoded.exitCode, 1);
    EXPECT_NE(decoded.err.find("the video stream failed at"), std::string::npos) << decoded.err;
    const Y4mFile y4m = readY4m(output("out/failing.y4m"));
    EXPECT_TRUE(y4m.valid);
    EXPECT_FALSE(y4m.frames.empty());
}

TEST_F(DecodeTest, RangeThatEndsBeforeItStartsIsAUsageError)
{
    const QelhostRun decoded = decode(write("range.mov", pictureAndSound(R"("yuvs")")), {"--from", "0.5", "--to", "400ms"});
    EXPECT_EQ(decoded.exitCode, 2);
    EXPECT_NE(decoded.err.find("--to must come after --from"), std::string::npos) << decoded.err;
}

} // namespace
} // namespace Qel::Testing
