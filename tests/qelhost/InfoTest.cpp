#include <filesystem>

#include <nlohmann/json.hpp>

#include "QelhostTest.h"

namespace Qel::Testing {
namespace {

class InfoTest : public QelhostTest {};

const std::string kThreeTracks = Movie::document(
    Movie::videoTrack() + R"(, {"type": "vide", "video": {"compression": "YVU9", "width": 32, "height": 16},)"
                          R"( "samples": {"count": 5, "duration": 120}}, )" +
        Movie::soundTrack(6),
    R"({"name": "Harbour at dawn"})");

TEST_F(InfoTest, JsonDescribesContainerTitleAndEveryStreamAsOpened)
{
    const std::string movie = write("three.mov", kThreeTracks);
    const QelhostRun info = run({"info", movie, "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const nlohmann::json report = nlohmann::json::parse(info.out);

    EXPECT_EQ(std::filesystem::path(report["container"]["path"].get<std::string>()).filename(), "three.mov");
    EXPECT_EQ(report["container"]["title"], "Harbour at dawn");
    EXPECT_EQ(report["container"]["durationMs"], 10000);
    EXPECT_EQ(report["container"]["fileSize"], kThreeTracks.size());
    EXPECT_EQ(report["title"]["name"], "Harbour at dawn");

    const nlohmann::json& streams = report["streams"];
    ASSERT_EQ(streams.size(), 3u);
    EXPECT_NE(streams[0]["id"], streams[1]["id"]);
    EXPECT_NE(report["title"]["id"], streams[0]["id"]);
    // The first stream of each kind is the activated one.
    EXPECT_EQ(streams[0], nlohmann::json({{"id", streams[0]["id"]}, {"kind", "video"}, {"kindCode", 272},
                                          {"format", "YUY2"}, {"width", 64}, {"height", 48},
                                          {"durationMs", 10000}, {"activated", true}, {"opened", true}}));
    EXPECT_EQ(streams[1]["format"], "YV12");
    EXPECT_EQ(streams[1]["width"], 32);
    EXPECT_EQ(streams[1]["activated"], false);
    // Six channels reach the host downmixed to two.
    EXPECT_EQ(streams[2]["kind"], "audio");
    EXPECT_EQ(streams[2]["kindCode"], 288);
    EXPECT_EQ(streams[2]["sampleRate"], 44100);
    EXPECT_EQ(streams[2]["channels"], 2);
    EXPECT_EQ(streams[2]["bitsPerSample"], 16);
    EXPECT_EQ(streams[2]["activated"], true);
}

TEST_F(InfoTest, TextFormListsTheSameFacts)
{
    const QelhostRun info = run({"info", write("three.mov", kThreeTracks)});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("\"Harbour at dawn\""), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("duration   10.000 s"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("video YUY2 64x48, 10.000 s, activated"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("video YV12 32x16, 10.000 s, not activated"), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("audio PCM16 44100 Hz, 2 channels, 16 bits, 10.000 s, activated"), std::string::npos)
        << info.out;
}

TEST_F(InfoTest, StreamThatCannotOpenIsReportedAndTheRestStillListed)
{
    const std::string movie = write(
        "broken.mov", Movie::document(Movie::videoTrack() + ", " + Movie::soundTrack(), "null", 600, 600,
                                      R"({"operation": "ExportDataFunction", "descriptionType": "soun"})"));
    const QelhostRun info = run({"info", movie, "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const nlohmann::json streams = nlohmann::json::parse(info.out)["streams"];
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0]["opened"], false);
    EXPECT_TRUE(streams[0].contains("error"));
    EXPECT_FALSE(streams[0].contains("format"));
    EXPECT_EQ(streams[1]["opened"], true);
}

} // namespace
} // namespace Qel::Testing
