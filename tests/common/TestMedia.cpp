#include "TestMedia.h"

#include <cstdio>
#include <filesystem>
#include <functional>
#include <sys/wait.h>

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
    // Made under a temporary name and renamed, so that an interrupted run
    // leaves no half-made file in the cache.
    const fs::path partial = folder / ("partial-" + path.filename().string());
    const std::string command = "ffmpeg -nostdin -v error -y " + arguments + " '" + partial.string() + "'";
    if (std::system(command.c_str()) != 0)
        return {};
    fs::rename(partial, path);
    return path.string();
}

} // namespace Qel::Testing
