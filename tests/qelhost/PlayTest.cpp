#include <cstdio>

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
        const size_t reportAt = played.out.find("of movie in ");
        if (reportAt != std::string::npos)
            std::sscanf(played.out.c_str() + reportAt, "of movie in %lf s", &figures.wallSeconds);
        // "video  N frames delivered, N skipped by catch-up, N late" (or "1 frame", "passed over ...")
        const size_t video = played.out.find("video  ");
        if (video != std::string::npos) {
            const std::string line = played.out.substr(video, played.out.find('\n', video) - video);
            std::sscanf(line.c_str(), "video  %d", &figures.delivered);
            const size_t skipped = line.find("delivered, ");
            if (skipped != std::string::npos)
                std::sscanf(line.c_str() + skipped, "delivered, %d", &figures.skipped);
            const size_t comma = line.rfind(", ");
            if (comma != std::string::npos)
                std::sscanf(line.c_str() + comma, ", %d late", &figures.late);
        }
        const size_t audio = played.out.find("audio  ");
        if (audio != std::string::npos)
            figures.audio = played.out.substr(audio, played.out.find('\n', audio) - audio);
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
    const Figures figures = play(write("play.mov", pictureAndSound(R"("yuvs")")), {"--speed", "-1"});
    EXPECT_GE(figures.wallSeconds, 0.95);
    ASSERT_GE(figures.delivered, 1);
    EXPECT_EQ(figures.delivered + figures.skipped, 10);
    EXPECT_NE(figures.audio.find("0 chunks"), std::string::npos) << figures.audio;
    EXPECT_NE(figures.audio.find("held back"), std::string::npos) << figures.audio;
}

TEST_F(PlayTest, SyncSampleModeDeliversOnlySyncSamples)
{
    const Figures figures = play(write("sync.mov", pictureAndSound(R"("yuvs")", 64, 48, 5)), {"--mode", "2"});
    // Sync samples at 0 and 500 ms; the other eight are passed over.
    EXPECT_EQ(figures.delivered, 2);
    EXPECT_EQ(figures.skipped, 8);
}

TEST_F(PlayTest, SlowHostMakesThePluginSkipToCatchUp)
{
    // Three seconds of 100 ms pictures, longer than the queue read ahead, and
    // a host that spends 250 ms on each.
    const std::string movie = write("load.mov", Movie::document(Movie::videoTrack("vide", 30), "null", 600, 1800));
    const Figures figures = play(movie, {"--load", "250"});
    EXPECT_GT(figures.skipped, 0);
    EXPECT_EQ(figures.delivered + figures.skipped, 30);
}

} // namespace
} // namespace Qel::Testing
