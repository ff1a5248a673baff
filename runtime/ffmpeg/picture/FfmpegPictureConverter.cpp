#include "FfmpegPictureConverter.h"

#include "source/PixelFormats.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <cstring>

namespace QelRuntime {

namespace {

AVPixelFormat ffmpegFormatOf(QtOSType pixelFormat)
{
    switch (pixelFormat) {
    case PixelFormats::kYuy2:
        return AV_PIX_FMT_YUYV422;
    case PixelFormats::kUyvy:
        return AV_PIX_FMT_UYVY422;
    case PixelFormats::kArgb:
        return AV_PIX_FMT_ARGB;
    case PixelFormats::kYvu9:
        return AV_PIX_FMT_YUV410P;
    default:
        return AV_PIX_FMT_NONE;
    }
}

// A decoder stores the codes of a stream's colour description as the stream
// gives them, values outside the enumerations included: they are read as
// the integers they are.
template <class Enumeration>
int codeOf(const Enumeration& field)
{
    static_assert(sizeof(Enumeration) == sizeof(int), "FFmpeg's enumerations are stored as int");
    int code = 0;
    std::memcpy(&code, &field, sizeof code);
    return code;
}

// Pictures whose matrix is not recorded are taken as BT.601, as FFmpeg's own
// tools take them.
int matrixOf(const AVFrame* picture)
{
    switch (codeOf(picture->colorspace)) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_FCC:
        return SWS_CS_FCC;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    default:
        return SWS_CS_DEFAULT;
    }
}

bool isFullRange(const AVFrame* picture)
{
    switch (picture->format) {
    case AV_PIX_FMT_YUVJ420P:
    case AV_PIX_FMT_YUVJ422P:
    case AV_PIX_FMT_YUVJ444P:
    case AV_PIX_FMT_YUVJ440P:
    case AV_PIX_FMT_YUVJ411P:
        return true;
    default:
        return codeOf(picture->color_range) == AVCOL_RANGE_JPEG;
    }
}

AVPixelFormat withoutFullRangeAlias(AVPixelFormat format)
{
    switch (format) {
    case AV_PIX_FMT_YUVJ420P:
        return AV_PIX_FMT_YUV420P;
    case AV_PIX_FMT_YUVJ422P:
        return AV_PIX_FMT_YUV422P;
    case AV_PIX_FMT_YUVJ444P:
        return AV_PIX_FMT_YUV444P;
    case AV_PIX_FMT_YUVJ440P:
        return AV_PIX_FMT_YUV440P;
    case AV_PIX_FMT_YUVJ411P:
        return AV_PIX_FMT_YUV411P;
    default:
        return format;
    }
}

// The ranges are known to swscale before it chooses its way of converting:
// its direct conversions between formats of one size (planar 4:2:2 to
// packed, for one) copy the values as they are, and are only chosen where
// both ranges agree. The full-range aliases are therefore replaced by their
// plain formats with the range given apart.
ScaleContextPtr makeScaleContext(const ScaleSetting& setting)
{
    ScaleContextPtr context(sws_alloc_context());
    if (!context)
        return nullptr;
    SwsContext* c = context.get();
    const bool set = av_opt_set_int(c, "srcw", setting.sourceWidth, 0) >= 0 &&
                     av_opt_set_int(c, "srch", setting.sourceHeight, 0) >= 0 &&
                     av_opt_set_int(c, "src_format", setting.sourceFormat, 0) >= 0 &&
                     av_opt_set_int(c, "src_range", setting.sourceFullRange, 0) >= 0 &&
                     av_opt_set_int(c, "dstw", setting.targetWidth, 0) >= 0 &&
                     av_opt_set_int(c, "dsth", setting.targetHeight, 0) >= 0 &&
                     av_opt_set_int(c, "dst_format", setting.targetFormat, 0) >= 0 &&
                     av_opt_set_int(c, "dst_range", setting.targetFullRange, 0) >= 0 &&
                     av_opt_set_int(c, "sws_flags", SWS_BICUBIC, 0) >= 0;
    if (!set || sws_init_context(c, nullptr, nullptr) < 0)
        return nullptr;
    return context;
}

// libswscale's vector code for planar 4:2:2 into packed rows writes whole
// blocks of 16 pixels, up to 30 bytes past the last row.
constexpr size_t kSwscaleRowOverrun = 32;

bool isPacked422(AVPixelFormat format) { return format == AV_PIX_FMT_YUYV422 || format == AV_PIX_FMT_UYVY422; }

} // namespace

bool FfmpegPictureConverter::supports(QtOSType pixelFormat)
{
    return ffmpegFormatOf(pixelFormat) != AV_PIX_FMT_NONE;
}

