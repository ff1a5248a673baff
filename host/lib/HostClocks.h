// Clocks that a host gives to a stream's openStream. A stream calls only
// getTime (slot 3) and isRunning (slot 5); the other slots record nothing
// and do nothing. The host owns the clock and keeps it alive while a
// stream that was opened with it is open.
#pragma once

#include <chrono>
#include <cstdint>

#include "streams/HostClock.h"

namespace Qel::Host {

// Never running; its time stays where it was set (0 by default).
class StoppedClock : public HostClock {
    QEL_DESTRUCTOR_SLOT(StoppedClock)
public:
    explicit StoppedClock(int32_t timeMs = 0) : timeMs(timeMs) {}
    ~StoppedClock() = default;

    void hostSlot1() override {}
    void hostSlot2() override {}
    int32_t getTime() override { return timeMs; }
    void hostSlot4() override {}
    bool isRunning() override { return false; }

private:
    int32_t timeMs;
};

// A clock whose running flag and time the test sets between calls.
class ScriptedClock : public HostClock {
    QEL_DESTRUCTOR_SLOT(ScriptedClock)
public:
    ScriptedClock() = default;
    ~ScriptedClock() = default;

    void set(bool running, int32_t timeMs)
    {
        this->running = running;
        this->timeMs = timeMs;
    }
    void setTime(int32_t timeMs) { this->timeMs = timeMs; }
    void setRunning(bool running) { this->running = running; }
    // How many times a stream asked for the time.
    int timeQueries() const { return queries; }

    void hostSlot1() override {}
    void hostSlot2() override {}
    int32_t getTime() override
    {
        ++queries;
        return timeMs;
    }
    void hostSlot4() override {}
    bool isRunning() override { return running; }

private:
    bool running = false;
    int32_t timeMs = 0;
    int queries = 0;
};

// A clock that follows the steady clock at a speed in thousandths of normal
// speed (1000 normal, negative runs backwards) from a start time, once
// started. Stopped, it holds the time it had reached.
class RealClock : public HostClock {
    QEL_DESTRUCTOR_SLOT(RealClock)
public:
    explicit RealClock(int32_t speed = 1000, int32_t startMs = 0);
    ~RealClock() = default;

    void start();
    void stop();
    // Changes the speed from now on, keeping the time reached.
    void setSpeed(int32_t speed);

    void hostSlot1() override {}
    void hostSlot2() override {}
    int32_t getTime() override;
    void hostSlot4() override {}
    bool isRunning() override { return running; }

private:
    using Steady = std::chrono::steady_clock;

    int32_t speed;
    int32_t baseMs;           // the time at the moment `since`
    Steady::time_point since;
    bool running = false;
};

} // namespace Qel::Host
