// Readers of one movie: the first takes over the demuxer that opened the
// movie, later ones open the file again (header only where the header
// describes every stream). Whichever way a reader came by its demuxer, it
// must hand out the same bytes for every sample, in any order.
#include "FfmpegMovie.h"
#include "FfmpegOracle.h"
#include "FfmpegPacketReader.h"
#include "TestMovies.h"

#include <gtest/gtest.h>

namespace Qel::Testing {
namespace {

using namespace QelRuntime;

class FfmpegReaderReuseTest : public ::testing::TestWithParam<TestMovie> {};

TEST_P(FfmpegReaderReuseTest, EveryReaderHandsOutTheSameBytes)
{
    const std::unique_ptr<FfmpegMovie> movie = FfmpegMovie::open(GetParam().path());
    ASSERT_NE(movie, nullptr);
    auto first = FfmpegPacketReader::open(*movie, 0);
    auto second = FfmpegPacketReader::open(*movie, 0);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    const size_t samples = movie->tracks()[0].positions.size();
    PacketPtr a = makePacket();
    PacketPtr b = makePacket();
    const auto expectSame = [&](size_t i) {
        ASSERT_TRUE(first->readSample(i, a.get())) << "sample " << i;
        ASSERT_TRUE(second->readSample(i, b.get())) << "sample " << i;
        EXPECT_EQ(a->size, b->size) << "sample " << i;
        EXPECT_EQ(checksumOf(a->data, size_t(a->size)), checksumOf(b->data, size_t(b->size))) << "sample " << i;
    };
    for (size_t i = 0; i < samples; ++i)
        expectSame(i);
    for (size_t i : {samples - 1, samples / 2, size_t(0)})
        expectSame(i);
}

INSTANTIATE_TEST_SUITE_P(RealMovies, FfmpegReaderReuseTest, ::testing::ValuesIn(kTestMovies),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace Qel::Testing
