#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>

#include "PngRead_posix.h"
#include "QelhostTest.h"
#include "TestMedia.h"

namespace Qel::Testing {
namespace {

// Two seconds of H.264 (a key frame every ten pictures) and 16-bit stereo
// PCM, so that ffmpeg's decode of the same file is an exact oracle.
const char kMovieArguments[] =
    "-f lavfi -i testsrc2=size=160x120:rate=25 -f lavfi -i sine=frequency=440:sample_rate=44100 "
    "-filter_complex '[1]pan=stereo|c0=c0|c1=0.5*c0[a]' -map 0:v -map '[a]' -t 2 "
    "-c:v libx264 -g 10 -pix_fmt yuv420p -c:a pcm_s16le";

class RealMovieTest : public QelhostTest {
protected:
    void SetUp() override
    {
        movie = testMedia("real.mov", kMovieArguments);
        ASSERT_FALSE(movie.empty()) << "ffmpeg could not make the movie";
    }

    std::vector<uint8_t> ffmpeg(const std::string& arguments)
    {
        return commandOutput("ffmpeg -nostdin -v error -i '" + movie + "' " + arguments + " -");
    }

    std::string movie;
};

TEST_F(RealMovieTest, DecodedSoundAndPicturesAreWhatFfmpegDecodes)
{
    const QelhostRun decoded = run({"decode", movie, "-o", output("out")});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    const std::string stem = output("out/") + "real" + movie.substr(movie.rfind('-'), movie.rfind('.') - movie.rfind('-'));

    const WavFile wav = readWav(stem + ".wav");
    ASSERT_TRUE(wav.valid);
    EXPECT_EQ(wav.sampleRate, 44100u);
    const std::vector<uint8_t> sound = ffmpeg("-map 0:a -f s16le -ac 2");
    ASSERT_EQ(wav.samples.size() * 2, sound.size());
    EXPECT_EQ(std::memcmp(wav.samples.data(), sound.data(), sound.size()), 0);

    const Y4mFile y4m = readY4m(stem + ".y4m");
    ASSERT_TRUE(y4m.valid);
    EXPECT_EQ(y4m.rate, "25:1");
    const std::vector<uint8_t> pictures = ffmpeg("-map 0:v -f rawvideo -pix_fmt yuv422p");
    const size_t frameSize = 160 * 120 * 2;
    ASSERT_EQ(y4m.frames.size(), pictures.size() / frameSize);
    const size_t luma = 160 * 120;
    for (size_t i = 0; i < y4m.frames.size(); ++i) {
        const uint8_t* reference = pictures.data() + i * frameSize;
        // Luma exactly; chroma up to rounding, since each side brings 4:2:0 to 4:2:2 itself.
        EXPECT_EQ(std::memcmp(y4m.frames[i].data(), reference, luma), 0) << "frame " << i;
        int worst = 0;
        for (size_t k = luma; k < frameSize; ++k)
            worst = std::max(worst, std::abs(int(y4m.frames[i][k]) - int(reference[k])));
        EXPECT_LE(worst, 2) << "frame " << i;
    }
}

// A short H.264 movie at the rate, video only; "" when ffmpeg cannot make it.
std::string movieAtRate(const std::string& name, const std::string& rate, const std::string& more = "")
{
    return testMedia(name, "-f lavfi -i testsrc2=size=64x48:rate=" + rate + " -t 2.5 -c:v libx264 -pix_fmt yuv420p " +
                               more);
}

TEST_F(RealMovieTest, Y4mCarriesTheRateOfTheMovieLearntOverItsFrames)
{
    struct Case {
        const char* rate;
        const char* y4mRate;
    };
    for (const Case& c : {Case{"25", "25:1"}, Case{"30000/1001", "30000:1001"}, Case{"24000/1001", "24000:1001"}}) {
        SCOPED_TRACE(c.rate);
        const std::string rated = movieAtRate("rated.mp4", c.rate, "-g 12");
        ASSERT_FALSE(rated.empty());
        const QelhostRun decoded = run({"decode", rated, "-o", output("rated"), "--no-audio"});
        ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
        const Y4mFile y4m = readY4m(output("rated/") + std::filesystem::path(rated).stem().string() + ".y4m");
        ASSERT_TRUE(y4m.valid);
        EXPECT_EQ(y4m.rate, c.y4mRate);
    }
}

TEST_F(RealMovieTest, PlayAccountsForEveryFrameOfTheMovie)
{
    struct Case {
        const char* rate;
        const char* encoding;
        std::vector<std::string> options;
        bool everyFrame;  // a load below real time must never make the plug-in catch up
    };
    const Case cases[] = {
        {"25", "-g 1000 -sc_threshold 0", {"--load", "20"}, true},   // one sync sample
        {"30", "-g 15", {}, true},
        {"25", "-g 10", {"--mode", "2"}, false},                     // sync samples only: 6 of them
        {"25", "-g 10", {"--load", "60"}, false},                    // slower than the movie
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.rate) + " " + c.encoding + " " + testing::PrintToString(c.options));
        const std::string movie = movieAtRate("played.mp4", c.rate, c.encoding);
        ASSERT_FALSE(movie.empty());
        const int frameCount = std::stoi("0" + commandText("ffprobe -v error -count_frames -show_entries "
                                                           "stream=nb_read_frames -of csv=p=0 '" + movie + "'"));
        std::vector<std::string> arguments = {"play", movie};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        const QelhostRun played = run(arguments);
        ASSERT_EQ(played.exitCode, 0) << played.err;
        int delivered = -1;
        int skipped = -1;
        const size_t video = played.out.find("video  ");
        ASSERT_NE(video, std::string::npos) << played.out;
        std::sscanf(played.out.c_str() + video, "video  %d", &delivered);
        std::sscanf(played.out.c_str() + played.out.find("delivered, ", video), "delivered, %d", &skipped);
        EXPECT_EQ(delivered + skipped, frameCount) << played.out;
        if (c.everyFrame)
            EXPECT_EQ(delivered, frameCount) << played.out;
        else
            EXPECT_LT(delivered, frameCount) << played.out;
    }
}

