#include <vector>

#include "RuntimeSession.h"
#include "ScopedRuntimeModes.h"
#include "synthetic/SyntheticPattern.h"

namespace Qel::Testing {
namespace {

using namespace QelRuntime::SyntheticPattern;

constexpr QtOSType kVide = fourCc('v', 'i', 'd', 'e');

std::string videoMovie(const std::string& video, const std::string& faults = "", const std::string& extra = "")
{
    return Movie::document(R"({"type": "vide", "video": )" + video +
                               R"(, "samples": {"count": 6, "duration": 100, "syncEvery": 3})" + extra + "}",
                           "null", 600, 600, faults);
}

class VideoExport : public RuntimeSession {
protected:
    void TearDown() override
    {
        if (dataFunction != nullptr) {
            EXPECT_EQ(QtExportSourceDispose(exporter, propertyFunction, dataFunction, context), 0);
        }
        if (exporter != nullptr) {
            EXPECT_EQ(QtComponentClose(exporter), 0);
        }
        RuntimeSession::TearDown();
    }

    void openExporter(int32_t expectedScale = 600)
    {
        QtComponentDescription description{fourCc('s', 'p', 'i', 't'), fourCc('M', 'o', 'o', 'V'),
                                           fourCc('a', 'p', 'p', 'l'), 0x88000, 0x88000};
        QtComponent component = QtComponentFind(nullptr, &description);
        ASSERT_NE(component, nullptr);
        EXPECT_EQ(QtComponentFind(component, &description), nullptr);
        ASSERT_EQ(QtComponentOpen(component, &exporter), 0);
        int32_t timeScale = 0;
        ASSERT_EQ(QtExportSourceCreate(exporter, kVide, &timeScale, movie, track(1), 0, QtMovieDuration(movie),
                                       &propertyFunction, &dataFunction, &context),
                  0);
        EXPECT_EQ(timeScale, expectedScale);
    }

    QtStatus fetch(QtTimeValue time, int32_t scale = 600)
    {
        request = QtSampleRequest{};
        request.recordSize = 56;
        request.trackId = 1;
        request.sourceTimeScale = scale;
        request.requestedTime = time;
        request.requestedSampleCount = 1;
        request.durationPerSample = 1;
        return dataFunction(context, &request);
    }

    const QtImageDescription& description() const
    {
        return *reinterpret_cast<const QtImageDescription*>(*request.description);
    }

    // Decompresses the fetched sample into fresh memory of the given format.
    std::vector<uint8_t> decompress(QtOSType format, int32_t width, int32_t height, int32_t rowBytes)
    {
        std::vector<uint8_t> memory(size_t(pictureSize(format, height, rowBytes)), kRowPaddingByte);
        QtRect bounds{0, 0, int16_t(height), int16_t(width)};
        QtSurface surface = nullptr;
        EXPECT_EQ(QtSurfaceCreate(&surface, format, &bounds, nullptr, nullptr, 0, memory.data(), rowBytes), 0);
        QtPixelMap pixels = QtSurfacePixels(surface);
        EXPECT_EQ(QtPixelsPrepare(pixels), 1);
        QtMatrix matrix{};
        QtMatrixRectMap(&matrix, &bounds, &bounds);
        QtSequence sequence = nullptr;
        EXPECT_EQ(QtDecompressStart(&sequence, request.description, request.data, request.dataSize, surface,
                                    nullptr, nullptr, &matrix, 64, nullptr, 0, 0x3FF, nullptr),
                  0);
        uint32_t outFlags = 7;
        EXPECT_EQ(QtDecompressFrame(sequence, request.data, request.dataSize, 0, &outFlags, nullptr), 0);
        EXPECT_EQ(QtDecompressStop(sequence), 0);
        QtSurfaceDispose(surface);
        EXPECT_EQ(QtPixelsPrepare(pixels), 0);
        return memory;
    }

