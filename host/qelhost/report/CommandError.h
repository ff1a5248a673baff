// The failure of a qelhost command: a one-line message for standard error
// and the process's exit code. Commands throw it; main prints it once.
#pragma once

#include <stdexcept>
#include <string>

namespace Qel::Cli {

// Exit codes, documented in host/qelhost/README.md.
enum ExitCode : int {
    kExitSuccess = 0,
    kExitFailed = 1,           // reading a stream or writing an output failed
    kExitUsage = 2,            // bad command line
    kExitNoSuchFile = 3,       // the movie does not exist
    kExitNoPlugin = 4,         // the plug-in module cannot be loaded
    kExitRefused = 5,          // the plug-in refused the movie
    kExitNoRuntime = 6,        // the plug-in found no runtime to start
    kExitNotAvailable = 7,     // the command needs what this build lacks
    kExitOutputExists = 8,     // an output exists (no -y) or is the movie itself
    kExitInterrupted = 130,    // stopped by Ctrl-C or a termination request
};

class CommandError : public std::runtime_error {
public:
    CommandError(ExitCode code, const std::string& message) : std::runtime_error(message), code(code) {}
    ExitCode exitCode() const { return code; }

private:
    ExitCode code;
};

} // namespace Qel::Cli
