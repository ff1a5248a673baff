#include "TestMedia.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace Qel::Testing {

std::vector<uint8_t> commandOutput(const std::string& command)
{
    std::vector<uint8_t> output;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    uint8_t chunk[65536];
    size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
        output.insert(output.end(), chunk, chunk + read);
    const int status = pclose(pipe);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        output.clear();
    return output;
}

std::string commandText(const std::string& command)
{
    const std::vector<uint8_t> output = commandOutput(command);
    return std::string(output.begin(), output.end());
}

std::string testMedia(const std::string& name, const std::string& arguments)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::current_path() / "test-media";
    fs::create_directories(folder);
    const fs::path file(name);
    const std::string key = std::to_string(std::hash<std::string>{}(arguments));
    const fs::path path = folder / (file.stem().string() + "-" + key + file.extension().string());
    if (fs::exists(path))
        return path.string();
    // Made under a name of this process's own and renamed into place, so
    // that an interrupted run leaves no half-made file in the cache, and two
    // test programs making the same file at once (ctest -j) neither write
    // into one file nor lose each other's: the rename is atomic, and the
    // second one replaces the first with the same content.
    static std::atomic<int> serial{0};
    const fs::path partial = folder / ("partial-" + std::to_string(getpid()) + "-" + std::to_string(serial++) +
                                       "-" + path.filename().string());
    const std::string command = "ffmpeg -nostdin -v error -y " + arguments + " '" + partial.string() + "'";
    if (std::system(command.c_str()) != 0) {
        std::error_code ignored;
        fs::remove(partial, ignored);
        return {};
    }
    std::error_code renamed;
    fs::rename(partial, path, renamed);
    if (renamed) {
        fs::remove(partial, renamed);
        return {};
    }
    return path.string();
}

} // namespace Qel::Testing
