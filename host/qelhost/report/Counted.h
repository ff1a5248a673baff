// Counts in report lines, with the noun in the number it takes: "1 frame",
// "2 frames", "0 frames".
#pragma once

#include <cstdint>
#include <string>

namespace Qel::Cli {

inline std::string counted(uint64_t count, const std::string& noun)
{
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

} // namespace Qel::Cli
