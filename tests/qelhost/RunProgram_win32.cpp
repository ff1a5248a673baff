#include <cstdlib>

#include "QelhostRun.h"
#include "ShellWord.h"
#include "support/TextConversion.h"

namespace Qel::Testing {

const char* const kQelhostFileName = "qelhost.exe";

namespace {

std::string fileText(const std::string& path)
{
    const std::vector<uint8_t> bytes = readBytes(path);
    std::string text(bytes.begin(), bytes.end());
    // Text-mode output ends its lines with CR LF.
    std::string plain;
    for (char c : text) {
        if (c != '\r')
            plain += c;
    }
    return plain;
}

} // namespace

// _wsystem goes through cmd.exe, which strips the outer quotes of a command
// that starts with one; the extra pair keeps the program's quotes. The
// command is wide so that every file name reaches the program whole.
QelhostRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                      const std::string& scratchFolder)
{
    const std::string out = scratchFolder + "\\qelhost.out";
    const std::string err = scratchFolder + "\\qelhost.err";
    std::string command = shellWord(program);
    for (const std::string& argument : arguments)
        command += " " + shellWord(argument);
    command += " <NUL >" + shellWord(out) + " 2>" + shellWord(err);
    const std::u16string wide = toWide(shellWord(command));
    QelhostRun run;
    run.exitCode = _wsystem(std::wstring(wide.begin(), wide.end()).c_str());
    run.out = fileText(out);
    run.err = fileText(err);
    return run;
}

} // namespace Qel::Testing
