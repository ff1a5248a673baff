#include "codecs/FfmpegMpegPictureTypes.h"

namespace QelRuntime {

namespace {

// The picture coding type of an MPEG-1/2 video packet: the 3 bits after the
// 10-bit temporal reference that follows the picture start code 00 00 01 00.
bool isMpegBidirectionalPicture(const uint8_t* data, int size)
{
    constexpr int kBidirectional = 3;
    for (int i = 0; i + 5 < size; ++i) {
        const uint8_t* b = data + i;
        if (b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0)
            return ((b[5] >> 3) & 7) == kBidirectional;
    }
    return false;
}

// The coding type of an MPEG-4 Part 2 video object plane: the 2 bits after
// its start code 00 00 01 B6.
bool isMpeg4BidirectionalPlane(const uint8_t* data, int size)
{
    constexpr int kBidirectional = 2;
    for (int i = 0; i + 4 < size; ++i) {
        const uint8_t* b = data + i;
        if (b[0] == 0 && b[1] == 0 && b[2] == 1 && b[3] == 0xB6)
            return (b[4] >> 6) == kBidirectional;
    }
    return false;
}

bool isMpegVideo(AVCodecID codec) { return codec == AV_CODEC_ID_MPEG1VIDEO || codec == AV_CODEC_ID_MPEG2VIDEO; }

} // namespace

bool showsBidirectionalAsDecoded(AVCodecID codec) { return isMpegVideo(codec) || codec == AV_CODEC_ID_MPEG4; }

bool isBidirectionalPicture(AVCodecID codec, const uint8_t* data, int size)
{
    if (isMpegVideo(codec))
        return isMpegBidirectionalPicture(data, size);
    return codec == AV_CODEC_ID_MPEG4 && isMpeg4BidirectionalPlane(data, size);
}

} // namespace QelRuntime
