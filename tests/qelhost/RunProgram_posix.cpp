#include <sys/wait.h>

#include <cstdlib>

#include "QelhostRun.h"
#include "ShellWord.h"

namespace Qel::Testing {

const char* const kQelhostFileName = "qelhost";

namespace {

std::string fileText(const std::string& path)
{
    const std::vector<uint8_t> bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

QelhostRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& scratchFolder)
{
    const std::string out = scratchFolder + "/qelhost.out";
    const std::string err = scratchFolder + "/qelhost.err";
    std::string command = shellWord(program);
    for (const std::string& argument : arguments)
        command += " " + shellWord(argument);
    command += " </dev/null >" + shellWord(out) + " 2>" + shellWord(err);
    const int status = std::system(command.c_str());
    QelhostRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = fileText(out);
    run.err = fileText(err);
    return run;
}

} // namespace Qel::Testing
