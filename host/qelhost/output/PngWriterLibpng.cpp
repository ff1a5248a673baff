#include <string>

#include <png.h>

#include "output/PngWriter.h"
#include "report/CommandError.h"

namespace Qel::Cli {

namespace {

// What the output threw while libpng was writing: libpng's own error path
// (longjmp) must not be crossed by an exception, so it is kept here and
// thrown again once libpng has been left.
struct WriteTarget {
    OutputFile* out;
    std::string failure;
    ExitCode code = kExitFailed;
};

void writeBytes(png_structp png, png_bytep bytes, png_size_t count)
{
    auto* target = static_cast<WriteTarget*>(png_get_io_ptr(png));
    try {
        target->out->write(bytes, count);
        return;
    } catch (const CommandError& error) {
        target->failure = error.what();
        target->code = error.exitCode();
    }
    png_error(png, "write failed");
}

void flushNothing(png_structp) {}

// libpng reports errors through longjmp; the write happens in this one
// frame, which holds no object with a destructor across the jump.
bool writeRows(WriteTarget& target, const Picture& picture)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, &target, writeBytes, flushNothing);
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height), 8,
                 picture.channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < picture.height; ++y)
        png_write_row(png, picture.pixels.data() + size_t(y) * size_t(picture.width) * size_t(picture.channels));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

void writePng(OutputFile& out, const Picture& picture)
{
    WriteTarget target{&out, {}};
    const bool written = picture.width > 0 && picture.height > 0 && writeRows(target, picture);
    if (!target.failure.empty())
        throw CommandError(target.code, target.failure);
    if (!written)
        throw CommandError(kExitFailed, "cannot encode the picture as PNG for " + out.name());
}

} // namespace Qel::Cli
