// Everything a host or a file can get wrong, one table: each location or
// file goes the whole road (open, title, every stream opened, a few reads
// and seeks, close, last reference dropped) and must end in its documented
// result. Leaks are caught by the sanitizer build and the valgrind run of
// the same road.
#include <fstream>
#include <functional>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "HostLocation.h"
#include "MovieFixture.h"
#include "MovieRoad.h"
#include "ReliabilitySupport.h"
#include "TempFolder.h"
#include "plugin/ResultCodes.h"

namespace Qel::Reliability {
namespace {

using Testing::TempFolder;
namespace Movie = Testing::Movie;

const std::string kValidMovie = Movie::document(Movie::videoTrack() + "," + Movie::soundTrack());

// Read everything; seek to 500 ms and read; read backwards; reopen a
// stream; read every stream; rewind and read.
const std::string kScript = decodeAllScript() + std::string("\x22\x40\x44\x40\x07\x0E\x13\x10\x0E");

constexpr int32_t kSameOnWindows = 1;  // no result code is positive

struct BadInput {
    const char* name;
    // The location the host hands over, made in the case's own folder.
    std::function<Host::HostLocation(TempFolder&)> location;
    int32_t openResult;
    size_t streams = 0;  // handed over when the open succeeds
    size_t opened = 0;   // of those, opened by openStream
    // Where Windows' URL conversion decides differently (remote hosts become
    // UNC paths, escapes decode byte by byte into characters of their own).
    int32_t windowsOpenResult = kSameOnWindows;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BadInput& input, std::ostream* out)
{
    *out << input.name;
}

int32_t expectedOpenResult(const BadInput& input)
{
#ifdef _WIN32
    if (input.windowsOpenResult != kSameOnWindows)
        return input.windowsOpenResult;
#endif
    return input.openResult;
}

Host::HostLocation url(const std::string& text)
{
    return Host::HostLocation::fromUrl(text);
}

Host::HostLocation fileOf(TempFolder& movies, const std::string& name, const std::string& content)
{
    return Host::HostLocation::fromPath(movies.write(name, content));
}

Host::HostLocation movieAtPathOfLength(TempFolder& movies, size_t bytes, const std::string& content)
{
    const std::string path = pathOfLength(movies, bytes, ".mov");
    std::ofstream(path, std::ios::binary) << content;
    return Host::HostLocation::fromPath(path);
}

// The location of a file in the fixture's folder whose name ends in the
// given escaped or raw text.
Host::HostLocation nameEndingIn(TempFolder& movies, const std::string& tail)
{
    return url(Host::fileUrlFromPath(movies.path("x")) + tail);
}

std::string claimedFrames(int count)
{
    return Movie::document(R"({"type": "vide", "video": {"compression": "jpeg", "width": 64, "height": 48},)"
                           R"( "samples": {"count": )" + std::to_string(count) + R"(, "duration": 1}})",
                           "null", 600, count);
}

const BadInput kBadInputs[] = {
    {"WebUrl", [](TempFolder&) { return url("http://example.com/movie.mov"); }, kResultNotALocalPath},
    {"RemoteFileHost", [](TempFolder&) { return url("file://server/share/movie.mov"); }, kResultNotALocalPath, 0, 0,
     kResultFailure},
    {"RelativeText", [](TempFolder&) { return url("movie.mov"); }, kResultNotALocalPath},
    {"EmptyText", [](TempFolder&) { return url(""); }, kResultNotALocalPath},
    {"NullTextData", [](TempFolder&) { return Host::HostLocation::withEmptyText(); }, kResultNotALocalPath},
    {"NoText", [](TempFolder&) { return Host::HostLocation::withoutText(); }, kResultNotALocalPath},
    {"PathOf255Bytes", [](TempFolder& m) { return movieAtPathOfLength(m, 255, kValidMovie); }, kResultSuccess, 2, 2},
    {"PathOf256Bytes", [](TempFolder& m) { return movieAtPathOfLength(m, 256, kValidMovie); }, kResultFailure},
    {"PathOf259Units", [](TempFolder& m) { return movieAtPathOfLength(m, 259, kValidMovie); }, kResultFailure},
    {"PathOf260Units", [](TempFolder& m) { return movieAtPathOfLength(m, 260, kValidMovie); },
     kResultNotALocalPath},
    {"PathOf261Units", [](TempFolder& m) { return movieAtPathOfLength(m, 261, kValidMovie); },
     kResultNotALocalPath},
    // 120 units but 240 bytes more: fits the URL conversion, not the file spec.
    {"FewUnitsManyBytes",
     [](TempFolder& m) {
         std::string name;
         for (int i = 0; i < 120; ++i)
             name += "%C3%A9";
         return nameEndingIn(m, name);
     },
     kResultFailure, 0, 0, kResultNotALocalPath},
    {"EscapedMalformedUtf8", [](TempFolder& m) { return nameEndingIn(m, "%FF%FE.mov"); }, kResultNotALocalPath, 0,
     0, kResultFailure},
    {"RawMalformedUtf8", [](TempFolder& m) { return nameEndingIn(m, "\xFF\xFE.mov"); }, kResultNotALocalPath},
    {"EncodedLoneSurrogate", [](TempFolder& m) { return nameEndingIn(m, "\xED\xA0\x80.mov"); },
     kResultNotALocalPath, 0, 0, kResultFailure},
    // Escapes decode byte-wise and leniently: this names a file that is absent.
    {"EscapedLoneSurrogate", [](TempFolder& m) { return nameEndingIn(m, "%ED%A0%80.mov"); }, kResultFailure},
    {"EscapedNul", [](TempFolder& m) { return nameEndingIn(m, "%00.mov"); }, kResultNotALocalPath, 0, 0,
     kResultFailure},
    {"MissingFile", [](TempFolder& m) { return Host::HostLocation::fromPath(m.path("absent.mov")); },
     kResultFailure},
    {"Directory", [](TempFolder& m) { return Host::HostLocation::fromPath(m.path(".")); },
     kResultFailure},
    {"ZeroByteFile", [](TempFolder& m) { return fileOf(m, "empty.mov", ""); }, kResultFailure},
    {"TruncatedMovie", [](TempFolder& m) { return fileOf(m, "cut.mov", kValidMovie.substr(0, 60)); },
     kResultFailure},
    {"RandomBytesNamedMov",
     [](TempFolder& m) {
         std::string noise;
         for (int i = 0; i < 4096; ++i)
             noise.push_back(char((i * 7919 + 13) % 251));
         return fileOf(m, "noise.mov", noise);
     },
     kResultFailure},
    {"ZeroTimeScale",
     [](TempFolder& m) { return fileOf(m, "scale.json", Movie::document(Movie::videoTrack(), "null", 0)); },
     kResultFailure},
    // A picture of no pixels: the stream is handed over but refuses to open.
    {"ZeroWidthAndHeight",
     [](TempFolder& m) {
         return fileOf(m, "flat.json",
                       Movie::document(R"({"type": "vide", "video": {"compression": "yuvs", "width": 0,)"
                                       R"( "height": 0}, "samples": {"count": 5, "duration": 60}})"));
     },
     kResultSuccess, 1, 0},
    // The runtime keeps a sample table in memory and refuses more than a
    // million samples; the most it accepts still opens and reads in bounds.
    {"BillionClaimedFrames", [](TempFolder& m) { return fileOf(m, "billion.json", claimedFrames(1000000000)); },
     kResultFailure},
    {"MillionClaimedFrames", [](TempFolder& m) { return fileOf(m, "million.json", claimedFrames(1000000)); },
     kResultSuccess, 1, 1},
};

class BadInputTest : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputTest, EndsInItsDocumentedResult)
{
    TempFolder movies;
    const Host::HostLocation location = GetParam().location(movies);
    const RoadOutcome outcome =
        runRoadAt(location, reinterpret_cast<const uint8_t*>(kScript.data()), kScript.size());
    ASSERT_TRUE(outcome.moduleLoaded);
    EXPECT_EQ(outcome.openResult, expectedOpenResult(GetParam())) << resultCodeText(outcome.openResult);
    if (expectedOpenResult(GetParam()) == kResultSuccess) {
        EXPECT_EQ(outcome.titleResult, kResultSuccess);
        EXPECT_EQ(outcome.streams, GetParam().streams);
        EXPECT_EQ(outcome.streamsOpened, GetParam().opened);
    } else {
        EXPECT_EQ(outcome.titleResult, kNotTried);
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, BadInputTest, ::testing::ValuesIn(kBadInputs),
                         [](const ::testing::TestParamInfo<BadInput>& info) { return info.param.name; });

} // namespace
} // namespace Qel::Reliability
