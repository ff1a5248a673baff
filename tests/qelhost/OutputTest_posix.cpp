#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "QelhostTest.h"
#include "TestMedia.h"

namespace Qel::Testing {
namespace {

namespace fs = std::filesystem;

// How a child qelhost runs besides its arguments.
struct ChildSetting {
    rlim_t fileSizeLimit = RLIM_INFINITY;
    bool asNobody = false;   // drop root, whom no permission stops
};

constexpr int kCannotDropRoot = 125;

class FilesTest : public QelhostTest {
protected:
    // Starts qelhost with its output and errors in the scratch folder.
    pid_t start(const std::vector<std::string>& arguments, const ChildSetting& setting = {})
    {
        const std::string program = qelhostPath();
        std::vector<std::string> words = {program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        const std::string out = scratch.path("qelhost.out");
        const std::string err = scratch.path("qelhost.err");
        const pid_t child = fork();
        if (child != 0)
            return child;
        dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDOUT_FILENO);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), STDERR_FILENO);
        const rlimit limit{setting.fileSizeLimit, setting.fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
        if (setting.asNobody && geteuid() == 0 &&
            (setgid(65534) != 0 || setuid(65534) != 0 || access(program.c_str(), X_OK) != 0))
            _exit(kCannotDropRoot);
        std::vector<char*> argv;
        for (std::string& word : words)
            argv.push_back(word.data());
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }

    QelhostRun finish(pid_t child)
    {
        int status = 0;
        waitpid(child, &status, 0);
        QelhostRun result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        const std::vector<uint8_t> out = readBytes(scratch.path("qelhost.out"));
        const std::vector<uint8_t> err = readBytes(scratch.path("qelhost.err"));
        result.out.assign(out.begin(), out.end());
        result.err.assign(err.begin(), err.end());
        return result;
    }

    // Three hours of small pictures and 8 kHz sound: far longer to decode
    // than a test waits before it interrupts.
    std::string longMovie()
    {
        const std::string video = R"({"type": "vide", "video": {"compression": "yuvs", "width": 16, "height": 16},)"
                                  R"( "samples": {"count": 108000, "duration": 60}})";
        const std::string sound = R"({"type": "soun", "audio": {"sampleRate": 8000, "channels": 1, "frames": 86400000}})";
        return write("long.mov", Movie::document(video + ", " + sound, "null", 600, 6480000));
    }

    // Whether the temporary file of the output named NAME holds more than BYTES.
    static bool temporaryFileExceeds(const std::string& folder, const std::string& name, uintmax_t bytes)
    {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error))
            if (entry.path().extension() == ".part" && entry.path().filename().string().find("." + name + ".") == 0 &&
                entry.file_size(error) > bytes)
                return true;
        return false;
    }

    static bool temporaryFilesIn(const std::string& folder)
    {
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".part")
                return true;
        return false;
    }

    static bool ffmpegReads(const std::string& path)
    {
        return std::system(("ffmpeg -nostdin -v error -xerror -i '" + path + "' -f null - 2>/dev/null").c_str()) == 0;
    }
};

TEST_F(FilesTest, SecondNamesOfTheMovieAreRefusedToo)
{
    const std::string movie = write("a.mov", pictureAndSound(R"("yuvs")"));
    const std::string folder = output("out");
    fs::create_directories(folder);
    fs::create_hard_link(movie, folder + "/hard.wav");
    fs::create_symlink(movie, folder + "/soft.wav");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"decode", movie, "-o", folder + "/hard.wav", "-y"},
          {"decode", movie, "-o", folder + "/soft.wav", "-y"}, {"thumbs", movie, "-o", folder + "/hard.wav", "-y"}}) {
        const QelhostRun result = run(arguments);
        EXPECT_EQ(result.exitCode, 8) << result.err;
        EXPECT_NE(result.err.find("is the movie being read"), std::string::npos) << result.err;
    }
    EXPECT_EQ(readBytes(movie), readBytes(folder + "/hard.wav"));
    EXPECT_TRUE(fs::is_symlink(folder + "/soft.wav"));
}

