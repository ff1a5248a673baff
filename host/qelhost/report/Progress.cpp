#include "report/Progress.h"

#include <algorithm>
#include <cstdio>

#include "platform/Terminal.h"

namespace Qel::Cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
} // namespace

Progress::Progress(std::string verb, uint32_t fromMs, uint32_t toMs, bool wanted)
    : verb(std::move(verb)), fromMs(fromMs), totalMs(toMs > fromMs ? toMs - fromMs : 0),
      shown(wanted && standardErrorIsTerminal())
{
}

Progress::~Progress()
{
    // Wipe the line so that the summary starts on a clean one.
    if (drawn)
        std::fprintf(stderr, "\r\033[K");
}

void Progress::update(uint32_t reachedMs)
{
    if (!shown)
        return;
    const Steady::time_point now = Steady::now();
    if (drawn && now - lastDrawn < kRedrawInterval)
        return;
    lastDrawn = now;
    drawn = true;
    // Times within the range, so that --from and --to read as the user set them.
    const uint32_t done = std::min(reachedMs > fromMs ? reachedMs - fromMs : 0, totalMs);
    const unsigned percent = totalMs ? unsigned(uint64_t(done) * 100 / totalMs) : 0;
    std::fprintf(stderr, "\r%s %.1f s of %.1f s (%u%%)\033[K", verb.c_str(), done / 1000.0,
                 totalMs / 1000.0, percent);
    std::fflush(stderr);
}

} // namespace Qel::Cli
