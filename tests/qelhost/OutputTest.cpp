#include <algorithm>
#include <filesystem>

#include "QelhostTest.h"

namespace Qel::Testing {
namespace {

namespace fs = std::filesystem;

class OutputTest : public QelhostTest {
protected:
    // The names in a folder, sorted: what a run left behind, temporary
    // files included.
    static std::vector<std::string> namesIn(const std::string& folder)
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(fs::u8path(folder)))
            names.push_back(entry.path().filename().u8string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static std::string text(const std::string& path)
    {
        const std::vector<uint8_t> bytes = readBytes(path);
        return std::string(bytes.begin(), bytes.end());
    }
};

TEST_F(OutputTest, ExistingFilesAndTheMovieItselfAreReplacedOnlyWhenAllowed)
{
    // The runtime reads a movie by its content, so a movie can bear the
    // name of an output.
    const std::string clip = write("clip.wav", pictureAndSound(R"("yuvs")"));
    const std::string take = write("take.mov", pictureAndSound(R"("yuvs")"));
    const std::string kept = write("take.wav", "kept");
    // Without its closing separator, which would escape a Windows quote.
    const std::string folder = fs::u8path(output("x")).parent_path().u8string();
    const std::vector<std::string> before = namesIn(folder);
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {{"decode", clip, "-o", folder}, 8, "is the movie being read"},
        {{"decode", clip, "-o", folder, "-y"}, 8, "is the movie being read"},
        {{"decode", clip, "-o", clip, "-y"}, 8, "is the movie being read"},
        {{"decode", take, "-o", folder}, 8, "exists; give -y"},
        {{"decode", take, "-o", kept}, 8, "exists; give -y"},
        {{"decode", take, "-o", kept, "-n"}, 8, "exists; give -y"},
        {{"decode", take, "-o", kept, "-n", "-y"}, 2, "contradict"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const QelhostRun result = run(c.arguments);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_EQ(text(kept), "kept");
        EXPECT_EQ(text(clip), pictureAndSound(R"("yuvs")"));
        EXPECT_EQ(namesIn(folder), before);
    }

    const QelhostRun replaced = run({"decode", take, "-o", kept, "-y"});
    ASSERT_EQ(replaced.exitCode, 0) << replaced.err;
    EXPECT_TRUE(readWav(kept).valid);
    EXPECT_EQ(namesIn(folder), before);
}

TEST_F(OutputTest, NamedFilesAndStandardOutputTakeOneStreamEach)
{
    const std::string both = write("both.mov", pictureAndSound(R"("yuvs")"));
    const std::string pictures = write("pictures.mov", Movie::document(Movie::videoTrack(), "null", 600, 600));

    const QelhostRun sound = run({"decode", both, "-o", output("named/sound.wav")});
    ASSERT_EQ(sound.exitCode, 0) << sound.err;
    EXPECT_EQ(namesIn(output("named")), std::vector<std::string>{"sound.wav"});
    EXPECT_EQ(readWav(output("named/sound.wav")).samples.size(), 44100u * 2);

    const QelhostRun piped = run({"decode", pictures, "-o", "-"});
    ASSERT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_NE(piped.err.find("-> standard output"), std::string::npos) << piped.err;
    // The bytes as written (run.out is read as text).
    EXPECT_EQ(readY4m(scratch.path("qelhost.out")).frames.size(), 10u);

    const QelhostRun refused = run({"decode", both, "-o", "-"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("standard output takes one stream"), std::string::npos) << refused.err;

    const QelhostRun chosen = run({"decode", both, "-o", "-", "--no-video"});
    ASSERT_EQ(chosen.exitCode, 0) << chosen.err;
    EXPECT_EQ(readBytes(scratch.path("qelhost.out")).size(), 44 + 44100u * 2 * 2);
}

TEST_F(OutputTest, AnyFileNameIsReadAndWritten)
{
    const std::string name = u8"syn é 日本";
    const std::string movie = write(name + ".mov", pictureAndSound(R"("yuvs")"));
    const QelhostRun decoded = run({"decode", movie, "-o", output(u8"出力 ö")});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    EXPECT_TRUE(readWav(output(u8"出力 ö/" + name + ".wav")).valid);
    EXPECT_EQ(readY4m(output(u8"出力 ö/" + name + ".y4m")).frames.size(), 10u);
    EXPECT_NE(decoded.out.find(name + ".wav"), std::string::npos) << decoded.out;

    const QelhostRun missing = run({"info", output(u8"無い.mov")});
    EXPECT_EQ(missing.exitCode, 3);
    EXPECT_NE(missing.err.find(u8"無い.mov"), std::string::npos) << missing.err;
}

} // namespace
} // namespace Qel::Testing
