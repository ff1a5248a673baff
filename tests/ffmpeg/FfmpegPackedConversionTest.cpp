// The runtime's conversions of decoded pictures into packed 4:2:2, ARGB and
// 'YVU9' surfaces against libswscale's own conversion of the same planes,
// byte for byte.
// Built into both builds' suites: each checks its own libswscale (the
// 64-bit distribution's, the 32-bit static one under Wine).
#include "picture/FfmpegPictureConverter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

constexpr QtOSType kYuvs = fourCc('y', 'u', 'v', 's');
constexpr int kSwscaleRowSlack = 32;

// libswscale's own conversion of picture into packed rows of the given
// format: what the runtime's conversion must give, byte for byte. A matrix
// (into full-range RGB, from the picture's range) is set as the runtime
// sets it.
std::vector<uint8_t> swscaleConversion(const AVFrame* picture, AVPixelFormat target, int rowBytes,
                                       const int* matrix = nullptr)
{
    SwsContext* context = sws_getContext(picture->width, picture->height, AVPixelFormat(picture->format),
                                         picture->width, picture->height, target, SWS_BICUBIC, nullptr, nullptr,
                                         nullptr);
    EXPECT_NE(context, nullptr);
    if (matrix)
        sws_setColorspaceDetails(context, matrix, picture->format == AV_PIX_FMT_YUVJ420P, matrix, 1, 0, 1 << 16,
                                 1 << 16);
    // Room for the whole pairs libswscale writes at an odd width, and for
    // its vector code, which writes on to a multiple of 8 pixels.
    std::vector<uint8_t> bytes(size_t(rowBytes + kSwscaleRowSlack) * size_t(picture->height));
    uint8_t* planes[4] = {bytes.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {rowBytes + kSwscaleRowSlack, 0, 0, 0};
    sws_scale(context, picture->data, picture->linesize, 0, picture->height, planes, strides);
    sws_freeContext(context);
    return bytes;
}

// The first compared bytes of each row of the runtime's surface against
// libswscale's rows (of expectedRowBytes, rowBytes when 0, and
// kSwscaleRowSlack more).
void expectRowsEqual(const std::vector<uint8_t>& actual, const std::vector<uint8_t>& expected, int rowBytes,
                     int compared, int height, int expectedRowBytes = 0)
{
    const int expectedStride = (expectedRowBytes ? expectedRowBytes : rowBytes) + kSwscaleRowSlack;
    for (int y = 0; y < height; ++y) {
        ASSERT_TRUE(std::equal(actual.begin() + y * rowBytes, actual.begin() + y * rowBytes + compared,
                               expected.begin() + y * expectedStride))
            << "row " << y;
    }
}

FramePtr randomPicture(AVPixelFormat format, int width, int height)
{
    FramePtr picture = makeFrame();
    picture->format = format;
    picture->width = width;
    picture->height = height;
    EXPECT_EQ(av_frame_get_buffer(picture.get(), 0), 0);
    const bool halfHeight =
        format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P || format == AV_PIX_FMT_YUVA420P;
    for (int plane = 0; plane < 4 && picture->data[plane]; ++plane) {
        const int rows = (plane == 1 || plane == 2) && halfHeight ? (height + 1) / 2 : height;
        for (int i = 0; i < picture->linesize[plane] * rows; ++i)
            picture->data[plane][i] = uint8_t(std::rand());
    }
    return picture;
}

// Random planes of every layout the packed conversion takes or leaves to
// libswscale, at sizes around the edges of libswscale's filter (a few rows,
// where it shortens it), around the widths of the vectors' blocks (8 and
// 16 pairs) and at common picture sizes, into both packed layouts: every
// byte as libswscale makes it.
void expectLibswscalesBytes(FfmpegVectors vectors)
{
    std::srand(7);
    const std::pair<int, int> sizes[] = {{2, 1},   {16, 2},   {18, 3},   {16, 7},   {20, 8},    {22, 13},
                                         {24, 14}, {34, 15},  {40, 16},  {18, 17},  {64, 31},   {162, 90},
                                         {160, 91}, {161, 33}, {32, 20}, {720, 576}, {1280, 720}, {1920, 1080}};
    for (AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUV444P}) {
        for (const auto& [width, height] : sizes) {
            FramePtr picture = randomPicture(format, width, height);
            for (QtOSType target : {kYuvs, fourCc('2', 'v', 'u', 'y')}) {
                const AVPixelFormat packed = target == kYuvs ? AV_PIX_FMT_YUYV422 : AV_PIX_FMT_UYVY422;
                SCOPED_TRACE(std::string(av_get_pix_fmt_name(format)) + " " + std::to_string(width) + "x" +
                             std::to_string(height) + " to " + av_get_pix_fmt_name(packed));
                const int rowBytes = width * 2;
                const std::vector<uint8_t> expected = swscaleConversion(picture.get(), packed, rowBytes);
                std::vector<uint8_t> actual(size_t(rowBytes) * size_t(height) + kSwscaleRowSlack, 0xEE);
                FfmpegPictureConverter converter(vectors);
                ASSERT_TRUE(converter.convert(picture.get(), {target, actual.data(), rowBytes, width, height}));
                EXPECT_EQ(std::count(actual.end() - kSwscaleRowSlack, actual.end(), 0xEE), kSwscaleRowSlack);
                // At an odd width the half pair is the runtime's own (above).
                expectRowsEqual(actual, expected, rowBytes, width % 2 ? rowBytes - 2 : rowBytes, height);
            }
        }
    }
}