TEST_F(RealMovieTest, ProgressOnATerminalCountsWithinTheRange)
{
    // script(1) gives qelhost a terminal, as a user's shell does.
    const auto onTerminal = [&](const std::string& arguments) {
        return commandText("script -qec \"'" + qelhostPath() + "' " + arguments + "\" /dev/null");
    };
    const std::string decoding =
        onTerminal("decode '" + movie + "' --from 1 --to 1.5 -y -o '" + output("progress") + "'");
    // Every line counts from --from: between 0 and the range's 0.5 s.
    const std::regex line(R"(decoding ([0-9.]+) s of ([0-9.]+) s \()");
    int lines = 0;
    for (auto match = std::sregex_iterator(decoding.begin(), decoding.end(), line); match != std::sregex_iterator();
         ++match, ++lines) {
        EXPECT_LE(std::stod((*match)[1]), 0.5) << decoding;
        EXPECT_EQ((*match)[2], "0.5") << decoding;
    }
    EXPECT_GT(lines, 0) << decoding;
    const std::string taking = onTerminal("thumbs '" + movie + "' --count 4 -y -o '" + output("progress.png") + "'");
    EXPECT_NE(taking.find("taking pictures "), std::string::npos) << taking;
}

TEST_F(RealMovieTest, ContactSheetPicturesMatchFfmpegsFramesAtTheirTimes)
{
    const QelhostRun thumbs = run({"thumbs", movie, "-o", output("sheet.png"), "--count", "3", "--width", "160"});
    ASSERT_EQ(thumbs.exitCode, 0) << thumbs.err;
    const PngImage sheet = readPng(output("sheet.png"));
    ASSERT_EQ(sheet.width, 4 + 2 * 164);
    ASSERT_EQ(sheet.height, 4 + 2 * 124);
    // Middles of three thirds of 2 s: 333, 1000 and 1666 ms, frames 8, 25 and 41.
    const int frames[] = {8, 25, 41};
    const std::vector<uint8_t> rgb = ffmpeg("-map 0:v -f rawvideo -pix_fmt rgb24");
    for (int i = 0; i < 3; ++i) {
        const uint8_t* reference = rgb.data() + size_t(frames[i]) * 160 * 120 * 3;
        const int left = 4 + (i % 2) * 164;
        const int top = 4 + (i / 2) * 124;
        long difference = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x)
                for (int c = 0; c < 3; ++c)
                    difference += std::abs(int(sheet.at(left + x, top + y)[c]) - int(reference[(y * 160 + x) * 3 + c]));
        EXPECT_LT(difference / (160.0 * 120 * 3), 3.0) << "picture " << i;
    }
}

