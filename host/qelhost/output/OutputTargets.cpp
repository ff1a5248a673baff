#include "output/OutputTargets.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "output/OutputFile.h"

namespace Qel::Cli {

namespace {

bool endsWith(const std::string& path, const char* extension)
{
    const std::string wanted(extension);
    if (path.size() <= wanted.size())
        return false;
    return std::equal(wanted.rbegin(), wanted.rend(), path.rbegin(), [](char a, char b) {
        return a == std::tolower(static_cast<unsigned char>(b));
    });
}

} // namespace

OutputTargets outputTargets(const std::string& option, const std::string& moviePath)
{
    namespace fs = std::filesystem;
    OutputTargets targets;
    if (isStandardOutput(option)) {
        targets.audio = targets.video = option;
        targets.standardOutput = true;
        return targets;
    }
    const fs::path named = fs::u8path(option);
    if (endsWith(option, ".wav") || endsWith(option, ".y4m")) {
        (endsWith(option, ".wav") ? targets.audio : targets.video) = option;
        targets.folder = named.parent_path().u8string();
        return targets;
    }
    targets.folder = option;
    const fs::path stem = named / fs::u8path(moviePath).stem();
    targets.audio = stem.u8string() + ".wav";
    targets.video = stem.u8string() + ".y4m";
    return targets;
}

std::string withoutY4mExtension(const std::string& path)
{
    return endsWith(path, ".y4m") ? path.substr(0, path.size() - 4) : path;
}

} // namespace Qel::Cli
