// The runtime's tests reach QuickTime.qts exactly as the plug-in does:
// through the plug-in's stubs and loader. The runtime stays started for the
// whole program, as it does in a host. Movies are synthetic documents
// written to a folder of the fixture's own.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "MovieFixture.h"
#include "quicktime/QtExportSource.h"
#include "quicktime/QtLoader.h"
#include "quicktime/QtOperations.h"
#include "support/Platform.h"

namespace Qel::Testing {

class RuntimeSession : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
#if defined(_WIN32)
        // The loader finds a QuickTime.qts that is already loaded first.
        static Platform::ModuleHandle runtime = Platform::loadModule("QuickTime.qts");
        ASSERT_NE(runtime, nullptr);
#endif
        ASSERT_EQ(QtLoaderInit(64), 0);
        ASSERT_EQ(QtMoviesStart(), 0);
    }

    void TearDown() override
    {
        if (movie != nullptr)
            QtMovieDispose(movie);
    }

    // A file spec of a path, and the status of making it.
    static QtStatus specOf(const std::string& path, QtFileSpec& spec)
    {
        unsigned char counted[256] = {uint8_t(path.size())};
        std::memcpy(counted + 1, path.data(), path.size());
        return QtFileSpecMake(0, 0, counted, &spec);
    }

    // Writes the document and loads it as the plug-in does; the movie is
    // disposed after the test.
    QtStatus load(const std::string& document)
    {
        QtFileSpec spec{};
        specOf(files.write("movie.json", document), spec);
        int16_t fileRef = 0;
        if (QtStatus status = QtMovieFileOpen(&spec, &fileRef, 1))
            return status;
        QtStatus status = QtMovieLoad(&movie, fileRef, nullptr, nullptr, 0x0C1F, nullptr);
        QtMovieFileClose(fileRef);
        return status;
    }

    QtTrack track(int32_t index) const { return QtMovieTrack(movie, index); }

    MovieFixture files;
    QtMovie movie = nullptr;
};

} // namespace Qel::Testing
