// qelhost thumbs MOVIE -o SHEET.png|.jpg [-y|-n] [--count N] [--width W]: N
// pictures at evenly spaced times, laid out as a contact sheet in one PNG
// or JPEG file.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <memory>
#include <utility>
#include <vector>

#include "commands/CommandLine.h"
#include "movie/HeldChunk.h"
#include "movie/MovieSession.h"
#include "movie/OpenStreams.h"
#include "output/JpegWriter.h"
#include "output/OutputFile.h"
#include "output/Picture.h"
#include "output/PngWriter.h"
#include "platform/Interruption.h"
#include "report/CommandError.h"
#include "report/Counted.h"
#include "report/Progress.h"
#include "plugin/ResultCodes.h"

namespace Qel::Cli {

namespace {

const char kAbout[] =
    "Takes N pictures of the video stream at evenly spaced times (the middle\n"
    "of N equal parts of the movie), the frame showing at each, and lays\n"
    "them out left to right, top to bottom, on one contact sheet: PNG, or\n"
    "JPEG when its name ends in .jpg. The pictures between two sync samples\n"
    "are taken in one pass. Missing folders of SHEET are made.";

struct ThumbsSettings {
    std::string movie;
    std::string sheet;
    int32_t count = 12;
    int32_t cellWidth = 160;
    bool overwrite = false;
    StreamChoice streams;
};

constexpr int32_t kGutter = 4;
constexpr uint8_t kBackground = 0x20;

struct Thumbnail {
    uint32_t wantedMs;
    uint32_t frameMs;
};

// The sheet, filled cell by cell as the pictures are taken: only the sheet
// and the picture in hand are held, whatever the count.
class ContactSheet {
public:
    ContactSheet(int32_t count, int32_t cellWidth, int32_t cellHeight)
        : columns(int32_t(std::ceil(std::sqrt(double(count))))), cellWidth(cellWidth), cellHeight(cellHeight),
          sheet(kGutter + columns * (cellWidth + kGutter),
                kGutter + (count + columns - 1) / columns * (cellHeight + kGutter), 3, kBackground)
    {
    }

    // Left to right, top to bottom.
    void place(int32_t index, const Picture& picture)
    {
        const Picture cell = scalePicture(picture, cellWidth, cellHeight);
        const int32_t left = kGutter + (index % columns) * (cellWidth + kGutter);
        const int32_t top = kGutter + (index / columns) * (cellHeight + kGutter);
        for (int32_t y = 0; y < cellHeight; ++y)
            std::copy(cell.at(0, y), cell.at(0, y) + size_t(cellWidth) * 3, sheet.at(left, top + y));
    }

    const Picture& picture() const { return sheet; }

private:
    const int32_t columns;
    const int32_t cellWidth;
    const int32_t cellHeight;
    Picture sheet;
};

// Takes the pictures showing at ascending times in one pass over the
// stream: it seeks only when a sync sample lies beyond the frames already
// read, so each frame is decoded at most once and the cost grows with the
// movie (or the count), never with the count times the distance between
// sync samples.
class PictureTaker {
public:
    PictureTaker(StreamInterface& stream, const StreamDescription& description, Progress& progress)
        : stream(stream), description(description), progress(progress),
          needed(frameBytes(description.pixelFormat, description.width, description.height))
    {
    }

    // The frame showing at `wanted`: its start time and its picture.
    std::pair<uint32_t, Picture> take(uint32_t wanted)
    {
        if (!(read && lastStart <= wanted && wanted < lastEnd) && !ended) {
            if (!read || syncPointAfterPosition(wanted))
                seek(wanted);
            readUntil(wanted);
        }
        if (!read)
            throw CommandError(kExitFailed, "the video stream has no frame at " + std::to_string(wanted) + " ms");
        return {lastStart,
                frameToPicture(last.data(), description.pixelFormat, description.width, description.height, false)};
    }

private:
    // Whether the sync sample at or before `wanted` lies beyond the frames
    // read, so that seeking there saves decoding the frames in between.
    bool syncPointAfterPosition(uint32_t wanted)
    {
        uint32_t sync = 0;
        return stream.getSyncPoint(1000, wanted, &sync) == kResultSuccess && sync > lastEnd;
    }

