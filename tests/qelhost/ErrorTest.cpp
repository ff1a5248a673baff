#include <filesystem>

#include "PluginModule.h"
#include "QelhostTest.h"

namespace Qel::Testing {
namespace {

namespace fs = std::filesystem;

class ErrorTest : public QelhostTest {
protected:
    // qelhost copied into a folder of its own, with the named companions
    // from the build's folder.
    std::string lonelyQelhost(const std::vector<std::string>& companions)
    {
        const fs::path folder = scratch.path("lonely");
        fs::create_directories(folder);
        const fs::path program = qelhostPath();
        fs::copy_file(program, folder / program.filename(), fs::copy_options::overwrite_existing);
        for (const std::string& name : companions)
            fs::copy_file(fs::path(Host::PluginModule::programFolder()) / name, folder / name,
                          fs::copy_options::overwrite_existing);
        return qelhostPath(folder.string());
    }
};

TEST_F(ErrorTest, MissingMovie)
{
    const QelhostRun result = run({"info", output("nowhere.mov")});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_NE(result.err.find("no such file"), std::string::npos) << result.err;
}

TEST_F(ErrorTest, RefusedMovieNamesTheResultCode)
{
    const std::string panorama = write("vr.mov", Movie::document(Movie::videoTrack(), R"({"ctyp": "qtvr"})"));
    for (const char* command : {"info", "decode", "play"}) {
        const QelhostRun result = run({command, panorama});
        EXPECT_EQ(result.exitCode, 5) << command;
        EXPECT_NE(result.err.find("cannot open"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("(0x80100001)"), std::string::npos) << result.err;
    }
}

TEST_F(ErrorTest, PluginModuleMissingBesideTheProgram)
{
    const QelhostRun result = run({"info", write("a.mov", Movie::document(Movie::videoTrack()))}, lonelyQelhost({}));
    EXPECT_EQ(result.exitCode, 4);
    EXPECT_NE(result.err.find("cannot load the plug-in"), std::string::npos) << result.err;
    // The system's reason, not a bare number.
    EXPECT_NE(result.err.find(std::string(Host::PluginModule::kFileName) + " ("), std::string::npos) << result.err;
    EXPECT_EQ(result.err.find("error 0)"), std::string::npos) << result.err;
}

TEST_F(ErrorTest, RuntimeMissingBesideThePlugin)
{
    const std::string program = lonelyQelhost({Host::PluginModule::kFileName});
    const QelhostRun result = run({"info", write("a.mov", Movie::document(Movie::videoTrack()))}, program);
    EXPECT_EQ(result.exitCode, 6);
    EXPECT_NE(result.err.find("could not be started"), std::string::npos) << result.err;
    // Where the runtime was looked for.
    EXPECT_NE(result.err.find("QuickTime.qts"), std::string::npos) << result.err;
}

TEST_F(ErrorTest, BadCommandLines)
{
    const std::string movie = write("a.mov", Movie::document(Movie::videoTrack()));
    const std::vector<std::vector<std::string>> cases = {
        {}, {"transcode", movie}, {"info"}, {"info", movie, "--colour"}, {"info", movie, movie},
        {"thumbs", movie}, {"thumbs", movie, "-o", output("s.png"), "--count", "0"},
        {"play", movie, "--speed", "0"}, {"play", movie, "--speed", "1000"}, {"play", movie, "--mode", "3"},
        {"decode", movie, "--from", "soon"}, {"decode", movie, "--from", "1:75"}, {"decode", movie, "--to", "inf"},
        {"decode", movie, "-o"}, {"decode", movie, "--no-audio", "--no-video"}, {"play", movie, "--audio", "3"},
        {"help", "transcode"}, {"-q", "-v", "info", movie}};
    for (const auto& arguments : cases) {
        const QelhostRun result = run(arguments);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(arguments);
        EXPECT_FALSE(result.err.empty());
        EXPECT_TRUE(result.out.empty()) << result.out;
    }
}

TEST_F(ErrorTest, EveryCommandExplainsItself)
{
    for (const char* command : {"info", "decode", "thumbs", "play"}) {
        const QelhostRun result = run({command, "--help"});
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out.rfind(std::string("usage: qelhost ") + command, 0), 0u) << result.out;
    }
    EXPECT_EQ(run({"--help"}).exitCode, 0);
    const QelhostRun help = run({"help", "decode"});
    EXPECT_EQ(help.out, run({"decode", "--help"}).out);
    EXPECT_NE(help.out.find("--from TIME"), std::string::npos) << help.out;
    EXPECT_EQ(run({"--version"}).out.rfind("qelhost ", 0), 0u);
}

} // namespace
} // namespace Qel::Testing
