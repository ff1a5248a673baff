// av_rescale_q from one time base to another, fixed for a whole sample
// table: the same results, without FFmpeg's 128-bit arithmetic where the
// product fits in 64 bits (every time of any real movie). Values are
// rounded to the nearest, halves away from zero, as av_rescale_q rounds.
#pragma once

#include "FfmpegLibraries.h"

#include <cstdint>
#include <limits>
#include <numeric>

namespace QelRuntime {

class FfmpegRescaler {
public:
    FfmpegRescaler(AVRational from, AVRational to) : from_(from), to_(to)
    {
        const int64_t num = int64_t(from.num) * to.den;
        const int64_t den = int64_t(from.den) * to.num;
        if (num > 0 && den > 0) {
            const int64_t common = std::gcd(num, den);
            num_ = num / common;
            den_ = den / common;
        }
    }

    int64_t operator()(int64_t value) const
    {
        if (num_ > 0 && value != std::numeric_limits<int64_t>::min()) {
            const int64_t magnitude = value < 0 ? -value : value;
            int64_t product = 0;
            if (!__builtin_mul_overflow(magnitude, num_, &product) &&
                product <= std::numeric_limits<int64_t>::max() - den_ / 2) {
                // Into a time base that divides the other (a video stream
                // in its own scale, the usual case), nothing is rounded.
                const int64_t rounded = den_ == 1 ? product : (product + den_ / 2) / den_;
                return value < 0 ? -rounded : rounded;
            }
        }
        return av_rescale_q(value, from_, to_);
    }

private:
    AVRational from_;
    AVRational to_;
    int64_t num_ = 0;  // 0: every value goes to av_rescale_q
    int64_t den_ = 1;
};

} // namespace QelRuntime
