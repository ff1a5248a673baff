#include "FfmpegContainers.h"

#include "FfmpegLibraries.h"

#include <cstring>

namespace Qel {

namespace {

bool demuxerNamed(const AVFormatContext* format, const char* name)
{
    return std::strcmp(format->iformat->name, name) == 0;
}

} // namespace

bool isQuickTimeOrMp4(const AVFormatContext* format) { return std::strstr(format->iformat->name, "mov") != nullptr; }

bool isAvi(const AVFormatContext* format) { return demuxerNamed(format, "avi"); }

bool isMatroska(const AVFormatContext* format) { return std::strstr(format->iformat->name, "matroska") != nullptr; }

bool isAsf(const AVFormatContext* format) { return demuxerNamed(format, "asf"); }

bool isRawDv(const AVFormatContext* format) { return demuxerNamed(format, "dv"); }

bool isMxf(const AVFormatContext* format) { return demuxerNamed(format, "mxf"); }

bool isMpegSystemStream(const AVFormatContext* format)
{
    return demuxerNamed(format, "mpeg") || demuxerNamed(format, "mpegts") || demuxerNamed(format, "mpegvideo");
}

bool keepsCompleteIndex(const AVFormatContext* format) { return isQuickTimeOrMp4(format) || isAvi(format); }

bool headerDescribesStreams(const AVFormatContext* format)
{
    return isQuickTimeOrMp4(format) && !(format->ctx_flags & AVFMTCTX_NOHEADER);
}

} // namespace Qel
