// Fixture for running qelhost on movies written into a private folder.
#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MovieFixture.h"
#include "QelhostRun.h"
#include "synthetic/SyntheticPattern.h"

namespace Qel::Testing {

class QelhostTest : public ::testing::Test {
protected:
    QelhostRun run(const std::vector<std::string>& arguments, const std::string& program = qelhostPath())
    {
        return runProgram(program, arguments, scratch.path(""));
    }
    std::string write(const std::string& name, const std::string& document) { return movies.write(name, document); }
    std::string output(const std::string& name) const { return movies.path(name); }

    // A one-second movie (time scale 600) of ten 100 ms pictures of the
    // given compression and a six-channel sound track.
    static std::string pictureAndSound(const std::string& compression, int width = 64, int height = 48,
                                       int syncEvery = 1)
    {
        return Movie::document(pictureAndSoundTracks(compression, width, height, syncEvery), "null", 600, 600);
    }
    // The tracks of that movie, for a document with more of them.
    static std::string pictureAndSoundTracks(const std::string& compression, int width = 64, int height = 48,
                                             int syncEvery = 1)
    {
        const std::string video = R"({"type": "vide", "video": {"compression": )" + compression +
                                  R"(, "width": )" + std::to_string(width) + R"(, "height": )" +
                                  std::to_string(height) + R"(}, "samples": {"count": 10, "duration": 60, "syncEvery": )" +
                                  std::to_string(syncEvery) + "}}";
        return video + ", " + Movie::soundTrack(6);
    }

    MovieFixture movies;
    TempFolder scratch;
};

// The planar Y4M bytes of synthetic picture `sample`: full-size luma, then
// U and V with one sample per 2 x 1 (4:2:2) or 2 x 2 (4:2:0) block.
inline std::vector<uint8_t> expectedPlanar(int width, int height, int sample, bool halfHeightChroma)
{
    using namespace QelRuntime::SyntheticPattern;
    std::vector<uint8_t> planes;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            planes.push_back(lumaAt(x, y, sample));
    const int chromaRows = halfHeightChroma ? height / 2 : height;
    const int rowStep = halfHeightChroma ? 2 : 1;
    for (auto component : {chromaUAt, chromaVAt})
        for (int y = 0; y < chromaRows; ++y)
            for (int x = 0; x < width / 2; ++x)
                planes.push_back(component(2 * x, rowStep * y, sample));
    return planes;
}

} // namespace Qel::Testing
