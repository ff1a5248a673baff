// Synthetic movies for the stand-in runtime (runtime/README.md describes the
// format), written into a folder of their own that goes with the fixture.
// The pieces are JSON texts so that a test states exactly what its movie
// holds; the defaults make small, valid tracks.
#pragma once

#include <string>

#include "TempFolder.h"

namespace Qel::Testing::Movie {

// A 'vide' track (or another video media type) of count samples of 60
// units, every one a sync sample.
inline std::string videoTrack(const std::string& type = "vide", int count = 10)
{
    return R"({"type": ")" + type +
           R"(", "video": {"compression": "yuvs", "width": 64, "height": 48},)"
           R"( "samples": {"count": )" +
           std::to_string(count) + R"(, "duration": 60}})";
}

// A 'soun' track of one second of 16-bit stereo at 44100 Hz.
inline std::string soundTrack(int channels = 2)
{
    return R"({"type": "soun", "audio": {"sampleRate": 44100, "channels": )" + std::to_string(channels) +
           R"(, "frames": 44100}})";
}

// A track whose media type is code (a JSON string of four characters, a
// number, or null for a media that reports no code).
inline std::string otherTrack(const std::string& code)
{
    return R"({"type": )" + code + "}";
}

// The whole document. userData is a JSON object or "null" (no user data);
// tracks and faults are comma-separated JSON objects.
inline std::string document(const std::string& tracks, const std::string& userData = "null",
                            int timeScale = 600, int duration = 6000, const std::string& faults = "")
{
    return R"({"qelSyntheticMovie": 1, "timeScale": )" + std::to_string(timeScale) +
           R"(, "duration": )" + std::to_string(duration) + R"(, "userData": )" + userData +
           R"(, "tracks": [)" + tracks + R"(], "faults": [)" + faults + "]}";
}

} // namespace Qel::Testing::Movie

namespace Qel::Testing {

class MovieFixture {
public:
    // Writes a movie file and returns its path.
    std::string write(const std::string& name, const std::string& document) const
    {
        return folder.write(name, document);
    }
    std::string path(const std::string& name) const { return folder.path(name); }

private:
    TempFolder folder;
};

} // namespace Qel::Testing
