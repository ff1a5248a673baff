#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "LibrarySearch.h"
#include "LogTestSupport.h"
#include "MovieFixture.h"
#include "PluginModule.h"
#include "TempFolder.h"
#include "support/LoggerImpl.h"

namespace Qel::Testing {
namespace {

namespace fs = std::filesystem;

const char* const kFolders[] = {"host", "plugin", "current", "onpath"};

// The folders that announced a load, by name, in the order of their lines.
std::vector<std::string> announcedFolders(const std::string& errorText)
{
    static const std::string kAnnouncement = "Qel_Logging loaded from ";
    std::vector<std::string> folders;
    std::istringstream lines(errorText);
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, kAnnouncement.size(), kAnnouncement) != 0)
            continue;
        const fs::path file = fs::u8path(line.substr(kAnnouncement.size()));
        folders.push_back(file.parent_path().filename().u8string());
    }
    return folders;
}

class LibrarySearch : public ::testing::Test {
protected:
    void SetUp() override
    {
        const fs::path build = fs::u8path(Host::PluginModule::programFolder());
        for (const char* name : kFolders)
            fs::create_directory(folder(name));
        copy(build / hostProgramName(), folder("host"));
        copy(build / Host::PluginModule::kFileName, folder("plugin"));
        copy(build / "QuickTime.qts", folder("plugin"));
        movie = (folder("current") / "movie.mov").u8string();
        std::ofstream(fs::u8path(movie), std::ios::binary) << Movie::document(Movie::videoTrack());
    }

    static std::string hostProgramName() { return std::string("QelLogSearchHost") + QEL_EXECUTABLE_SUFFIX; }

    fs::path folder(const std::string& name) const { return fs::u8path(layout.path(name)); }

    static void copy(const fs::path& file, const fs::path& intoFolder)
    {
        fs::copy_file(file, intoFolder / file.filename(), fs::copy_options::overwrite_existing);
    }

    // Runs the host program with copies of the announcing library in the
    // planted folders only; returns its standard error.
    std::string runCase(const SearchCase& search)
    {
        const fs::path announcing = fs::u8path(Host::PluginModule::programFolder()) / "announcing"
                                   / fs::path(standardLoggingLibraryName());
        for (const char* name : kFolders)
            fs::remove(folder(name) / announcing.filename());
        for (const std::string& name : search.planted)
            copy(announcing, folder(name));
        std::vector<std::string> entries;
        for (const std::string& name : search.libraryPath)
            entries.push_back(name.empty() ? name : folder(name).u8string());
        const std::string errorFile = layout.path("stderr.txt");
        const int exitCode = runIn(folder("current").u8string(), libraryPathText(entries),
                                   {(folder("host") / hostProgramName()).u8string(), folder("plugin").u8string(), movie},
                                   errorFile);
        std::ifstream in(fs::u8path(errorFile), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_EQ(exitCode, 0) << text.str();
        return text.str();
    }

    TempFolder layout;
    std::string movie;
};

// Only the copy that the search may take runs, and it is the one bound:
// the plug-in's first line reaches it.
TEST_F(LibrarySearch, TakesTheLoggingLibraryOnlyFromWhereItsMakerInstallsIt)
{
    for (const SearchCase& search : librarySearchCases()) {
        SCOPED_TRACE(search.what);
        const std::string errorText = runCase(search);
        const std::vector<std::string> expected = search.loaded.empty() ? std::vector<std::string>()
                                                                         : std::vector<std::string>{search.loaded};
        EXPECT_EQ(announcedFolders(errorText), expected) << errorText;
        EXPECT_EQ(errorText.find("Qel::ContainerQuickTime::open") != std::string::npos, !search.loaded.empty())
            << errorText;
    }
}

} // namespace
} // namespace Qel::Testing
