// A folder of its own under the system's temporary folder, removed with
// everything in it when the object goes. Names and paths are UTF-8 on every
// platform (not the Windows ANSI code page), and paths are returned in the
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
        // Process ids repeat (under Wine, from one run to the next) and a
        // folder whose file is still held open elsewhere may outlive its
        // run: the first name not yet taken is used.
        static std::atomic<int> serial{0};
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        const std::string prefix = "qel-test-" + std::to_string(Platform::currentProcessId()) + "-";
        do {
            folder = base / (prefix + std::to_string(serial++));
        } while (!std::filesystem::create_directory(folder));
    }

    ~TempFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The path of name inside the folder (the file need not exist).
    std::string path(const std::string& name) const { return (folder / std::filesystem::u8path(name)).u8string(); }

    // Writes content to name, replacing it, and returns its path.
    std::string write(const std::string& name, const std::string& content) const
    {
        std::ofstream out(folder / std::filesystem::u8path(name), std::ios::binary | std::ios::trunc);
        out << content;
        return path(name);
    }

private:
    std::filesystem::path folder;
};

} // namespace Qel::Testing
