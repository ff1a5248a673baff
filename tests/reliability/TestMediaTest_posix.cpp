// Test media are shared by every test program of a build: two programs that
// make the same file at once (ctest -j) must both get it whole.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "TestMedia.h"

namespace Qel::Testing {
namespace {

TEST(TestMediaTest, ProcessesMakingTheSameFileAtOnceBothGetIt)
{
    // Arguments of this run only, so that the file is not in the cache yet.
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::string arguments = "-f lavfi -i sine=duration=0.5 -metadata comment=race-" +
                                  std::to_string(getpid()) + "-" + std::to_string(now);
    pid_t makers[2] = {};
    for (pid_t& maker : makers) {
        maker = fork();
        ASSERT_GE(maker, 0);
        if (maker == 0) {
            const std::string path = testMedia("race.wav", arguments);
            _exit(!path.empty() && std::filesystem::file_size(path) > 0 ? 0 : 1);
        }
    }
    for (pid_t maker : makers) {
        int status = 0;
        ASSERT_EQ(waitpid(maker, &status, 0), maker);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a maker failed: " << status;
    }
    const std::string made = testMedia("race.wav", arguments);
    ASSERT_FALSE(made.empty());
    // Nothing of theirs is left half-made (other programs may be making
    // files of their own meanwhile).
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(made).parent_path())) {
        const std::string name = entry.path().filename().string();
        EXPECT_FALSE(name.rfind("partial-", 0) == 0 && name.find("-race-") != std::string::npos) << name;
    }
    std::filesystem::remove(made);
}

} // namespace
} // namespace Qel::Testing