TEST(FfmpegPackedConversion, EqualsLibswscalesBytes) { expectLibswscalesBytes(widestVectors()); }

// The code for processors without AVX2, on any processor.
TEST(FfmpegPackedConversion, EqualsLibswscalesBytesWithSse2Alone) { expectLibswscalesBytes(FfmpegVectors::Sse2); }

// ARGB from 4:2:0 in both ranges and two matrices, at widths below, at and
// around a block of the vectors (16 and 32 pixels), and at odd sizes, which
// stay libswscale's: every byte as libswscale makes it. At an odd width and
// an even height, where libswscale converts whole pairs and leaves the last
// column as it was, that column is libswscale's conversion of the same
// picture one column wider (from 4:2:0 with alpha and 4:2:2 as well).
void expectLibswscalesArgb(FfmpegVectors vectors)
{
    std::srand(11);
    const std::pair<int, int> sizes[] = {{2, 2},   {6, 4},   {14, 8},  {16, 2},  {18, 6},   {30, 4},
                                         {32, 2},  {34, 20}, {50, 6},  {33, 20}, {40, 17},  {33, 17},
                                         {3, 2},   {162, 90}, {720, 576}, {1920, 1080}};
    const std::pair<AVPixelFormat, AVColorSpace> sources[] = {{AV_PIX_FMT_YUV420P, AVCOL_SPC_UNSPECIFIED},
                                                              {AV_PIX_FMT_YUV420P, AVCOL_SPC_BT709},
                                                              {AV_PIX_FMT_YUVJ420P, AVCOL_SPC_BT709},
                                                              {AV_PIX_FMT_YUVA420P, AVCOL_SPC_BT709},
                                                              {AV_PIX_FMT_YUV422P, AVCOL_SPC_BT709}};
    for (const auto& [format, matrix] : sources) {
        for (const auto& [width, height] : sizes) {
            SCOPED_TRACE(std::string(av_get_pix_fmt_name(format)) + " " + av_color_space_name(matrix) + " " +
                         std::to_string(width) + "x" + std::to_string(height));
            const int widerBy = width % 2 != 0 && height % 2 == 0 ? 1 : 0;
            FramePtr planes = randomPicture(format, width + widerBy, height);
            planes->colorspace = matrix;
            FramePtr picture(av_frame_clone(planes.get()));
            picture->width = width;
            const int rowBytes = width * 4;
            const std::vector<uint8_t> expected = swscaleConversion(
                planes.get(), AV_PIX_FMT_ARGB, (width + widerBy) * 4,
                sws_getCoefficients(matrix == AVCOL_SPC_BT709 ? SWS_CS_ITU709 : SWS_CS_DEFAULT));
            std::vector<uint8_t> actual(size_t(rowBytes) * size_t(height) + kSwscaleRowSlack, 0xEE);
            FfmpegPictureConverter converter(vectors);
            ASSERT_TRUE(converter.convert(picture.get(), {32, actual.data(), rowBytes, width, height}));
            EXPECT_EQ(std::count(actual.end() - kSwscaleRowSlack, actual.end(), 0xEE), kSwscaleRowSlack);
            expectRowsEqual(actual, expected, rowBytes, rowBytes, height, (width + widerBy) * 4);
        }
    }
}

