#include <cstdio>
#include <filesystem>

#include "LogCapture.h"
#include "QelhostTest.h"

namespace Qel::Testing {
namespace {

class CommandLineTest : public QelhostTest {
protected:
    void TearDown() override
    {
        setLogDestination("");
        if (!startFolder.empty())
            std::filesystem::current_path(startFolder);
    }
    // Runs the children in the scratch folder from now on.
    void workInScratch()
    {
        startFolder = std::filesystem::current_path();
        std::filesystem::current_path(scratch.path(""));
    }

    std::filesystem::path startFolder;
};

TEST_F(CommandLineTest, QuietVerboseAndTheEndOfOptions)
{
    // A name that reads as an option, in the folder qelhost runs in.
    const std::string movie = "-dash.mov";
    std::filesystem::copy_file(write("dash.mov", pictureAndSound(R"("yuvs")")), scratch.path(movie));
    workInScratch();
    struct Case {
        std::vector<std::string> arguments;
        bool printsReport;
        bool showsPluginLines;
    };
    const Case cases[] = {
        {{"decode", "-o", output("out"), "--", movie}, true, false},
        {{"decode", "-q", "-y", "-o", output("out"), "--", movie}, false, false},
        {{"-v", "play", "--no-audio", "--", movie}, true, true},
        {{"play", "--quiet", "--speed=2", "--", movie}, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const QelhostRun result = run(c.arguments);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out.empty(), !c.printsReport) << result.out;
        EXPECT_EQ(result.err.find("Container Qel::ContainerQuickTime::open") != std::string::npos,
                  c.showsPluginLines)
            << result.err;
    }
}

TEST_F(CommandLineTest, LogDestinationThatIsNeitherStderrNorAPathIsRefused)
{
    const std::string movie = write("a.mov", pictureAndSound(R"("yuvs")"));
    for (const char* word : {"1", "yes", "debug"}) {
        setLogDestination(word);
        const QelhostRun result = run({"info", movie});
        EXPECT_EQ(result.exitCode, 2) << word;
        EXPECT_NE(result.err.find("QEL_LOG must be \"stderr\" or a file path"), std::string::npos) << result.err;
    }
    setLogDestination(output("qel.log"));
    EXPECT_EQ(run({"info", movie}).exitCode, 0);
    EXPECT_FALSE(readBytes(output("qel.log")).empty());

    // The logging library takes full paths only; qelhost makes the user's
    // relative one full from the folder it starts in (the test's).
    const std::string relative = "qel-cli-" + std::to_string(Platform::currentProcessId()) + ".log";
    setLogDestination("./" + relative);
    EXPECT_EQ(run({"info", movie}).exitCode, 0);
    EXPECT_FALSE(readBytes(relative).empty());
    std::remove(relative.c_str());
}

} // namespace
} // namespace Qel::Testing
