#include <cstdio>
#include <memory>

#include <png.h>

#include "CommandError.h"
#include "PngWriter.h"

namespace Qel::Cli {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// libpng reports errors through longjmp; the write happens in this one
// frame, which holds no object with a destructor across the jump.
bool writeRows(std::FILE* file, const Picture& picture)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
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

bool pngAvailable()
{
    return true;
}

void writePng(const std::string& path, const Picture& picture)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file)
        throw CommandError(kExitFailed, "cannot create " + path);
    const bool written = picture.width > 0 && picture.height > 0 && writeRows(file.get(), picture);
    if (!written || std::fclose(file.release()) != 0)
        throw CommandError(kExitFailed, "cannot write " + path);
}

} // namespace Qel::Cli
