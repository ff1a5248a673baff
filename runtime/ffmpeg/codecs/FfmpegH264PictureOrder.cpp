#include "codecs/FfmpegH264PictureOrder.h"

#include <algorithm>
#include <new>
#include <numeric>

namespace QelRuntime {

namespace {

constexpr int kIdrSlice = 5;
constexpr int kSlice = 1;

bool isSlice(int nalType) { return nalType == kSlice || nalType == kIdrSlice; }

// The type of the first slice's NAL unit of an access unit, whose NAL units
// follow start codes (nalLengthSize 0) or length prefixes; 0 when none.
int firstSliceType(const uint8_t* data, int size, int nalLengthSize)
{
    if (nalLengthSize == 0) {
        for (int i = 0; i + 3 < size; ++i) {
            if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && isSlice(data[i + 3] & 0x1F))
                return data[i + 3] & 0x1F;
        }
        return 0;
    }
    for (int at = 0; at + nalLengthSize < size;) {
        int64_t length = 0;
        for (int k = 0; k < nalLengthSize; ++k)
            length = (length << 8) | data[at + k];
        const int type = data[at + nalLengthSize] & 0x1F;
        if (isSlice(type))
            return type;
        at += nalLengthSize + int(std::min<int64_t>(length, size));
    }
    return 0;
}

// Length-prefixed NAL units ('avcC' extradata) give their prefix size there.
int nalLengthSizeOf(const AVCodecParameters* parameters)
{
    const uint8_t* extradata = parameters->extradata;
    if (parameters->extradata_size >= 7 && extradata[0] == 1)
        return (extradata[4] & 3) + 1;
    return 0;
}

} // namespace

bool FfmpegH264PictureOrder::available()
{
    void* opaque = nullptr;
    while (const AVCodecParser* parser = av_parser_iterate(&opaque)) {
        for (int codec : parser->codec_ids) {
            if (codec == AV_CODEC_ID_H264)
                return true;
        }
    }
    return false;
}

std::unique_ptr<FfmpegH264PictureOrder> FfmpegH264PictureOrder::open(const AVCodecParameters* parameters)
{
    ParserPtr parser(av_parser_init(AV_CODEC_ID_H264));
    CodecContextPtr context(avcodec_alloc_context3(nullptr));
    if (!parser || !context || avcodec_parameters_to_context(context.get(), parameters) < 0)
        throw std::bad_alloc();
    // Every packet is one whole picture: the parser reads it at once.
    parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    std::unique_ptr<FfmpegH264PictureOrder> order(new FfmpegH264PictureOrder(std::move(parser), std::move(context)));
    order->nalLengthSize_ = nalLengthSizeOf(parameters);
    return order;
}

FfmpegH264PictureOrder::FfmpegH264PictureOrder(ParserPtr parser, CodecContextPtr context)
    : parser_(std::move(parser)), context_(std::move(context))
{
}

bool FfmpegH264PictureOrder::add(const AVPacket* packet)
{
    uint8_t* output = nullptr;
    int outputSize = 0;
    av_parser_parse2(parser_.get(), context_.get(), &output, &outputSize, packet->data, packet->size, packet->pts,
                     packet->dts, packet->pos);
    if (firstSliceType(packet->data, packet->size, nalLengthSize_) == kIdrSlice)
        ++period_;
    pictures_.push_back({period_, parser_->output_picture_number});
    // A recovery point at a predicted picture refreshes the picture over
    // the following ones (intra refresh): the picture itself is not whole.
    return parser_->key_frame == 1 && parser_->pict_type == AV_PICTURE_TYPE_I;
}

std::vector<size_t> FfmpegH264PictureOrder::shownOrder() const
{
    std::vector<size_t> order(pictures_.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(), [this](size_t a, size_t b) {
        const Picture& x = pictures_[a];
        const Picture& y = pictures_[b];
        return x.period != y.period ? x.period < y.period : x.count < y.count;
    });
    return order;
}

} // namespace QelRuntime