    void seek(uint32_t wanted)
    {
        uint32_t reached = 0;
        if (stream.seekStream(wanted, &reached, 0) != kResultSuccess)
            throw CommandError(kExitFailed, "the plug-in cannot seek the video to " + std::to_string(wanted) + " ms");
        ended = false;
    }

    // Reads forward until a frame covers the time or the stream ends; the
    // last frame read is kept.
    void readUntil(uint32_t wanted)
    {
        while (!ended && !(read && lastEnd > wanted)) {
            MediaChunk* received = nullptr;
            const int32_t status = stream.readStream(&received);
            HeldChunk chunk(received);
            if (status != kResultSuccess)
                throw CommandError(kExitFailed, "the video stream failed near " + std::to_string(wanted) +
                                                    " ms: " + resultCodeText(status));
            if (!chunk) {
                ended = true;
                break;
            }
            if (chunk.videoBytes() < needed)
                throw CommandError(kExitFailed, "the video stream delivered a short frame");
            last.assign(chunk.bytes(), chunk.bytes() + needed);
            lastStart = chunk.startTime();
            lastEnd = chunk.endTime();
            read = true;
            ended = stream.isEndOfStream();
            progress.update(lastEnd);
        }
    }

    StreamInterface& stream;
    const StreamDescription& description;
    Progress& progress;
    const size_t needed;
    std::vector<uint8_t> last;  // the bytes of the last frame read
    uint32_t lastStart = 0;
    uint32_t lastEnd = 0;
    bool read = false;
    bool ended = false;
};

enum class SheetKind { Png, Jpeg };

// The sheet's kind, from its extension (PNG on standard output); the build
// must be able to write it.
SheetKind sheetKind(const std::string& sheetPath)
{
    std::string extension = std::filesystem::u8path(sheetPath).extension().u8string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (extension == ".png" || isStandardOutput(sheetPath))
        return SheetKind::Png;
    if (extension == ".jpg" || extension == ".jpeg") {
        if (!jpegAvailable())
            throw CommandError(kExitNotAvailable, "JPEG output is not available in this build");
        return SheetKind::Jpeg;
    }
    throw CommandError(kExitUsage, "the sheet's name must end in .png or .jpg: " + sheetPath);
}

// Opens the video stream with the clock and says what it shows, which must
// be a picture format qelhost can turn into pixels.
StreamDescription openVideo(StreamInterface& video, OpenStreams& streams, Host::StoppedClock& clock)
{
    const int32_t opened = streams.open(video, clock);
    if (opened != kResultSuccess)
        throw CommandError(kExitFailed, std::string("the plug-in cannot open the video stream: ") +
                                            resultCodeText(opened));
    const StreamDescription description = describeStream(video);
    if (description.pixelFormat == PixelFormat::Unknown || description.width <= 0 || description.height <= 0)
        throw CommandError(kExitFailed, "the video stream has no picture format qelhost knows");
    return description;
}

// When the picture with this index is taken: the middle of its part of
// the movie, cut into `count` equal parts.
uint32_t wantedMs(int32_t index, int32_t count, uint32_t durationMs)
{
    return uint32_t((2 * uint64_t(index) + 1) * durationMs / (2 * uint64_t(count)));
}

// Takes `count` pictures into the sheet's cells, in one pass. An
// interruption writes no sheet.
std::vector<Thumbnail> takePictures(StreamInterface& video, const StreamDescription& description, int32_t count,
                                    ContactSheet& pictures, bool showProgress)
{
    std::vector<Thumbnail> thumbnails;
    Progress progress("taking pictures", 0, wantedMs(count - 1, count, description.durationMs), showProgress);
    PictureTaker taker(video, description, progress);
    for (int32_t i = 0; i < count; ++i) {
        if (interruptionRequested())
            throw CommandError(kExitInterrupted, "interrupted; no sheet written");
        const uint32_t wanted = wantedMs(i, count, description.durationMs);
        const auto [frameMs, picture] = taker.take(wanted);
        pictures.place(i, picture);
        thumbnails.push_back({wanted, frameMs});
    }
    return thumbnails;
}

// The sheet's size and source, then when each picture was wanted and
// which frame showed.
void reportSheet(std::ostream& report, const std::string& sheetName, int32_t count, int32_t cellWidth,
                 int32_t cellHeight, const StreamDescription& description, const std::vector<Thumbnail>& thumbnails)
{
    report << sheetName << ": " << counted(uint64_t(count), "picture") << " of " << cellWidth << "x" << cellHeight
           << " from " << description.formatText << " " << description.width << "x" << description.height << "\n";
    for (const Thumbnail& thumbnail : thumbnails) {
        char line[80];
        std::snprintf(line, sizeof line, "  at %.3f s: frame of %.3f s\n", thumbnail.wantedMs / 1000.0,
                      thumbnail.frameMs / 1000.0);
        report << line;
    }
}

int runThumbs(const ThumbsSettings& settings, Verbosity verbosity)
{
    const std::string& sheetPath = settings.sheet;
    const int32_t count = settings.count;
    const int32_t cellWidth = settings.cellWidth;
    const std::string& moviePath = settings.movie;
    // The sheet is checked first (it must not be the movie, an existing file
    // without -y, or a folder; its name gives its format), then made before
    // any decoding, so that a sheet that may not be written costs nothing.
    const OutputRules rules = outputRules(settings.overwrite, moviePath);
    checkOutputPath(sheetPath, rules);
    const SheetKind kind = sheetKind(sheetPath);

    MovieSession session;
    session.open(moviePath);
    makeOutputFolder(std::filesystem::u8path(sheetPath).parent_path().u8string());
    OutputFile sheet(sheetPath, rules);
    StreamInterface* video = session.chosenStream(kVideoKind, settings.streams.videoNumber);
    if (!video)
        throw CommandError(kExitFailed, "the plug-in activated no video stream in " + moviePath);
    Host::StoppedClock clock;
    OpenStreams streams;
    const StreamDescription description = openVideo(*video, streams, clock);

    const int32_t cellHeight =
        std::max<int32_t>(1, int32_t(std::lround(double(cellWidth) * description.height / description.width)));
    ContactSheet pictures(count, cellWidth, cellHeight);
    const std::vector<Thumbnail> thumbnails =
        takePictures(*video, description, count, pictures, verbosity != Verbosity::Quiet);
    if (kind == SheetKind::Jpeg)
        writeJpeg(sheet, pictures.picture());
    else
        writePng(sheet, pictures.picture());
    sheet.commit();

    if (verbosity != Verbosity::Quiet)
        reportSheet(sheet.toStandardOutput() ? std::cerr : std::cout, sheet.name(), count, cellWidth, cellHeight,
                    description, thumbnails);
    return kExitSuccess;
}

} // namespace

Command addThumbsCommand(CLI::App& qelhost, const Verbosity& verbosity)
{
    auto settings = std::make_shared<ThumbsSettings>();
    CLI::App* app = addMovieCommand(qelhost, "thumbs", "a contact sheet of evenly spaced pictures, as one PNG or JPEG",
                                    kAbout, settings->movie);
    app->add_option("-o,--output", settings->sheet, "the sheet to write (- for standard output, as PNG)")
        ->required()
        ->type_name("SHEET.png|.jpg");
    addOverwriteChoice(*app, settings->overwrite);
    // The sheet is filled as the pictures are taken, so the count costs
    // time and the sheet's size, not a picture's memory each.
    app->add_option("--count", settings->count, "number of pictures, 1 to 400")
        ->capture_default_str()
        ->type_name("N")
        ->check(CLI::Range(1, 400).description(""));
    app->add_option("--width", settings->cellWidth, "width of each picture in pixels, 16 to 4096")
        ->capture_default_str()
        ->type_name("W")
        ->check(CLI::Range(16, 4096).description(""));
    addStreamChoice(*app, settings->streams, false);
    return {app, [settings, &verbosity] { return runThumbs(*settings, verbosity); }};
}

} // namespace Qel::Cli
