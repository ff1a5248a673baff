// Ctrl-C and termination requests (SIGINT and SIGTERM, or the console's
// Ctrl-C, Ctrl-Break and close events on Windows). The first request only
// raises a flag: a command checks it between frames, stops reading, and
// finishes its files, report and progress line as it would at the end. A
// second request ends the program at once, as if nothing were watching.
#pragma once

namespace Qel::Cli {

// Installs the handlers (Interruption_posix.cpp, Interruption_win32.cpp).
// Also makes writes past a file size limit fail with an error instead of
// ending the program.
void watchForInterruption();

bool interruptionRequested();

} // namespace Qel::Cli