TEST(FfmpegArgbConversion, EqualsLibswscalesBytes) { expectLibswscalesArgb(widestVectors()); }

TEST(FfmpegArgbConversion, EqualsLibswscalesBytesWithSse2Alone) { expectLibswscalesArgb(FfmpegVectors::Sse2); }

// libswscale's own conversion of a 4:2:0 picture into 'YVU9' planes, laid
// out as the runtime's surface of rows of width bytes: luma, then V and U,
// each of ceil(width / 4) bytes per row.
std::vector<uint8_t> swscaleYvu9(const AVFrame* picture)
{
    const int width = picture->width;
    const int height = picture->height;
    const int chromaWidth = (width + 3) / 4;
    const int chromaRows = (height + 3) / 4;
    const int strides[4] = {width + kSwscaleRowSlack, chromaWidth + kSwscaleRowSlack,
                            chromaWidth + kSwscaleRowSlack, 0};
    std::vector<uint8_t> planes[3] = {std::vector<uint8_t>(size_t(strides[0]) * size_t(height)),
                                      std::vector<uint8_t>(size_t(strides[1]) * size_t(chromaRows)),
                                      std::vector<uint8_t>(size_t(strides[2]) * size_t(chromaRows))};
    SwsContext* context = sws_getContext(width, height, AV_PIX_FMT_YUV420P, width, height, AV_PIX_FMT_YUV410P,
                                         SWS_BICUBIC, nullptr, nullptr, nullptr);
    EXPECT_NE(context, nullptr);
    uint8_t* targets[4] = {planes[0].data(), planes[1].data(), planes[2].data(), nullptr};
    sws_scale(context, picture->data, picture->linesize, 0, height, targets, strides);
    sws_freeContext(context);
    std::vector<uint8_t> surface;
    const auto append = [&](int plane, int rows, int rowBytes) {
        for (int y = 0; y < rows; ++y)
            surface.insert(surface.end(), planes[plane].begin() + y * strides[plane],
                           planes[plane].begin() + y * strides[plane] + rowBytes);
    };
    append(0, height, width);
    append(2, chromaRows, chromaWidth);
    append(1, chromaRows, chromaWidth);
    return surface;
}

// 'YVU9' from 4:2:0, at sizes whose chroma rows end within a block of
// libswscale's vector code (15, 45, 180 and 480 bytes wide, the last from a
// width that is no multiple of 4) and at sizes whose rows fill whole
// blocks: every byte as libswscale makes the planes apart, in the runtime's
// layout, and none written past the surface. libswscale's spill of the last
// V row once overwrote the first U bytes and ran past the surface, and
// chroma rows were a byte short of the layout at such a width.
TEST(FfmpegYvu9Conversion, EqualsLibswscalesBytes)
{
    std::srand(13);
    const std::pair<int, int> sizes[] = {{60, 64}, {180, 100}, {720, 576}, {1918, 1080}, {160, 120}, {1920, 1080}};
    for (const auto& [width, height] : sizes) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        FramePtr picture = randomPicture(AV_PIX_FMT_YUV420P, width, height);
        const std::vector<uint8_t> expected = swscaleYvu9(picture.get());
        std::vector<uint8_t> actual(expected.size() + kSwscaleRowSlack, 0xEE);
        const FfmpegSurface surface{fourCc('Y', 'V', 'U', '9'), actual.data(), width, width, height};
        ASSERT_TRUE(FfmpegPictureConverter().convert(picture.get(), surface));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), actual.begin()));
        EXPECT_EQ(std::count(actual.end() - kSwscaleRowSlack, actual.end(), 0xEE), kSwscaleRowSlack);
    }
}

} // namespace
} // namespace Qel::Testing
