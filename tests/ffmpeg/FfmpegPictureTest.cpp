// Pictures and sample bytes of real movies against ffmpeg's own decode, in
// forward, backward and jumping order.
#include "FfmpegMovie.h"
#include "FfmpegMovieSource.h"
#include "FfmpegOracle.h"
#include "FfmpegPacketReader.h"
#include "picture/FfmpegPictureConverter.h"
#include "picture/FfmpegPictureDecoder.h"
#include "TestEnvironment.h"
#include "TestMovies.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr size_t kYuyvBytes = kWidth * kHeight * 2;
constexpr QtOSType kYuvs = fourCc('y', 'u', 'v', 's');

void expectPacket(const uint8_t* data, size_t size, const CopiedPacket& expected, size_t sample)
{
    EXPECT_EQ(size, expected.size) << "sample " << sample;
    EXPECT_EQ(checksumOf(data, size), expected.checksum) << "sample " << sample;
}

class FfmpegPictureTest : public ::testing::TestWithParam<TestMovie> {
protected:
    void SetUp() override
    {
        path = GetParam().path();
        movie = FfmpegMovie::open(path);
        ASSERT_NE(movie, nullptr);
        samples = movie->tracks()[0].positions.size();
        QtStatus status = -1;
        decoder = FfmpegPictureDecoder::open(*movie, 0, status);
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(status, 0);
    }

    std::vector<uint8_t> picture(size_t index, QtOSType format = kYuvs, int bytesPerPixel = 2)
    {
        std::vector<uint8_t> bytes(size_t(kWidth * kHeight * bytesPerPixel));
        const FfmpegSurface surface{format, bytes.data(), kWidth * bytesPerPixel, kWidth, kHeight};
        EXPECT_EQ(decoder->decodeInto(index, surface), 0) << "sample " << index;
        return bytes;
    }

    std::vector<std::vector<uint8_t>> forwardPictures()
    {
        std::vector<std::vector<uint8_t>> pictures;
        for (size_t i = 0; i < samples; ++i)
            pictures.push_back(picture(i));
        return pictures;
    }

    // Every sample forwards, then backwards, then a few jumps.
    void inEveryOrder(const std::function<void(size_t)>& visit) const
    {
        for (size_t i = 0; i < samples; ++i)
            visit(i);
        for (size_t i = samples; i-- > 0;)
            visit(i);
        for (size_t i : {size_t(30), size_t(7), samples - 1, size_t(13), size_t(0), size_t(26), size_t(25), size_t(3)})
            visit(i);
    }

    std::string path;
    std::unique_ptr<FfmpegMovie> movie;
    std::unique_ptr<FfmpegPictureDecoder> decoder;
    size_t samples = 0;
};

TEST_P(FfmpegPictureTest, ForwardPicturesMatchFfmpegsDecode)
{
    const std::vector<uint8_t> expected = decodedPictures(path, "yuyv422");
    ASSERT_EQ(expected.size(), samples * kYuyvBytes);
    for (size_t i = 0; i < samples; ++i) {
        const std::vector<uint8_t> actual = picture(i);
        EXPECT_GE(psnr(actual.data(), expected.data() + i * kYuyvBytes, kYuyvBytes), GetParam().pictureMinimumPsnr)
            << "sample " << i;
    }
}

TEST_P(FfmpegPictureTest, ArgbPicturesMatchFfmpegsConversion)
{
    const size_t frameBytes = kWidth * kHeight * 4;
    const std::vector<uint8_t> expected = decodedPictures(path, "argb");
    ASSERT_EQ(expected.size(), samples * frameBytes);
    for (size_t i : {size_t(0), samples / 2, samples - 1}) {
        const std::vector<uint8_t> actual = picture(i, 32, 4);
        EXPECT_GE(psnr(actual.data(), expected.data() + i * frameBytes, frameBytes), 45.0) << "sample " << i;
    }
}

// With the cache that holds two groups of pictures; with one that holds a
// group and a few more, so that the worker decoding the group before waits
// for the reader to serve the pictures it is to replace; and with one that
// holds five pictures, fewer than a group: served in segments.
TEST_P(FfmpegPictureTest, BackwardReadingDeliversTheForwardPicturesInReverse)
{
    const std::vector<std::vector<uint8_t>> forward = forwardPictures();
    size_t pictureBytes = 0;
    for (const AVBufferRef* buffer : decoder->picture(0)->buf)
        pictureBytes += buffer ? buffer->size : 0;
    for (size_t cacheBytes : {FfmpegPictureDecoder::kDefaultCacheBytes, 13 * pictureBytes, 5 * pictureBytes}) {
        SCOPED_TRACE("cache of " + std::to_string(cacheBytes) + " bytes");
        QtStatus status = -1;
        decoder = FfmpegPictureDecoder::open(*movie, 0, status, cacheBytes);
        ASSERT_NE(decoder, nullptr);
        for (size_t i = samples; i-- > 0;)
            EXPECT_EQ(picture(i), forward[i]) << "sample " << i;
    }
}