bool FfmpegPictureConverter::convert(const AVFrame* picture, const FfmpegSurface& surface)
{
    const AVPixelFormat target = ffmpegFormatOf(surface.pixelFormat);
    const bool planar = target == AV_PIX_FMT_YUV410P;
    const int minimumRowBytes = planar ? surface.width : surface.width * (target == AV_PIX_FMT_ARGB ? 4 : 2);
    if (target == AV_PIX_FMT_NONE || !surface.base || surface.width <= 0 || surface.height <= 0 ||
        surface.rowBytes < minimumRowBytes || picture->width <= 0 || picture->height <= 0)
        return false;

    // YUV surfaces keep the source's matrix in video range; ARGB is full range.
    const ScaleSetting setting{picture->width, picture->height, withoutFullRangeAlias(AVPixelFormat(picture->format)),
                               isFullRange(picture),   surface.width,  surface.height,
                               target,                 target == AV_PIX_FMT_ARGB};
    const bool sameSize = picture->width == surface.width && picture->height == surface.height;
    if (isPacked422(target) && sameSize &&
        packed_.convert(picture, setting.sourceFullRange, target, surface.base, surface.rowBytes))
        return true;
    if (target == AV_PIX_FMT_ARGB && sameSize &&
        convertToArgb(picture, setting.sourceFullRange, sws_getCoefficients(matrixOf(picture)), vectors_, surface.base,
                      surface.rowBytes))
        return true;
    if (isPacked422(target) && surface.width % 2 != 0)
        return convertOddPairs(picture, setting, surface);

    if (planar)
        return convertYvu9(picture, setting, surface);
    uint8_t* planes[4] = {surface.base, nullptr, nullptr, nullptr};
    const int strides[4] = {surface.rowBytes, 0, 0, 0};
    if (!scale(picture, setting, planes, strides))
        return false;
    if (target == AV_PIX_FMT_ARGB && sameSize)
        writeLastArgbColumn(picture, setting.sourceFullRange, sws_getCoefficients(matrixOf(picture)), surface.base,
                            surface.rowBytes);
    return true;
}

bool FfmpegPictureConverter::scale(const AVFrame* picture, const ScaleSetting& setting, uint8_t* const planes[4],
                                   const int strides[4])
{
    if (!context_ || !(setting == setting_)) {
        context_ = makeScaleContext(setting);
        setting_ = setting;
    }
    if (!context_)
        return false;
    const int* matrix = sws_getCoefficients(matrixOf(picture));
    sws_setColorspaceDetails(context_.get(), matrix, setting.sourceFullRange ? 1 : 0, matrix,
                             setting.targetFullRange ? 1 : 0, 0, 1 << 16, 1 << 16);
    return sws_scale(context_.get(), picture->data, picture->linesize, 0, picture->height, planes, strides) > 0;
}

// 'YVU9' as the runtime lays it out (PixelFormats::yvu9Layout): the luma
// plane, then the V and the U plane, ceil(rowBytes / 4) per row.
// libswscale's vector code writes each row on to a whole block: a chroma
// row's spill would land in the U plane's first row (after it was written)
// and past the surface. The chroma rows are made apart and copied in; the
// luma rows spill only into the row written next, and libswscale writes the
// last two rows of a conversion with its exact C code.
bool FfmpegPictureConverter::convertYvu9(const AVFrame* picture, const ScaleSetting& setting,
                                         const FfmpegSurface& surface)
{
    const PixelFormats::Yvu9Layout layout = PixelFormats::yvu9Layout(surface.height, surface.rowBytes);
    // libswscale writes a quarter of the width, rounded up, into each row.
    const size_t chromaWidth = size_t(surface.width + 3) / 4;
    const int apartRowBytes = int(chromaWidth + kSwscaleRowOverrun);
    const size_t apartPlaneBytes = size_t(apartRowBytes) * size_t(layout.chromaRows);
    chromaApart_.resize(2 * apartPlaneBytes);
    uint8_t* planes[4] = {surface.base, chromaApart_.data(), chromaApart_.data() + apartPlaneBytes, nullptr};
    const int strides[4] = {surface.rowBytes, apartRowBytes, apartRowBytes, 0};
    if (!scale(picture, setting, planes, strides))
        return false;
    uint8_t* const surfacePlanes[3] = {nullptr, surface.base + layout.uOffset, surface.base + layout.vOffset};
    for (int plane = 1; plane <= 2; ++plane) {
        for (int row = 0; row < layout.chromaRows; ++row)
            std::memcpy(surfacePlanes[plane] + size_t(row) * size_t(layout.chromaRowBytes),
                        planes[plane] + size_t(row) * size_t(apartRowBytes), chromaWidth);
    }
    return true;
}

// A row of an odd-width 4:2:2 surface ends in half a pair: the last pixel's
// luma and its Cb (its Cr has no byte in width x 2). swscale writes whole
// pairs, two bytes past such a row (past the surface on the last one), so
// the picture is converted into rows of whole pairs and copied from there.
// Its direct copy of planar 4:2:2 writes no half pair at all: there the last
// pixel is copied from the source planes, as the rest of the row was.
bool FfmpegPictureConverter::convertOddPairs(const AVFrame* picture, const ScaleSetting& setting,
                                             const FfmpegSurface& surface)
{
    const size_t wholeRowBytes = size_t(surface.width + 1) * 2;
    const size_t rowBytes = size_t(surface.width) * 2;
    wholePairs_.resize(wholeRowBytes * size_t(surface.height) + kSwscaleRowOverrun);
    uint8_t* planes[4] = {wholePairs_.data(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(wholeRowBytes), 0, 0, 0};
    if (!scale(picture, setting, planes, strides))
        return false;
    const bool copiedAsItIs = setting.sourceFormat == AV_PIX_FMT_YUV422P && !setting.sourceFullRange &&
                              setting.sourceWidth == setting.targetWidth &&
                              setting.sourceHeight == setting.targetHeight;
    const bool lumaFirst = setting.targetFormat == AV_PIX_FMT_YUYV422;
    const size_t last = size_t(surface.width - 1);
    for (int y = 0; y < surface.height; ++y) {
        uint8_t* row = wholePairs_.data() + size_t(y) * wholeRowBytes;
        if (copiedAsItIs) {
            row[2 * last + (lumaFirst ? 0 : 1)] = picture->data[0][y * picture->linesize[0] + int(last)];
            row[2 * last + (lumaFirst ? 1 : 0)] = picture->data[1][y * picture->linesize[1] + int(last / 2)];
        }
        std::memcpy(surface.base + size_t(y) * size_t(surface.rowBytes), row, rowBytes);
    }
    return true;
}

} // namespace QelRuntime