    QtComponentInstance exporter = nullptr;
    QtExportPropertyFunction propertyFunction = nullptr;
    QtExportDataFunction dataFunction = nullptr;
    void* context = nullptr;
    QtSampleRequest request{};
};

struct ExportScaleCase {
    const char* modes;
    QtTimeValue movieScaleAnswer;  // to a request for 250 in the movie's scale
};

class VideoExportScale : public VideoExport, public ::testing::WithParamInterface<ExportScaleCase> {};

// Samples of 100 units at 600 per second are 15000 units of a 90000 media:
// the data function speaks the media's scale, and a request in another
// scale is read in the media's unless the exporter honours the request's.
TEST_P(VideoExportScale, TimesAreExchangedInTheMediaScale)
{
    ScopedRuntimeModes modes(GetParam().modes);
    ASSERT_EQ(load(videoMovie(R"({"compression": "jpeg", "width": 8, "height": 4})", "", R"(, "mediaTimeScale": 90000)")),
              0);
    openExporter(90000);
    ASSERT_EQ(fetch(45000 - 1, 90000), 0);
    EXPECT_EQ(request.actualTime, 30000);
    EXPECT_EQ(request.durationPerSample, 15000);
    ASSERT_EQ(fetch(250, 600), 0);
    EXPECT_EQ(request.actualTime, GetParam().movieScaleAnswer);
}

INSTANTIATE_TEST_SUITE_P(Modes, VideoExportScale,
                         ::testing::Values(ExportScaleCase{"exportScale=returned", 0},
                                           ExportScaleCase{"exportScale=request", 200}));

TEST_F(VideoExport, DataFunctionAnswersTheSampleCoveringTheTime)
{
    ASSERT_EQ(load(videoMovie(R"({"compression": "jpeg", "width": 8, "height": 4})", "", R"(, "seedChanges": [4])")), 0);
    openExporter();
    struct Expectation {
        QtTimeValue asked, actual;
        uint32_t flags;
    } cases[] = {{0, 0, 0}, {99, 0, 0}, {100, 100, 1}, {350, 300, 0}, {599, 500, 1}, {600, 500, 1}, {9999, 500, 1}};
    for (const Expectation& expected : cases) {
        SCOPED_TRACE(expected.asked);
        ASSERT_EQ(fetch(expected.asked), 0);
        EXPECT_EQ(request.actualTime, expected.actual);
        EXPECT_EQ(request.durationPerSample, 100);
        EXPECT_EQ(request.sampleFlags, expected.flags);
        EXPECT_EQ(request.descriptionType, kVide);
        EXPECT_EQ(request.actualSampleCount, 1);
        EXPECT_EQ(request.dataSize, 12);
        EXPECT_EQ(description().compressionType, fourCc('j', 'p', 'e', 'g'));
    }
    ASSERT_EQ(fetch(300), 0);
    int32_t firstSeed = request.descriptionSeed;
    QtHandle firstDescription = request.description;
    ASSERT_EQ(fetch(400), 0);
    EXPECT_NE(request.descriptionSeed, firstSeed);
    EXPECT_NE(request.description, firstDescription);
    EXPECT_EQ(fetch(-1), -50);
}

TEST_F(VideoExport, RawSamplesHoldThePictureInTheTrackFormatWithPadding)
{
    struct Case {
        const char* video;
        QtOSType format;
        int32_t depth, rowBytes;
    } cases[] = {
        {R"({"compression": "yuvs", "width": 8, "height": 8, "rowPadding": 5})", kYuy2, 24, 21},
        {R"({"compression": "2vuy", "width": 8, "height": 4})", kUyvy, 24, 16},
        {R"({"compression": 32, "width": 4, "height": 4, "rowPadding": 4})", kArgb, 32, 20},
        {R"({"compression": "raw ", "width": 4, "height": 8, "depth": 24, "rowPadding": 1})", kRaw, 24, 13},
        {R"({"compression": "raw ", "width": 4, "height": 4, "depth": 32})", kRaw, 32, 16},
        {R"({"compression": "YVU9", "width": 8, "height": 8, "rowPadding": 4})", kYvu9, 24, 12},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.video);
        ASSERT_EQ(load(videoMovie(test.video)), 0);
        openExporter();
        ASSERT_EQ(fetch(250), 0);
        int32_t height = description().height;
        std::vector<uint8_t> expected = expectedPicture(test.format, test.depth, description().width, height,
                                                        test.rowBytes, 2);
        EXPECT_EQ(description().dataSize, int32_t(expected.size()));
        EXPECT_EQ(std::vector<uint8_t>(request.data, request.data + request.dataSize), expected);
        TearDown();
        dataFunction = nullptr;
        exporter = nullptr;
        movie = nullptr;
    }
}

TEST_F(VideoExport, DecompressionDrawsTheSamePictureInEverySurfaceFormat)
{
    const char* sources[] = {
        R"({"compression": "jpeg", "width": 8, "height": 8})",
        R"({"compression": "raw ", "width": 8, "height": 8, "depth": 24, "rowPadding": 2})",
        R"({"compression": "YVU9", "width": 8, "height": 8, "rowPadding": 4})",
        R"({"compression": "yuvs", "width": 8, "height": 8, "rowPadding": 6})",
    };
    struct Target {
        QtOSType format;
        int32_t rowBytes;
    } targets[] = {{kYuy2, 16}, {kYuy2, 20}, {kUyvy, 18}, {kArgb, 32}, {kArgb, 40}, {kYvu9, 8}, {kYvu9, 12}};
    for (const char* source : sources) {
        SCOPED_TRACE(source);
        ASSERT_EQ(load(videoMovie(source)), 0);
        openExporter();
        ASSERT_EQ(fetch(420), 0);
        for (const Target& target : targets) {
            SCOPED_TRACE(target.rowBytes);
            std::vector<uint8_t> expected =
                expectedPicture(target.format, 32, 8, 8, target.rowBytes, 4);
            EXPECT_EQ(decompress(target.format, 8, 8, target.rowBytes), expected);
        }
        TearDown();
        dataFunction = nullptr;
        exporter = nullptr;
        movie = nullptr;
    }
}

TEST_F(VideoExport, PictureIsClippedToTheSurfaceBounds)
{
    ASSERT_EQ(load(videoMovie(R"({"compression": "jpeg", "width": 8, "height": 8})")), 0);
    openExporter();
    ASSERT_EQ(fetch(0), 0);
    // A surface one pixel smaller each way: the last row and column stay untouched.
    std::vector<uint8_t> drawn = decompress(kArgb, 7, 7, 32);
    std::vector<uint8_t> full = expectedPicture(kArgb, 32, 8, 8, 32, 0);
    for (int32_t y = 0; y < 7; ++y) {
        for (int32_t byte = 0; byte < 32; ++byte) {
            uint8_t expected = byte < 28 ? full[size_t(y * 32 + byte)] : kRowPaddingByte;
            ASSERT_EQ(drawn[size_t(y * 32 + byte)], expected) << y << " " << byte;
        }
    }
}

TEST_F(VideoExport, BadArgumentsAreRefused)
{
    ASSERT_EQ(load(videoMovie(R"({"compression": "yuvs", "width": 8, "height": 8})")), 0);
    openExporter();
    ASSERT_EQ(fetch(0), 0);
    std::vector<uint8_t> memory(256);
    QtRect bounds{0, 0, 8, 8};
    QtSurface surface = nullptr;
    EXPECT_EQ(QtSurfaceCreate(&surface, fourCc('r', 'a', 'w', ' '), &bounds, nullptr, nullptr, 0, memory.data(), 32), -50);
    EXPECT_EQ(QtSurfaceCreate(&surface, kArgb, &bounds, nullptr, nullptr, 0, memory.data(), 31), -50);
    EXPECT_EQ(QtSurfaceCreate(&surface, kArgb, &bounds, nullptr, nullptr, 0, nullptr, 32), -50);
    ASSERT_EQ(QtSurfaceCreate(&surface, kYuy2, &bounds, nullptr, nullptr, 0, memory.data(), 16), 0);

    QtSequence sequence = nullptr;
    QtHandle callerHandle = QtHandleNew(sizeof(QtImageDescription));
    EXPECT_EQ(QtDecompressStart(&sequence, callerHandle, nullptr, 0, surface, nullptr, nullptr, nullptr, 64,
                                nullptr, 0, 0x3FF, nullptr),
              -50);
    QtHandleDispose(callerHandle);
    QtMatrix scaled{};
    QtRect half{0, 0, 4, 4};
    QtMatrixRectMap(&scaled, &bounds, &half);
    EXPECT_EQ(scaled.values[0][0], 0x8000);
    EXPECT_EQ(QtDecompressStart(&sequence, request.description, nullptr, 0, surface, nullptr, nullptr, &scaled, 64,
                                nullptr, 0, 0x3FF, nullptr),
              -50);
    ASSERT_EQ(QtDecompressStart(&sequence, request.description, nullptr, 0, surface, nullptr, nullptr, nullptr, 64,
                                nullptr, 0, 0x3FF, nullptr),
              0);
    uint8_t shortData[4] = {};
    EXPECT_EQ(QtDecompressFrame(sequence, shortData, 4, 0, nullptr, nullptr), -8969);
    QtSurfaceDispose(surface);
    EXPECT_EQ(QtDecompressFrame(sequence, request.data, request.dataSize, 0, nullptr, nullptr), -50);
    EXPECT_EQ(QtDecompressStop(sequence), 0);
    EXPECT_EQ(QtDecompressStop(sequence), -50);

    QtComponentParams block{0, 4, 300, {0}};
    EXPECT_EQ(QtComponentRequest(exporter, &block), QtLongStatus(0x80008002u));  // badComponentSelector
    EXPECT_EQ(QtExportSourceDispose(exporter, propertyFunction, dataFunction, nullptr), -50);
    EXPECT_EQ(propertyFunction(context, 1, fourCc('w', 'd', 't', 'h'), nullptr), -50);
    EXPECT_EQ(dataFunction(context, nullptr), -50);
}

// QuickTime disposes nothing in cascade: a source outlives its movie until
// its owner disposes it, answering nothing meanwhile.
TEST_F(VideoExport, DisposingTheMovieLeavesItsSourcesToTheirOwner)
{
    ASSERT_EQ(load(videoMovie(R"({"compression": "yuvs", "width": 8, "height": 8})")), 0);
    openExporter();
    QtMovieDispose(movie);
    movie = nullptr;
    EXPECT_EQ(fetch(0), -50);
    EXPECT_EQ(QtExportSourceDispose(exporter, propertyFunction, dataFunction, context), 0);
    EXPECT_EQ(QtExportSourceDispose(exporter, propertyFunction, dataFunction, context), -50);
    dataFunction = nullptr;
}

TEST_F(VideoExport, SampleFaults)
{
    ASSERT_EQ(load(videoMovie(R"({"compression": "yuvs", "width": 8, "height": 8})",
                              R"({"operation": "ExportDataFunction", "status": -9, "fromCall": 2, "calls": 1},
                                 {"operation": "ExportDataFunction", "descriptionType": "soun", "fromCall": 3, "calls": 1},
                                 {"operation": "ExportDataFunction", "nullDescription": true, "fromCall": 4, "calls": 1},
                                 {"operation": "QtSurfaceCreate", "nullSurface": true, "calls": 1},
                                 {"operation": "QtSurfaceCreate", "status": -108, "fromCall": 2, "calls": 1},
                                 {"operation": "QtDecompressStart", "status": -8960, "calls": 1},
                                 {"operation": "QtDecompressFrame", "status": -8961, "calls": 1})")),
              0);
    openExporter();
    EXPECT_EQ(fetch(0), 0);
    EXPECT_EQ(fetch(0), -9);
    EXPECT_EQ(fetch(0), 0);
    EXPECT_EQ(request.descriptionType, fourCc('s', 'o', 'u', 'n'));
    EXPECT_EQ(fetch(0), 0);
    EXPECT_EQ(request.description, nullptr);
    ASSERT_EQ(fetch(0), 0);

    std::vector<uint8_t> memory(128);
    QtRect bounds{0, 0, 8, 8};
    QtSurface surface = reinterpret_cast<QtSurface>(1);
    EXPECT_EQ(QtSurfaceCreate(&surface, kYuy2, &bounds, nullptr, nullptr, 0, memory.data(), 16), 0);
    EXPECT_EQ(surface, nullptr);
    EXPECT_EQ(QtSurfaceCreate(&surface, kYuy2, &bounds, nullptr, nullptr, 0, memory.data(), 16), -108);
    ASSERT_EQ(QtSurfaceCreate(&surface, kYuy2, &bounds, nullptr, nullptr, 0, memory.data(), 16), 0);
    QtSequence sequence = nullptr;
    auto start = [&] {
        return QtDecompressStart(&sequence, request.description, request.data, request.dataSize, surface, nullptr,
                                 nullptr, nullptr, 64, nullptr, 0, 0x3FF, nullptr);
    };
    EXPECT_EQ(start(), -8960);
    ASSERT_EQ(start(), 0);
    EXPECT_EQ(QtDecompressFrame(sequence, request.data, request.dataSize, 0, nullptr, nullptr), -8961);
    EXPECT_EQ(QtDecompressFrame(sequence, request.data, request.dataSize, 0, nullptr, nullptr), 0);
    EXPECT_EQ(QtDecompressStop(sequence), 0);
    QtSurfaceDispose(surface);
}

} // namespace
} // namespace Qel::Testing
