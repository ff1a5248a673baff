// The qelhost commands. Each takes the arguments after its name, writes its
// report to standard output, and returns the exit code; failures are
// thrown as CommandError.
#pragma once

#include <string>
#include <vector>

namespace Qel::Cli {

using Arguments = std::vector<std::string>;

int runInfo(const Arguments& arguments);
int runDecode(const Arguments& arguments);
int runThumbs(const Arguments& arguments);
int runPlay(const Arguments& arguments);

} // namespace Qel::Cli
