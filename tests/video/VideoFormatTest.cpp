// The output format chosen for each kind of sample, the frame geometry, and
// the pictures that direct copying and decompression deliver.
#include "VideoSession.h"

#include "media/Properties.h"

namespace Qel::Testing {
namespace {

struct FormatCase {
    const char* name;
    const char* video;        // body of the track's "video" object
    const char* output;       // the format text the host must see
    const char* setUpLine;    // the readStream line of the decoding set-up
};

class VideoFormatTest : public testing::TestWithParam<FormatCase> {};

TEST_P(VideoFormatTest, DeliversEverySampleInTheOutputFormat)
{
    const FormatCase& format = GetParam();
    VideoSession video(videoMovie(std::string(format.video) + R"(, "width": 16, "height": 8)",
                                  R"("count": 3, "duration": 60)"));
    ASSERT_NE(video.stream, nullptr);
    EXPECT_STREQ(video.formatText(), format.output);
    EXPECT_EQ(video.stream->getKind(), 272);
    EXPECT_EQ(video.stream->getFormat()->kind, 1u);
    auto* properties = static_cast<ImageProperties*>(video.stream->getProperties());
    EXPECT_EQ(properties->width, 16);
    EXPECT_EQ(properties->height, 8);
    EXPECT_EQ(video.messages(kOpenFunction),
              std::vector<std::string>{"QT video format: " + std::string(format.output) + " size: 16x8"});

    for (int32_t sample = 0; sample < 3; ++sample) {
        SCOPED_TRACE(sample);
        expectSample(video.read(), format.output, 16, 8, sample);
    }
    const std::vector<std::string> lines = video.messages(kReadFunction);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), format.setUpLine);
}

