#include <sys/wait.h>

#include <cstdlib>

#include "LibrarySearch.h"
#include "ShellWord.h"

namespace Qel::Testing {

// An empty LD_LIBRARY_PATH entry stands for the current folder; the plug-in's
// folder and the loader's absolute folders are the places searched.
std::vector<SearchCase> librarySearchCases()
{
    return {
        {"planted in the current folder, named by an empty entry", {"current"}, {"", "onpath"}, ""},
        {"beside the plug-in, the current folder on the path", {"current", "plugin"}, {"", "onpath"}, "plugin"},
        {"an absolute entry after an empty one", {"current", "onpath"}, {"", "onpath"}, "onpath"},
        {"the loader's own search before the plug-in's folder", {"onpath", "plugin"}, {"onpath"}, "onpath"},
    };
}

std::string libraryPathText(const std::vector<std::string>& folders)
{
    std::string text;
    for (size_t i = 0; i < folders.size(); ++i)
        text += (i ? ":" : "") + folders[i];
    return text;
}

int runIn(const std::string& currentFolder, const std::string& libraryPath, const std::vector<std::string>& command,
          const std::string& errorFile)
{
    std::string line = "cd " + shellWord(currentFolder) + " && LD_LIBRARY_PATH=" + shellWord(libraryPath) + " QEL_LOG=stderr";
    for (const std::string& word : command)
        line += " " + shellWord(word);
    line += " </dev/null >/dev/null 2>" + shellWord(errorFile);
    const int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace Qel::Testing
