// A folder of its own under the system's temporary folder, removed with
// everything in it when the object goes. Paths are returned in the
// platform's own form, ready for fileUrlFromPath.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "support/Platform.h"

namespace Qel::Testing {

class TempFolder {
public:
    TempFolder()
    {
        static std::atomic<int> serial{0};
        folder = std::filesystem::temp_directory_path() /
                 ("qel-test-" + std::to_string(Platform::currentProcessId()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(folder);
    }

    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The path of name inside the folder (the file need not exist).
    std::string path(const std::string& name) const { return (folder / name).string(); }

    // Writes content to name, replacing it, and returns its path.
    std::string write(const std::string& name, const std::string& content) const
    {
        std::string target = path(name);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out << content;
        return target;
    }

private:
    std::filesystem::path folder;
};

} // namespace Qel::Testing