INSTANTIATE_TEST_SUITE_P(
    EveryRow, VideoFormatTest,
    testing::Values(
        FormatCase{"yuvs", R"("compression": "yuvs")", "YUY2", "QT video is YUY2, skipping DecompressSequence"},
        FormatCase{"yuvsPadded", R"("compression": "yuvs", "rowPadding": 8)", "YUY2",
                   "QT video is YUY2, skipping DecompressSequence"},
        FormatCase{"uyvy", R"("compression": "2vuy", "rowPadding": 4)", "UYVY",
                   "QT video is UYVY, skipping DecompressSequence"},
        FormatCase{"yvu9", R"("compression": "YVU9")", "YV12", "QT video is YV12, skipping DecompressSequence"},
        FormatCase{"yvu9Padded", R"("compression": "YVU9", "rowPadding": 12)", "YV12",
                   "QT video is YV12, skipping DecompressSequence"},
        FormatCase{"argb", R"("compression": 32)", "ARGB", "QT video is ARGB, skipping DecompressSequence"},
        FormatCase{"raw32", R"("compression": "raw ", "depth": 32, "rowPadding": 4)", "ARGB",
                   "QT video is ARGB, skipping DecompressSequence"},
        FormatCase{"raw24", R"("compression": "raw ", "depth": 24)", "YUY2",
                   "QT video, export output  war, using DecompressSequence"},
        FormatCase{"jpeg", R"("compression": "jpeg")", "YUY2",
                   "QT video, export output gepj, using DecompressSequence"}),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST(VideoGeometry, FullSizeFramesKeepTheirSize)
{
    VideoSession yuy2(videoMovie(R"("compression": "yuvs", "width": 640, "height": 480)", R"("count": 1, "duration": 60)"));
    EXPECT_EQ(yuy2.messages(kOpenFunction), std::vector<std::string>{"QT video format: YUY2 size: 640x480"});
    expectSample(yuy2.read(), "YUY2", 640, 480, 0);

    VideoSession yv12(videoMovie(R"("compression": "YVU9", "width": 320, "height": 240)", R"("count": 1, "duration": 60)"));
    EXPECT_EQ(yv12.messages(kOpenFunction), std::vector<std::string>{"QT video format: YV12 size: 320x240"});
    const Frame frame = yv12.read();
    EXPECT_EQ(frame.bytes.size(), 115200u);
    expectSample(frame, "YV12", 320, 240, 0);
}

TEST(VideoGeometry, PictureWithoutAreaFailsTheOpen)
{
    for (const char* size : {R"("width": 0, "height": 8)", R"("width": 8, "height": 0)"}) {
        SCOPED_TRACE(size);
        VideoSession video(videoMovie(R"("compression": "yuvs", )" + std::string(size), R"("count": 2, "duration": 60)"),
                           false);
        ASSERT_NE(video.stream, nullptr);
        EXPECT_EQ(video.stream->openStream(&video.clock), kResultFailure);
        EXPECT_EQ(video.messages(kOpenFunction), std::vector<std::string>{qtFailureLine(-50)});
        EXPECT_EQ(video.read().result, kResultFailure);
    }
}

struct ShapeCase {
    const char* name;
    const char* compression;  // body of the track's "video" object, without the size
    const char* output;
    bool evenWidths;  // a 4:2:2 pair of pixels shares its chroma
};

class VideoShapeTest : public testing::TestWithParam<ShapeCase> {};

// Sides that are odd or no multiple of 4, and rows padded by 1 to 3 bytes
// (so that a 'YVU9' row is no multiple of 4 either): every byte of every
// frame is the picture's.
TEST_P(VideoShapeTest, OddSidesAndRowPaddingKeepEveryPixel)
{
    const ShapeCase& shape = GetParam();
    struct Size {
        int32_t width, height, padding;
    };
    const Size sizes[] = {{5, 6, 1}, {7, 5, 2}, {9, 3, 3}, {1, 1, 0}, {13, 7, 0}};
    for (Size size : sizes) {
        if (shape.evenWidths)
            size.width += 1;
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + " padded by " +
                     std::to_string(size.padding));
        VideoSession video(videoMovie(std::string(shape.compression) + R"(, "width": )" + std::to_string(size.width) +
                                          R"(, "height": )" + std::to_string(size.height) +
                                          R"(, "rowPadding": )" + std::to_string(size.padding),
                                      R"("count": 2, "duration": 60)"));
        ASSERT_NE(video.stream, nullptr);
        ASSERT_STREQ(video.formatText(), shape.output);
        for (int32_t sample = 0; sample < 2; ++sample)
            expectSample(video.read(), shape.output, size.width, size.height, sample);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, VideoShapeTest,
    testing::Values(ShapeCase{"yuvs", R"("compression": "yuvs")", "YUY2", true},
                    ShapeCase{"uyvy", R"("compression": "2vuy")", "UYVY", true},
                    ShapeCase{"yvu9", R"("compression": "YVU9")", "YV12", false},
                    ShapeCase{"argb", R"("compression": 32)", "ARGB", false},
                    ShapeCase{"raw32", R"("compression": "raw ", "depth": 32)", "ARGB", false},
                    ShapeCase{"raw24", R"("compression": "raw ", "depth": 24)", "YUY2", false},
                    ShapeCase{"jpeg", R"("compression": "jpeg")", "YUY2", false}),
    [](const testing::TestParamInfo<ShapeCase>& info) { return std::string(info.param.name); });

TEST(VideoOpen, SampleOfAnotherKindFailsTheOpenAndLeavesNothingToReadFrom)
{
    VideoSession video(videoMovie(R"("compression": "yuvs", "width": 8, "height": 4)", R"("count": 2, "duration": 60)", "",
                                  R"({"operation": "ExportDataFunction", "descriptionType": "soun", "calls": 1})"),
                       false);
    ASSERT_NE(video.stream, nullptr);
    EXPECT_EQ(video.stream->openStream(&video.clock), kResultFailure);
    EXPECT_EQ(video.messages(kOpenFunction), std::vector<std::string>{qtFailureLine(-50)});

    const Frame refused = video.read();
    EXPECT_EQ(refused.result, kResultFailure);
    EXPECT_FALSE(refused.delivered);

    EXPECT_EQ(video.stream->openStream(&video.clock), kResultSuccess);
    expectSample(video.read(), "YUY2", 8, 4, 0);
}

} // namespace
} // namespace Qel::Testing