TEST_F(FilesTest, InterruptedRunsFinishTheirFilesAndReport)
{
    const std::string movie = longMovie();
    for (int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal);
        const std::string folder = output("cut" + std::to_string(signal));
        const pid_t child = start({"decode", movie, "-o", folder});
        // A run that fails before writing is not waited for without end.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        // Both outputs must have frames in them: a signal before the first
        // picture rightly leaves no Y4M at all.
        while (!(fs::exists(folder) && temporaryFileExceeds(folder, "long.y4m", 64 * 1024) &&
                 temporaryFileExceeds(folder, "long.wav", 44)) &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        kill(child, signal);
        const QelhostRun result = finish(child);
        EXPECT_EQ(result.exitCode, 130) << result.err;
        EXPECT_NE(result.err.find("interrupted"), std::string::npos) << result.err;
        EXPECT_NE(result.out.find("video  "), std::string::npos) << result.out;
        const WavFile wav = readWav(folder + "/long.wav");
        const Y4mFile y4m = readY4m(folder + "/long.y4m");
        EXPECT_TRUE(wav.valid);
        EXPECT_TRUE(y4m.valid);
        EXPECT_LT(y4m.frames.size(), 108000u);
        EXPECT_TRUE(ffmpegReads(folder + "/long.wav"));
        EXPECT_TRUE(ffmpegReads(folder + "/long.y4m"));
        EXPECT_FALSE(temporaryFilesIn(folder));
    }

    const pid_t player = start({"play", movie});
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    kill(player, SIGINT);
    const QelhostRun played = finish(player);
    EXPECT_EQ(played.exitCode, 130);
    EXPECT_NE(played.out.find("frames delivered"), std::string::npos) << played.out;
    EXPECT_NE(played.out.find("interrupted"), std::string::npos) << played.out;
}

TEST_F(FilesTest, AFullDiskLeavesNoPartialFileAndSaysWhy)
{
    const std::string folder = output("full");
    const pid_t child = start({"decode", longMovie(), "-o", folder}, ChildSetting{1 << 20});
    const QelhostRun result = finish(child);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot write " + folder), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("(File too large)"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(FilesTest, MoviePathsAreCheckedFirstWithTheSystemsReason)
{
    const std::string secret = write("secret.mov", pictureAndSound(R"("yuvs")"));
    fs::permissions(secret, fs::perms::none);
    const std::string truncated = output("truncated.mp4");
    {
        const std::string whole = testMedia("whole.mp4", "-f lavfi -i testsrc2=size=64x48:rate=25 -t 2 -c:v libx264 "
                                                         "-g 10 -pix_fmt yuv420p -movflags +faststart");
        ASSERT_FALSE(whole.empty());
        std::vector<uint8_t> bytes = readBytes(whole);
        bytes.resize(bytes.size() / 2);
        write("truncated.mp4", std::string(bytes.begin(), bytes.end()));
    }
    fs::create_directories(output("out"));
    fs::permissions(output("out"), fs::perms::all);
    struct Case {
        std::string movie;
        int exitCode;
        std::string message;
    };
    const Case cases[] = {
        {output("nowhere.mov"), 3, "no such file: " + output("nowhere.mov")},
        {output(""), 3, " is a folder"},
        {secret, 3, "cannot read " + secret + " (Permission denied)"},
        {write("empty.mov", ""), 5, "empty.mov is empty"},
        {write("text.mov", "not a movie\n"), 5, "text.mov as a movie: it may be damaged, cut short"},
        {truncated, 1, "may be cut short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.movie);
        const QelhostRun result = finish(start({"decode", c.movie, "-o", output("out")}, ChildSetting{RLIM_INFINITY, true}));
        if (result.exitCode == kCannotDropRoot)
            GTEST_SKIP() << "qelhost cannot run as an unprivileged user from this build folder";
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    // What the cut movie held is written, and readable.
    EXPECT_TRUE(ffmpegReads(output("out/truncated.y4m")));
    EXPECT_FALSE(readY4m(output("out/truncated.y4m")).frames.empty());
}

} // namespace
} // namespace Qel::Testing
