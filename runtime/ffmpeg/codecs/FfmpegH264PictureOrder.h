// The order in which the pictures of an H.264 stream are shown, found in
// their slice headers, for containers that store no presentation times
// (AVI). Internal to the FFmpeg movie source.
//
// FFmpeg's parser gives each picture its picture order count, which counts
// from every IDR picture on: the pictures are shown in the order of their
// IDR periods, and within a period in the order of their counts. This also
// places the pictures of open groups, which are decoded after their group's
// key frame but shown before it.
#pragma once

#include "FfmpegLibraries.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace QelRuntime {

class FfmpegH264PictureOrder {
public:
    // Whether the FFmpeg libraries have an H.264 parser, which open() needs.
    static bool available();
    // Throws std::bad_alloc only.
    static std::unique_ptr<FfmpegH264PictureOrder> open(const AVCodecParameters* parameters);

    // Reads the headers of the next picture in decoding order. True where
    // decoding may start at it: an IDR picture, or an intra picture at a
    // recovery point (it and every picture shown after it decode whole).
    bool add(const AVPacket* packet);

    // The pictures added so far, by their place in decoding order, in the
    // order they are shown.
    std::vector<size_t> shownOrder() const;

private:
    FfmpegH264PictureOrder(ParserPtr parser, CodecContextPtr context);

    struct Picture {
        int64_t period;  // IDR pictures met up to this one
        int count;       // its picture order count within the period
    };

    ParserPtr parser_;
    CodecContextPtr context_;  // the parser reads the stream's parameter sets from it
    int nalLengthSize_ = 0;    // 0: start codes (Annex B), else the length prefix of each NAL unit
    std::vector<Picture> pictures_;
    int64_t period_ = 0;
};

} // namespace QelRuntime
