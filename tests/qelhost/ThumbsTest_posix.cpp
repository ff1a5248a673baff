#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "PngRead_posix.h"
#include "QelhostTest.h"
#include "TestMedia.h"

namespace Qel::Testing {
namespace {

using namespace QelRuntime::SyntheticPattern;

class ThumbsTest : public QelhostTest {
protected:
    // Limited-range Y'CbCr to RGB with the luma weights of the standard
    // (Kr, Kb): BT.601 (0.299, 0.114), BT.709 (0.2126, 0.0722).
    static void expectedRgb(double kr, double kb, uint8_t y, uint8_t u, uint8_t v, int rgb[3])
    {
        const double luma = (y - 16) * 255.0 / 219.0;
        const double cb = (u - 128) * 255.0 / 224.0;
        const double cr = (v - 128) * 255.0 / 224.0;
        const double kg = 1 - kr - kb;
        const double r = luma + 2 * (1 - kr) * cr;
        const double b = luma + 2 * (1 - kb) * cb;
        const double g = (luma - kr * r - kb * b) / kg;
        for (int i = 0; i < 3; ++i)
            rgb[i] = int(std::clamp(std::lround(i == 0 ? r : i == 1 ? g : b), 0L, 255L));
    }

    // Largest channel difference between a cell of the sheet and picture
    // `sample` converted with the given weights, over a grid of pixels.
    static int cellError(const PngImage& sheet, int left, int top, int width, int height, int sample, double kr,
                         double kb)
    {
        int worst = 0;
        for (int y = 0; y < height; y += 7)
            for (int x = 0; x < width; x += 5) {
                int rgb[3];
                expectedRgb(kr, kb, lumaAt(x, y, sample), chromaUAt(x, y, sample), chromaVAt(x, y, sample), rgb);
                const uint8_t* got = sheet.at(left + x, top + y);
                for (int c = 0; c < 3; ++c)
                    worst = std::max(worst, std::abs(int(got[c]) - rgb[c]));
            }
        return worst;
    }
};

TEST_F(ThumbsTest, SheetHoldsThePicturesShowingAtEvenlySpacedTimes)
{
    const QelhostRun thumbs = run({"thumbs", write("sheet.mov", pictureAndSound(R"("yuvs")")), "-o",
                                   output("sheet.png"), "--count", "4", "--width", "64"});
    ASSERT_EQ(thumbs.exitCode, 0) << thumbs.err;
    const PngImage sheet = readPng(output("sheet.png"));
    // Two columns and two rows of 64 x 48 with 4-pixel gutters.
    ASSERT_EQ(sheet.width, 4 + 2 * 68);
    ASSERT_EQ(sheet.height, 4 + 2 * 52);
    // The middles of four quarters: 125, 375, 625 and 875 ms.
    const int samples[] = {1, 3, 6, 8};
    for (int i = 0; i < 4; ++i)
        EXPECT_LE(cellError(sheet, 4 + (i % 2) * 68, 4 + (i / 2) * 52, 64, 48, samples[i], 0.299, 0.114), 2)
            << "picture " << i;
}

TEST_F(ThumbsTest, SheetPathIsCheckedBeforeDecodingAndNamesItsFormat)
{
    const std::string movie = write("sheet.mov", pictureAndSound(R"("yuvs")"));
    struct Case {
        std::string movie;
        std::string sheet;
        int exitCode;
        const char* says;
    };
    const Case cases[] = {
        {movie, output("new/folders/sheet.jpg"), 0, ""},
        {movie, output("new/folders/sheet.JPEG"), 0, ""},
        // The sheet is refused before the movie is even looked for.
        {output("nowhere.mov"), output("sheet.gif"), 2, "must end in .png or .jpg"},
        {output("nowhere.mov"), output("new"), 8, "new is a folder"},
        {output("nowhere.mov"), output("taken.jpg"), 8, "taken.jpg is a folder"},
    };
    std::filesystem::create_directories(output("taken.jpg"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sheet);
        const QelhostRun thumbs = run({"thumbs", c.movie, "-o", c.sheet, "--count", "4", "--width", "64"});
        EXPECT_EQ(thumbs.exitCode, c.exitCode) << thumbs.err;
        EXPECT_NE(thumbs.err.find(c.says), std::string::npos) << thumbs.err;
        if (c.exitCode != 0)
            continue;
        const std::vector<uint8_t> jpeg = readBytes(c.sheet);
        ASSERT_GT(jpeg.size(), 3u);
        EXPECT_EQ(jpeg[0], 0xFF);
        EXPECT_EQ(jpeg[1], 0xD8);
        EXPECT_EQ(commandText("ffprobe -v error -show_entries stream=width,height -of csv=p=0 '" + c.sheet + "'"),
                  "140,108\n");
    }
}

TEST_F(ThumbsTest, HighDefinitionPicturesUseTheirOwnMatrix)
{
    const QelhostRun thumbs = run({"thumbs", write("hd.mov", pictureAndSound(R"("2vuy")", 1280, 720)), "-o",
                                   output("hd.png"), "--count", "1", "--width", "1280"});
    ASSERT_EQ(thumbs.exitCode, 0) << thumbs.err;
    const PngImage sheet = readPng(output("hd.png"));
    ASSERT_EQ(sheet.width, 1288);
    EXPECT_LE(cellError(sheet, 4, 4, 1280, 720, 5, 0.2126, 0.0722), 2);
    EXPECT_GT(cellError(sheet, 4, 4, 1280, 720, 5, 0.299, 0.114), 10);
}

TEST_F(ThumbsTest, ArgbVideoIsDecodedAsPngFramesWithTheirAlpha)
{
    const QelhostRun decoded = run({"decode", write("argb.mov", pictureAndSound("32")), "-o", output("out")});
    ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
    for (int sample : {0, 9}) {
        char name[32];
        std::snprintf(name, sizeof name, "out/argb-%06d.png", sample + 1);
        const PngImage frame = readPng(output(name));
        ASSERT_EQ(frame.channels, 4) << name;
        ASSERT_EQ(frame.width, 64);
        const uint8_t* pixel = frame.at(13, 7);
        EXPECT_EQ(pixel[0], lumaAt(13, 7, sample));
        EXPECT_EQ(pixel[1], chromaUAt(13, 7, sample));
        EXPECT_EQ(pixel[2], chromaVAt(13, 7, sample));
        EXPECT_EQ(pixel[3], kAlpha);
    }
}

} // namespace
} // namespace Qel::Testing
