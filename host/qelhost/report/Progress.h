// The progress line that a long command keeps up to date on standard error,
// only when standard error is a terminal (never in logs or pipes).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace Qel::Cli {

class Progress {
public:
    // Shows how far a command has gone between two stream times, when
    // wanted and standard error is a terminal.
    Progress(std::string verb, uint32_t fromMs, uint32_t toMs, bool wanted);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // Shows the stream time reached, at most ten times a second.
    void update(uint32_t reachedMs);

private:
    using Steady = std::chrono::steady_clock;

    std::string verb;
    uint32_t fromMs;
    uint32_t totalMs;
    bool shown;
    bool drawn = false;
    Steady::time_point lastDrawn;
};

} // namespace Qel::Cli