// Seeks, sync-sample stepping and catch-up jumps, forwards and backwards.
TEST_P(FfmpegPictureTest, JumpsDeliverTheSamePicturesAsForwardReading)
{
    const std::vector<std::vector<uint8_t>> forward = forwardPictures();
    QtStatus status = -1;
    decoder = FfmpegPictureDecoder::open(*movie, 0, status);
    ASSERT_NE(decoder, nullptr);
    const size_t last = samples - 1;
    for (size_t i : {size_t(30), size_t(31), size_t(12), size_t(0), last, last - 1, size_t(24), size_t(25),
                     size_t(37), size_t(5), size_t(13), size_t(11)})
        EXPECT_EQ(picture(i), forward[i]) << "sample " << i;
}

// The bytes handed out for each sample are the stream's own packet, in
// forward order, backwards and after jumps, whatever the demuxer guesses
// after a seek (MPEG pictures without a time of their own, and the frame
// fragments that follow a seek in a program stream).
TEST_P(FfmpegPictureTest, SampleBytesAreTheStreamsPackets)
{
    const std::vector<CopiedPacket> packets = presentedVideoPackets(path);
    ASSERT_EQ(packets.size(), samples);
    auto reader = FfmpegPacketReader::open(*movie, 0);
    ASSERT_NE(reader, nullptr);
    PacketPtr packet = makePacket();
    inEveryOrder([&](size_t i) {
        ASSERT_TRUE(reader->readSample(i, packet.get())) << "sample " << i;
        expectPacket(packet->data, size_t(packet->size), packets[i], i);
    });
}

// The export source asks the decoder for each sample's bytes just before
// its picture: bytes and pictures both stay right in every order, with one
// demuxer serving both.
TEST_P(FfmpegPictureTest, DecodersOwnSampleBytesInterleaveWithItsPictures)
{
    const std::vector<CopiedPacket> packets = presentedVideoPackets(path);
    ASSERT_EQ(packets.size(), samples);
    const std::vector<std::vector<uint8_t>> forward = forwardPictures();
    QtStatus status = -1;
    decoder = FfmpegPictureDecoder::open(*movie, 0, status);
    ASSERT_NE(decoder, nullptr);
    PacketPtr packet = makePacket();
    inEveryOrder([&](size_t i) {
        ASSERT_TRUE(decoder->sampleBytes(i, packet.get())) << "sample " << i;
        expectPacket(packet->data, size_t(packet->size), packets[i], i);
        EXPECT_EQ(picture(i), forward[i]) << "sample " << i;
    });
}

INSTANTIATE_TEST_SUITE_P(RealMovies, FfmpegPictureTest, ::testing::ValuesIn(kTestMovies),
                         [](const auto& info) { return std::string(info.param.name); });

// The sample bytes and picture of each sample through the movie source, as
// the export source asks for them, against the stream's packets and
// ffmpeg's own decode.
void expectSamplesThroughTheSource(const std::string& path, const std::vector<int32_t>& order)
{
    std::string error;
    std::unique_ptr<QelRuntime::MovieSource> source = QelRuntime::ffmpegMovieSourceFactory().open(path, error);
    ASSERT_NE(source, nullptr) << error;
    const std::vector<CopiedPacket> packets = presentedVideoPackets(path);
    const std::vector<uint8_t> expected = decodedPictures(path, "yuyv422");
    for (int32_t i : order) {
        QelRuntime::SampleBytes bytes;
        ASSERT_EQ(source->videoSample(1, i, bytes), 0) << "sample " << i;
        expectPacket(bytes.data, bytes.size, packets[size_t(i)], size_t(i));
        std::vector<uint8_t> picture(kYuyvBytes);
        const QelRuntime::SurfaceView surface{kYuvs, picture.data(), kWidth * 2, kWidth, kHeight};
        ASSERT_EQ(source->decodePicture(1, bytes.data, int32_t(bytes.size), surface), 0) << "sample " << i;
        EXPECT_GE(psnr(picture.data(), expected.data() + size_t(i) * kYuyvBytes, kYuyvBytes), 1000.0)
            << "sample " << i;
    }
}

// A group of pictures longer than the decoder reads ahead: the source takes
// a sample's bytes from a demuxer of their own where the decoder's cannot
// reach them, and the pictures are still right.
TEST(FfmpegPictureLongGroups, SamplesOutOfTheDecodersReachAreStillHandedOut)
{
    const std::string path = testMedia("long-group.mp4", "-f lavfi -i testsrc2=size=160x120:rate=25:duration=4 "
                                                         "-c:v libx264 -g 100 -bf 2 -pix_fmt yuv420p");
    expectSamplesThroughTheSource(path, {99, 98, 40, 0, 70, 71});
}

