#include "HostClocks.h"

namespace Qel::Host {

RealClock::RealClock(int32_t speed, int32_t startMs) : speed(speed), baseMs(startMs), since(Steady::now())
{
}

void RealClock::start()
{
    if (running)
        return;
    since = Steady::now();
    running = true;
}

void RealClock::stop()
{
    if (!running)
        return;
    baseMs = getTime();
    running = false;
}

void RealClock::setSpeed(int32_t newSpeed)
{
    if (running) {
        baseMs = getTime();
        since = Steady::now();
    }
    speed = newSpeed;
}

int32_t RealClock::getTime()
{
    if (!running)
        return baseMs;
    int64_t elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - since).count();
    return static_cast<int32_t>(baseMs + elapsedMs * speed / 1000);
}

} // namespace Qel::Host
