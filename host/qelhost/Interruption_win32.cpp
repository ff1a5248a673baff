#include <windows.h>

#include <atomic>

#include "Interruption.h"

namespace Qel::Cli {

namespace {

std::atomic<bool> requested{false};

// Runs on a thread of its own. Answering FALSE to a second request lets the
// default handler end the process.
BOOL WINAPI noteRequest(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    return requested.exchange(true) ? FALSE : TRUE;
}

} // namespace

void watchForInterruption()
{
    SetConsoleCtrlHandler(noteRequest, TRUE);
}

bool interruptionRequested()
{
    return requested.load();
}

} // namespace Qel::Cli
