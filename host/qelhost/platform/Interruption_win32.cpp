#include <windows.h>

#include <atomic>

#include "platform/Interruption.h"

namespace Qel::Cli {

namespace {

std::atomic<bool> requested{false};

// Runs on a thread of its own. Answering FALSE to a second request lets the
// default handler end the process. A closing console ends the process as
// soon as the handler returns, so for that one the handler waits: the
// command finishes its files and returns from main, which ends the process
// (Windows allows a few seconds for it).
BOOL WINAPI noteRequest(DWORD event)
{
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    if (requested.exchange(true))
        return FALSE;
    if (event == CTRL_CLOSE_EVENT)
        Sleep(INFINITE);
    return TRUE;
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
