#include <sys/wait.h>

#include <cstdlib>

#include "QelhostRun.h"

namespace Qel::Testing {

const char* const kQelhostFileName = "qelhost";

namespace {

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

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
    std::string command = quoted(program);
    for (const std::string& argument : arguments)
        command += " " + quoted(argument);
    command += " </dev/null >" + quoted(out) + " 2>" + quoted(err);
    const int status = std::system(command.c_str());
    QelhostRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = fileText(out);
    run.err = fileText(err);
    return run;
}

} // namespace Qel::Testing
