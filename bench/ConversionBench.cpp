// Micro-benchmarks of the runtime's picture conversions: a decoded 1080p
// 4:2:0 picture into each surface format the runtime offers, against a copy
// of the same number of bytes (what "at memory speed" is measured by), and
// libswscale's own conversions into YUY2 and ARGB (what the runtime used
// before).
// Each runs on one picture and surface, which stay in the processor's
// cache (argument 1), and round a ring of them larger than the cache
// (kColdRing), as a player's pictures come from and go to memory. The
// packed and ARGB conversions also run on SSE2 alone, as on a processor
// without AVX2.
#include <benchmark/benchmark.h>

#include "picture/FfmpegPictureConverter.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace Qel::Bench {

namespace {

using namespace QelRuntime;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
// Pictures and surfaces enough to pass through a 32 MiB cache.
constexpr int kColdRing = 12;

FramePtr noisyPicture()
{
    FramePtr picture = makeFrame();
    picture->format = AV_PIX_FMT_YUV420P;
    picture->width = kWidth;
    picture->height = kHeight;
    if (av_frame_get_buffer(picture.get(), 0) < 0)
        std::abort();
    std::srand(1);
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? kHeight : kHeight / 2;
        for (int i = 0; i < picture->linesize[plane] * rows; ++i)
            picture->data[plane][i] = uint8_t(std::rand());
    }
    return picture;
}

// Bytes of a surface of the format: packed rows, or YVU9's three planes.
size_t surfaceBytes(QtOSType format, int32_t& rowBytes)
{
    rowBytes = format == 32 ? kWidth * 4 : format == fourCc('Y', 'V', 'U', '9') ? kWidth : kWidth * 2;
    if (format == fourCc('Y', 'V', 'U', '9'))
        return size_t(kWidth) * kHeight + 2 * size_t(kWidth / 4) * size_t((kHeight + 3) / 4);
    return size_t(rowBytes) * kHeight;
}

void convertPicture(benchmark::State& state, QtOSType format, FfmpegVectors vectors)
{
    std::vector<FramePtr> pictures;
    std::vector<std::vector<uint8_t>> surfaces;
    int32_t rowBytes = 0;
    for (int i = 0; i < state.range(0); ++i) {
        pictures.push_back(noisyPicture());
        surfaces.emplace_back(surfaceBytes(format, rowBytes), 0);
    }
    FfmpegPictureConverter converter(vectors);
    size_t next = 0;
    for (auto _ : state) {
        if (!converter.convert(pictures[next].get(), {format, surfaces[next].data(), rowBytes, kWidth, kHeight}))
            state.SkipWithError("conversion refused");
        benchmark::ClobberMemory();
        next = (next + 1) % pictures.size();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(surfaces[0].size()));
}

void convertPicture(benchmark::State& state, QtOSType format)
{
    convertPicture(state, format, widestVectors());
}

void copyPicture(benchmark::State& state, QtOSType format)
{
    int32_t rowBytes = 0;
    std::vector<std::vector<uint8_t>> from, to;
    for (int i = 0; i < state.range(0); ++i) {
        from.emplace_back(surfaceBytes(format, rowBytes), 0x80);
        to.emplace_back(from.back().size(), 0);
    }
    size_t next = 0;
    for (auto _ : state) {
        std::memcpy(to[next].data(), from[next].data(), from[next].size());
        benchmark::ClobberMemory();
        next = (next + 1) % from.size();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(from[0].size()));
}

void swscaleInto(benchmark::State& state, AVPixelFormat format, int bytesPerPixel)
{
    const FramePtr picture = noisyPicture();
    std::vector<uint8_t> surface(size_t(kWidth) * size_t(bytesPerPixel) * kHeight);
    SwsContext* context = sws_getContext(kWidth, kHeight, AV_PIX_FMT_YUV420P, kWidth, kHeight, format, SWS_BICUBIC,
                                         nullptr, nullptr, nullptr);
    uint8_t* planes[4] = {surface.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {kWidth * bytesPerPixel, 0, 0, 0};
    for (auto _ : state) {
        sws_scale(context, picture->data, picture->linesize, 0, kHeight, planes, strides);
        benchmark::ClobberMemory();
    }
    sws_freeContext(context);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(surface.size()));
}

} // namespace

BENCHMARK_CAPTURE(convertPicture, yuvs, fourCc('y', 'u', 'v', 's'))->Arg(1)->Arg(kColdRing)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertPicture, yuvs_sse2, fourCc('y', 'u', 'v', 's'), FfmpegVectors::Sse2)
    ->Arg(1)->Arg(kColdRing)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(copyPicture, yuvs, fourCc('y', 'u', 'v', 's'))->Arg(1)->Arg(kColdRing)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(swscaleInto, yuy2, AV_PIX_FMT_YUYV422, 2)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertPicture, 2vuy, fourCc('2', 'v', 'u', 'y'))->Arg(1)->Arg(kColdRing)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertPicture, 2vuy_sse2, fourCc('2', 'v', 'u', 'y'), FfmpegVectors::Sse2)
    ->Arg(1)->Arg(kColdRing)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertPicture, argb, 32)->Arg(1)->Arg(kColdRing)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertPicture, argb_sse2, 32, FfmpegVectors::Sse2)
    ->Arg(1)->Arg(kColdRing)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(swscaleInto, argb, AV_PIX_FMT_ARGB, 4)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(copyPicture, argb, 32)->Arg(1)->Arg(kColdRing)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(convertPicture, yvu9, fourCc('Y', 'V', 'U', '9'))->Arg(1)->Arg(kColdRing)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(copyPicture, yvu9, fourCc('Y', 'V', 'U', '9'))->Arg(1)->Arg(kColdRing)->Unit(benchmark::kMicrosecond);

} // namespace Qel::Bench
