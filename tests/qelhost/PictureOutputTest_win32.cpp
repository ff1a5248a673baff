#include <fstream>

#include "QelhostTest.h"

namespace Qel::Testing {
namespace {

// The Windows build writes PNG through its static libpng (the real-movie
// oracle checks the sheets' pictures) and has no JPEG library.
class PictureOutputTest : public QelhostTest {
protected:
    std::string fileStart(const std::string& name) const
    {
        std::ifstream file(output(name), std::ios::binary);
        std::string bytes(8, '\0');
        file.read(bytes.data(), 8);
        return file ? bytes : std::string();
    }
};

TEST_F(PictureOutputTest, PngSheetsAndArgbFramesAreWrittenJpegIsRefused)
{
    const std::string pngSignature = "\x89PNG\r\n\x1a\n";
    const std::string movie = write("a.mov", pictureAndSound(R"("yuvs")"));
    const QelhostRun png = run({"thumbs", movie, "-o", output("sheet.png")});
    EXPECT_EQ(png.exitCode, 0) << png.err;
    EXPECT_EQ(fileStart("sheet.png"), pngSignature);

    const QelhostRun jpeg = run({"thumbs", movie, "-o", output("sheet.jpg")});
    EXPECT_EQ(jpeg.exitCode, 7);
    EXPECT_NE(jpeg.err.find("JPEG output is not available in this build"), std::string::npos) << jpeg.err;

    const QelhostRun decoded = run({"decode", write("argb.mov", pictureAndSound("32")), "-o", output("out")});
    EXPECT_EQ(decoded.exitCode, 0) << decoded.err;
    EXPECT_EQ(fileStart("out/argb-000001.png"), pngSignature);
    EXPECT_EQ(fileStart("out/argb-000010.png"), pngSignature);
    EXPECT_EQ(readWav(output("out/argb.wav")).samples.size(), 44100u * 2);
}

} // namespace
} // namespace Qel::Testing
