#include <regex>

#include "QelhostTest.h"

namespace Qel::Testing {
namespace {

class PlayTest : public QelhostTest {
protected:
    struct Figures {
        double wallSeconds = 0;
        int delivered = -1;
        int skipped = -1;
        int late = -1;
        std::string audio;
    };

    // Plays and reads the figures of the report.
    Figures play(const std::string& movie, std::vector<std::string> extra)
    {
        std::vector<std::string> arguments = {"play", movie};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        const QelhostRun played = run(arguments);
        EXPECT_EQ(played.exitCode, 0) << played.err;
        Figures figures;
        std::smatch match;
        if (std::regex_search(played.out, match, std::regex(R"(of movie in ([0-9.]+) s)")))
            figures.wallSeconds = std::stod(match[1]);
        if (std::regex_search(played.out, match, std::regex(R"(video  (\d+) frames delivered, (\d+) [^,]*, (\d+) late)"))) {
            figures.delivered = std::stoi(match[1]);
            figures.skipped = std::stoi(match[2]);
            figures.late = std::stoi(match[3]);
        }
        if (std::regex_search(played.out, match, std::regex(R"(audio  ([^\n]*))")))
            figures.audio = match[1];
        EXPECT_EQ(played.out.find("had not ended"), std::string::npos) << played.out;
        return figures;
    }
};

TEST_F(PlayTest, ForwardPlayPacesWithTheClockAndAccountsForEveryPicture)
{
    const Figures figures = play(write("play.mov", pictureAndSound(R"("yuvs")")), {});
    EXPECT_GE(figures.wallSeconds, 0.95);
    ASSERT_GE(figures.delivered, 1);
    EXPECT_EQ(figures.delivered + figures.skipped, 10);
    EXPECT_NE(figures.audio.find("A/V offset mean"), std::string::npos) << figures.audio;
}

TEST_F(PlayTest, BackwardPlayRunsFromTheEndToTheStartWithAudioHeldBack)
{
    const Figures figures = play(write("play.mov", pictureAndSound(R"("yuvs")")), {"--speed", "-1000"});
    EXPECT_GE(figures.wallSeconds, 0.95);
    ASSERT_GE(figures.delivered, 1);
    EXPECT_EQ(figures.delivered + figures.skipped, 10);
    EXPECT_NE(figures.audio.find("0 chunks"), std::string::npos) << figures.audio;
    EXPECT_NE(figures.audio.find("held back"), std::string::npos) << figures.audio;
}

TEST_F(PlayTest, SyncSampleModeDeliversOnlySyncSamples)
{
    const Figures figures = play(write("sync.mov", pictureAndSound(R"("yuvs")", 64, 48, 5)), {"--mode", "2"});
    // Sync samples at 0 and 500 ms; nothing after the last one is counted.
    EXPECT_GE(figures.delivered, 1);
    EXPECT_LE(figures.delivered, 2);
    EXPECT_EQ(figures.skipped, figures.delivered == 2 ? 4 : 0);
}

TEST_F(PlayTest, SlowHostMakesThePluginSkipToCatchUp)
{
    const Figures figures = play(write("load.mov", pictureAndSound(R"("yuvs")")), {"--load", "250"});
    EXPECT_GT(figures.skipped, 0);
    EXPECT_LT(figures.delivered, 10);
}

} // namespace
} // namespace Qel::Testing
