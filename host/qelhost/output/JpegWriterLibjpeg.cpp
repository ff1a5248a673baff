#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <memory>
#include <vector>

#include <jpeglib.h>

#include "output/JpegWriter.h"
#include "report/CommandError.h"

namespace Qel::Cli {

namespace {

constexpr int kQuality = 90;

// libjpeg reports errors through error_exit, which must not return: it
// jumps back into compress.
struct JumpingErrors {
    jpeg_error_mgr manager;
    std::jmp_buf back;
};

[[noreturn]] void jumpBack(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JumpingErrors*>(info->err)->back, 1);
}

// Compresses into a block that libjpeg allocates (freed by the caller with
// free). The work happens in this one frame, which holds no object with a
// destructor across the jump; `row` is made before it.
bool compress(const Picture& picture, std::vector<uint8_t>& row, unsigned char** bytes, unsigned long* size)
{
    jpeg_compress_struct info{};
    JumpingErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jumpBack;
    if (setjmp(errors.back)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, bytes, size);
    info.image_width = JDIMENSION(picture.width);
    info.image_height = JDIMENSION(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, kQuality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        const uint8_t* source = picture.at(0, int32_t(info.next_scanline));
        for (int32_t x = 0; x < picture.width; ++x)
            std::copy(source + x * picture.channels, source + x * picture.channels + 3, row.data() + x * 3);
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

struct Freer {
    void operator()(unsigned char* bytes) const { std::free(bytes); }
};

} // namespace

bool jpegAvailable()
{
    return true;
}

void writeJpeg(OutputFile& out, const Picture& picture)
{
    std::vector<uint8_t> row(size_t(picture.width) * 3);
    unsigned char* bytes = nullptr;
    unsigned long size = 0;
    const bool compressed = picture.width > 0 && picture.height > 0 && compress(picture, row, &bytes, &size);
    const std::unique_ptr<unsigned char, Freer> owned(bytes);
    if (!compressed)
        throw CommandError(kExitFailed, "cannot write " + out.name() + " (the JPEG library failed)");
    out.write(owned.get(), size);
}

} // namespace Qel::Cli
