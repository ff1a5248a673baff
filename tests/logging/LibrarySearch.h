// The logging library's search as a host machine meets it: a host program in
// a folder of its own loads the plug-in from another, with a current folder
// and a library path (PATH on Windows, LD_LIBRARY_PATH elsewhere) of the
// test's choosing. Copies of a logging library that announces itself are
// planted in some of these folders; the announcement tells which one ran.
#pragma once

#include <string>
#include <vector>

namespace Qel::Testing {

// Folders of the layout, by name: "host" (the host program), "plugin" (the
// plug-in and the runtime), "current" (the current folder, with the movie)
// and "onpath" (a folder named only on the library path).
struct SearchCase {
    const char* what;
    std::vector<std::string> planted;      // folders that hold a copy
    std::vector<std::string> libraryPath;  // entries in order; "" is an empty entry
    std::string loaded;                    // the folder whose copy runs; "" for none
};

// This platform's cases (LibrarySearch_win32.cpp, LibrarySearch_posix.cpp).
std::vector<SearchCase> librarySearchCases();

// The library path's text for the entries, each a full folder path or "".
std::string libraryPathText(const std::vector<std::string>& folders);

// Runs command in currentFolder with the library path set to libraryPath,
// its standard error into errorFile; returns its exit code.
int runIn(const std::string& currentFolder, const std::string& libraryPath, const std::vector<std::string>& command,
          const std::string& errorFile);

} // namespace Qel::Testing
