// qelhost thumbs MOVIE -o SHEET.png [--count N] [--width W]: N pictures at
// evenly spaced times, laid out as a contact sheet in one PNG file.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <vector>

#include "CommandError.h"
#include "Commands.h"
#include "HeldChunk.h"
#include "Interruption.h"
#include "MovieSession.h"
#include "OpenStreams.h"
#include "Options.h"
#include "OutputFile.h"
#include "Picture.h"
#include "PngWriter.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

const char kHelp[] =
    "usage: qelhost thumbs MOVIE -o SHEET.png [-y|-n] [--count N] [--width W]\n"
    "Seeks the activated video stream to N evenly spaced times (the middle\n"
    "of N equal parts of the movie), reads the frame showing at each, and\n"
    "lays them out left to right, top to bottom, on one PNG contact sheet.\n"
    "  -o SHEET.png  the sheet to write (required)\n"
    "  -y            replace an existing sheet\n"
    "  -n            never replace an existing file (the default)\n"
    "  --count N     number of pictures, 1 to 100 (default 12)\n"
    "  --width W     width of each picture in pixels, 16 to 4096 (default 160)\n";

constexpr int32_t kGutter = 4;
constexpr uint8_t kBackground = 0x20;
// Reading forward from a sync sample to the wanted time never takes more.
constexpr int kMostFramesPerPicture = 10000;

struct Thumbnail {
    uint32_t wantedMs;
    uint32_t frameMs;
    Picture picture;
};

// The frame showing at `wanted`: seek to the sync sample at or before it,
// then read forward until a frame covers the time (or the stream ends).
Thumbnail frameAt(StreamInterface& stream, const StreamDescription& description, uint32_t wanted)
{
    uint32_t reached = 0;
    if (stream.seekStream(wanted, &reached, 0) != kResultSuccess)
        throw CommandError(kExitFailed, "the plug-in cannot seek the video to " + std::to_string(wanted) + " ms");
    const size_t needed = frameBytes(description.pixelFormat, description.width, description.height);
    Thumbnail thumbnail{wanted, 0, {}};
    for (int read = 0; read < kMostFramesPerPicture; ++read) {
        MediaChunk* received = nullptr;
        const int32_t status = stream.readStream(&received);
        HeldChunk chunk(received);
        if (status != kResultSuccess)
            throw CommandError(kExitFailed, "the video stream failed near " + std::to_string(wanted) + " ms: " +
                                                resultCodeText(status));
        if (!chunk)
            break;
        if (chunk.videoBytes() < needed)
            throw CommandError(kExitFailed, "the video stream delivered a short frame");
        thumbnail.frameMs = chunk.startTime();
        thumbnail.picture = frameToPicture(chunk.bytes(), description.pixelFormat, description.width,
                                           description.height, false);
        if (chunk.endTime() > wanted || stream.isEndOfStream())
            break;
    }
    if (thumbnail.picture.pixels.empty())
        throw CommandError(kExitFailed, "the video stream has no frame at " + std::to_string(wanted) + " ms");
    return thumbnail;
}

Picture layOut(const std::vector<Thumbnail>& thumbnails, int32_t cellWidth, int32_t cellHeight)
{
    const int32_t count = int32_t(thumbnails.size());
    const int32_t columns = int32_t(std::ceil(std::sqrt(double(count))));
    const int32_t rows = (count + columns - 1) / columns;
    Picture sheet(kGutter + columns * (cellWidth + kGutter), kGutter + rows * (cellHeight + kGutter), 3,
                  kBackground);
    for (int32_t i = 0; i < count; ++i) {
        const Picture cell = scalePicture(thumbnails[size_t(i)].picture, cellWidth, cellHeight);
        const int32_t left = kGutter + (i % columns) * (cellWidth + kGutter);
        const int32_t top = kGutter + (i / columns) * (cellHeight + kGutter);
        for (int32_t y = 0; y < cellHeight; ++y)
            std::copy(cell.at(0, y), cell.at(0, y) + size_t(cellWidth) * 3, sheet.at(left, top + y));
    }
    return sheet;
}

} // namespace

int runThumbs(const Arguments& arguments)
{
    Options options(arguments, {{"-o", true}, {"-y", false}, {"-n", false}, {"--count", true}, {"--width", true}});
    if (options.helpRequested()) {
        std::cout << kHelp;
        return kExitSuccess;
    }
    const std::string sheetPath = options.text("-o", "");
    if (sheetPath.empty())
        throw CommandError(kExitUsage, "no sheet given (-o SHEET.png)");
    const int32_t count = int32_t(options.integer("--count", 12, 1, 100));
    const int32_t cellWidth = int32_t(options.integer("--width", 160, 16, 4096));
    const std::string& moviePath = options.movie();
    if (!pngAvailable())
        throw CommandError(kExitNotAvailable, "PNG output is not available in this build");

    if (options.has("-y") && options.has("-n"))
        throw CommandError(kExitUsage, "-y and -n contradict each other");

    MovieSession session;
    session.open(moviePath);
    // Made before any decoding, so that a sheet that may not be written
    // costs nothing.
    OutputFile sheet(sheetPath, outputRules(options.has("-y"), moviePath));
    StreamInterface* video = session.activatedStream(kVideoKind);
    if (!video)
        throw CommandError(kExitFailed, "the plug-in activated no video stream in " + moviePath);
    Host::StoppedClock clock;
    OpenStreams streams;
    const int32_t opened = streams.open(*video, clock);
    if (opened != kResultSuccess)
        throw CommandError(kExitFailed, std::string("the plug-in cannot open the video stream: ") +
                                            resultCodeText(opened));
    const StreamDescription description = describeStream(*video);
    if (description.pixelFormat == PixelFormat::Unknown || description.width <= 0 || description.height <= 0)
        throw CommandError(kExitFailed, "the video stream has no picture format qelhost knows");

    std::vector<Thumbnail> thumbnails;
    for (int32_t i = 0; i < count; ++i) {
        if (interruptionRequested())
            throw CommandError(kExitInterrupted, "interrupted; no sheet written");
        const uint32_t wanted = uint32_t((2 * uint64_t(i) + 1) * description.durationMs / (2 * uint64_t(count)));
        thumbnails.push_back(frameAt(*video, description, wanted));
    }
    const int32_t cellHeight =
        std::max<int32_t>(1, int32_t(std::lround(double(cellWidth) * description.height / description.width)));
    writePng(sheet, layOut(thumbnails, cellWidth, cellHeight));
    sheet.commit();

    std::ostream& report = sheet.toStandardOutput() ? std::cerr : std::cout;
    report << sheet.name() << ": " << count << " pictures of " << cellWidth << "x" << cellHeight << " from "
              << description.formatText << " " << description.width << "x" << description.height << "\n";
    for (const Thumbnail& thumbnail : thumbnails) {
        char line[80];
        std::snprintf(line, sizeof line, "  at %.3f s: frame of %.3f s\n", thumbnail.wantedMs / 1000.0,
                      thumbnail.frameMs / 1000.0);
        report << line;
    }
    return kExitSuccess;
}

} // namespace Qel::Cli
