#include <signal.h>

#include "platform/Interruption.h"

namespace Qel::Cli {

namespace {

volatile sig_atomic_t requested = 0;

void noteRequest(int)
{
    requested = 1;
}

} // namespace

void watchForInterruption()
{
    struct sigaction action {};
    action.sa_handler = noteRequest;
    sigemptyset(&action.sa_mask);
    // The handler goes after the first request, so a second one stops the
    // program; reads and writes under way carry on.
    action.sa_flags = SA_RESETHAND | SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // Past RLIMIT_FSIZE, write then fails with EFBIG, which is reported.
    signal(SIGXFSZ, SIG_IGN);
}

bool interruptionRequested()
{
    return requested != 0;
}

} // namespace Qel::Cli
