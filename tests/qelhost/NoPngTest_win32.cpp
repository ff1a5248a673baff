#include "QelhostTest.h"

namespace Qel::Testing {
namespace {

class NoPngTest : public QelhostTest {};

TEST_F(NoPngTest, ThumbsAndArgbFramesSayTheBuildHasNoPng)
{
    const QelhostRun thumbs =
        run({"thumbs", write("a.mov", pictureAndSound(R"("yuvs")")), "-o", output("sheet.png")});
    EXPECT_EQ(thumbs.exitCode, 7);
    EXPECT_NE(thumbs.err.find("not available in this build"), std::string::npos) << thumbs.err;

    // The sound is decoded all the same.
    const QelhostRun decoded = run({"decode", write("argb.mov", pictureAndSound("32")), "-o", output("out")});
    EXPECT_EQ(decoded.exitCode, 7);
    EXPECT_NE(decoded.err.find("not available in this build"), std::string::npos) << decoded.err;
    EXPECT_EQ(readWav(output("out/argb.wav")).samples.size(), 44100u * 2);
}

} // namespace
} // namespace Qel::Testing
