// Drives the whole road over a synthetic movie and, where the runtime reads
// real media, a small real movie made with the ffmpeg command; every stream
// is read to its end, sought, read backwards and closed. Meant to run under
// valgrind (the Valgrind.Road test): it exits 0 when every road opened and
// delivered chunks, so that a broken road cannot pass as leak-free.
#include <cstdio>
#include <string>

#include "MovieFixture.h"
#include "MovieRoad.h"
#include "plugin/ResultCodes.h"
#if QEL_RELIABILITY_REAL_FILES
#include "TestMedia.h"
#endif

namespace {

using Qel::Reliability::RoadOutcome;

// Read all, seek to 1 s, read some, read backwards to the start, rewind,
// re-open every stream, read each once more.
const std::string kScript = Qel::Reliability::decodeAllScript() + "\x42\x12\x40\x10\x01\x43\x07\x17\x0E";

bool drive(const char* what, const std::string& path)
{
    const RoadOutcome outcome = Qel::Reliability::runRoad(
        path, reinterpret_cast<const uint8_t*>(kScript.data()), kScript.size());
    std::printf("%s: open %d, title %d, %zu streams, %zu chunks, %llu bytes\n", what, outcome.openResult,
                outcome.titleResult, outcome.streams, outcome.chunks,
                static_cast<unsigned long long>(outcome.bytes));
    return outcome.openResult == Qel::kResultSuccess && outcome.chunks > 0;
}

} // namespace

int main()
{
    using namespace Qel::Testing;
    MovieFixture movies;
    bool good = drive("synthetic", movies.write("road.json", Movie::document(Movie::videoTrack("vide", 20) + "," +
                                                                              Movie::soundTrack(6))));
#if QEL_RELIABILITY_REAL_FILES
    const std::string real = testMedia("road.mp4", "-f lavfi -i testsrc2=size=160x120:rate=25:duration=1 "
                                                   "-f lavfi -i sine=frequency=440:duration=1 "
                                                   "-c:v libx264 -g 10 -pix_fmt yuv420p -c:a aac -ac 2");
    good = !real.empty() && drive("real", real) && good;
#endif
    return good ? 0 : 1;
}