// Two groups read backwards through the source, with a cache of about a
// group and a half: the group before is decoded ahead, waiting for room,
// while the bytes and pictures of the group being served are handed out
// (from the decoder's reader, or, for packets it no longer holds, from a
// reader of their own).
TEST(FfmpegPictureLongGroups, SamplesReadBeforeTheGroupDecodedAheadAreStillHandedOut)
{
    const std::string path = testMedia("two-long-groups.mp4", "-f lavfi -i testsrc2=size=160x120:rate=25:duration=6 "
                                                              "-c:v libx264 -g 75 -bf 2 -pix_fmt yuv420p");
    std::vector<int32_t> backwards(150);
    for (int32_t i = 0; i < 150; ++i)
        backwards[size_t(i)] = 149 - i;
    setTestEnvironment("QEL_BACKWARD_CACHE_MIB", "4");
    expectSamplesThroughTheSource(path, backwards);
    setTestEnvironment("QEL_BACKWARD_CACHE_MIB", "");
}

TEST(FfmpegPictureCache, SizeComesFromTheEnvironmentInWholeMebibytes)
{
    const size_t fallback = FfmpegPictureDecoder::kDefaultCacheBytes;
    const std::pair<const char*, size_t> rows[] = {{nullptr, fallback},  {"512", size_t(512) << 20},
                                                   {"1", size_t(1) << 20}, {"2048", size_t(2048) << 20},
                                                   {"0", fallback},       {"2049", fallback},
                                                   {"-1", fallback},      {"64k", fallback},
                                                   {"", fallback},        {"99999999999999999999", fallback}};
    for (const auto& [text, bytes] : rows)
        EXPECT_EQ(FfmpegPictureDecoder::cacheBytesFrom(text), bytes) << (text ? text : "unset");
}

TEST(FfmpegPictureSurfaces, UnsupportedSurfaceFormatIsRefused)
{
    auto movie = FfmpegMovie::open(h264Mp4());
    ASSERT_NE(movie, nullptr);
    QtStatus status = -1;
    auto decoder = FfmpegPictureDecoder::open(*movie, 0, status);
    ASSERT_NE(decoder, nullptr);
    std::vector<uint8_t> bytes(kWidth * kHeight * 4);
    EXPECT_NE(decoder->decodeInto(0, {fourCc('r', 'g', 'b', ' '), bytes.data(), kWidth * 4, kWidth, kHeight}), 0);
    EXPECT_NE(decoder->decodeInto(0, {kYuvs, bytes.data(), kWidth, kWidth, kHeight}), 0);  // rows too short
    EXPECT_EQ(decoder->decodeInto(0, {fourCc('Y', 'V', 'U', '9'), bytes.data(), kWidth, kWidth, kHeight}), 0);
}

// An odd-width row of a 4:2:2 surface ends in half a pair; the conversion
// fills it, from every layout of source, and writes nothing past the rows.
TEST(FfmpegPictureSurfaces, OddWidthsFillTheirHalfPairAndNothingBeyond)
{
    constexpr int width = 161, height = 9, rowBytes = width * 2;
    for (AVPixelFormat format : {AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P, AV_PIX_FMT_YUV444P, AV_PIX_FMT_RGB24}) {
        for (QtOSType target : {kYuvs, fourCc('2', 'v', 'u', 'y')}) {
            SCOPED_TRACE(std::string(av_get_pix_fmt_name(format)) + (target == kYuvs ? " to yuvs" : " to 2vuy"));
            FramePtr picture = makeFrame();
            picture->format = format;
            picture->width = width;
            picture->height = height;
            ASSERT_EQ(av_frame_get_buffer(picture.get(), 0), 0);
            for (int plane = 0; plane < 3 && picture->data[plane]; ++plane)
                std::memset(picture->data[plane], 0x60 + 0x30 * plane, size_t(picture->linesize[plane]) * height);
            std::vector<uint8_t> bytes(size_t(rowBytes) * height + 4, 0xEE);
            FfmpegPictureConverter converter;
            ASSERT_TRUE(converter.convert(picture.get(), {target, bytes.data(), rowBytes, width, height}));
            for (int y = 0; y < height; ++y) {
                const uint8_t* last = bytes.data() + size_t(y) * rowBytes + rowBytes - 2;
                EXPECT_NE(last[0], 0xEE) << "row " << y;
                EXPECT_NE(last[1], 0xEE) << "row " << y;
            }
            EXPECT_EQ(std::count(bytes.end() - 4, bytes.end(), 0xEE), 4);
        }
    }
}

} // namespace
} // namespace Qel::Testing
