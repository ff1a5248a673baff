// Reads a PNG file into 8-bit RGB or RGBA rows with libpng (Linux build).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <png.h>

namespace Qel::Testing {

struct PngImage {
    int width = 0;
    int height = 0;
    int channels = 0;
    std::vector<uint8_t> pixels;
    const uint8_t* at(int x, int y) const { return pixels.data() + (size_t(y) * size_t(width) + size_t(x)) * size_t(channels); }
};

inline PngImage readPng(const std::string& path)
{
    PngImage image;
    png_image reader{};
    reader.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&reader, path.c_str()))
        return image;
    const bool alpha = reader.format & PNG_FORMAT_FLAG_ALPHA;
    reader.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    image.width = int(reader.width);
    image.height = int(reader.height);
    image.channels = alpha ? 4 : 3;
    image.pixels.resize(PNG_IMAGE_SIZE(reader));
    if (!png_image_finish_read(&reader, nullptr, image.pixels.data(), 0, nullptr))
        return PngImage{};
    return image;
}

} // namespace Qel::Testing