TEST_F(RealMovieTest, PlaysForwardsBackwardsAndBySyncSamples)
{
    for (const std::vector<std::string>& options : {std::vector<std::string>{},
                                                    {"--speed=-2"}, {"--mode", "2"}}) {
        std::vector<std::string> arguments = {"play", movie};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const QelhostRun played = run(arguments);
        EXPECT_EQ(played.exitCode, 0) << played.err;
        EXPECT_NE(played.out.find("frames delivered"), std::string::npos) << played.out;
        EXPECT_EQ(played.out.find("had not ended"), std::string::npos) << played.out;
    }
}

// The movie at path with the four-character code of its sample descriptions
// from replaced by to: a codec that no FFmpeg decodes.
std::vector<uint8_t> withCodecCode(const std::string& path, const char* from, const char* to)
{
    std::vector<uint8_t> bytes = readBytes(path);
    const std::string stsd = "stsd";
    // An 'stsd' box: its type, version and flags, entry count, then the
    // first entry's size and format.
    for (auto box = std::search(bytes.begin(), bytes.end(), stsd.begin(), stsd.end()); box != bytes.end();
         box = std::search(box + 4, bytes.end(), stsd.begin(), stsd.end())) {
        if (bytes.end() - box >= 20 && std::equal(box + 16, box + 20, from))
            std::copy(to, to + 4, box + 16);
    }
    return bytes;
}

using UndecodableTrackTest = QelhostTest;

// A track whose codec FFmpeg cannot decode fails its stream with the
// runtime's reason on the line before qelhost's, instead of an empty sound
// passed off as the end or a bare failure; the other stream is decoded.
TEST_F(UndecodableTrackTest, FailsItsStreamWithTheCodecNamed)
{
    const std::string original = testMedia("undecodable.mov", "-f lavfi -i testsrc2=size=64x48:rate=10 -f lavfi "
                                                              "-i sine=sample_rate=8000 -t 1 -c:v png -c:a pcm_s16be");
    ASSERT_FALSE(original.empty()) << "ffmpeg could not make the movie";
    struct Case {
        const char* name;
        const char* from;
        const char* to;
        const char* runtimeLine;
        const char* qelhostLine;
        const char* decodedOutput;
    };
    const Case cases[] = {
        {"v", "png ", "qxv1", "video track 1: no decoder for its codec 'qxv1'", "the video stream failed at 0 ms", ".wav"},
        {"a", "twos", "qxa1", "sound track 2: no decoder for its codec 'qxa1'", "cannot open stream #1003", ".y4m"},
    };
    for (const Case& c : cases) {
        const std::string movie = output(std::string(c.name) + ".mov");
        const std::vector<uint8_t> bytes = withCodecCode(original, c.from, c.to);
        std::FILE* file = std::fopen(movie.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);

        const QelhostRun decoded = run({"decode", movie, "-o", output("out")});
        EXPECT_EQ(decoded.exitCode, 1) << c.to << decoded.err;
        const size_t reason = decoded.err.find("QuickTime.qts: " + movie + ": " + c.runtimeLine + "\n");
        const size_t failure = decoded.err.find("qelhost decode: ");
        EXPECT_NE(reason, std::string::npos) << decoded.err;
        EXPECT_NE(decoded.err.find(c.qelhostLine, failure), std::string::npos) << decoded.err;
        EXPECT_LT(reason, failure) << decoded.err;
        EXPECT_FALSE(readBytes(output("out/") + c.name + c.decodedOutput).empty()) << c.to;
    }
}

} // namespace
} // namespace Qel::Testing
