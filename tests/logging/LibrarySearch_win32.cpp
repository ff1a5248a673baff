#include <cstdlib>

#include "LibrarySearch.h"
#include "ShellWord.h"

namespace Qel::Testing {

// The host's folder, the plug-in's folder and the system folder are searched;
// the current folder and PATH never are.
std::vector<SearchCase> librarySearchCases()
{
    return {
        {"planted in the current folder and on PATH", {"current", "onpath"}, {"onpath"}, ""},
        {"planted on PATH alone", {"onpath"}, {"onpath"}, ""},
        {"beside the host program", {"current", "onpath", "host"}, {"onpath"}, "host"},
        {"beside the plug-in", {"current", "onpath", "plugin"}, {"onpath"}, "plugin"},
        {"the host's folder before the plug-in's", {"host", "plugin"}, {}, "host"},
    };
}

std::string libraryPathText(const std::vector<std::string>& folders)
{
    std::string text;
    for (const std::string& folder : folders)
        text += folder + ";";
    return text;
}

// std::system goes through cmd.exe, which strips the outer quotes of a
// command that starts with one; the extra pair keeps the inner ones.
int runIn(const std::string& currentFolder, const std::string& libraryPath, const std::vector<std::string>& command,
          const std::string& errorFile)
{
    std::string line = "cd /d " + shellWord(currentFolder) + " && set " + shellWord("PATH=" + libraryPath + "%PATH%")
                       + " && set " + shellWord("QEL_LOG=stderr") + " &&";
    for (const std::string& word : command)
        line += " " + shellWord(word);
    line += " <NUL >NUL 2>" + shellWord(errorFile);
    return std::system(shellWord(line).c_str());
}

} // namespace Qel::Testing
