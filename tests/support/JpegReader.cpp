// libjpeg's own decode (see JpegReader.h). Errors leave through longjmp out of libjpeg's error
// handler, so nothing with a destructor lives between the setjmp and the end of the decode.
#include "support/JpegReader.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace samples {
namespace {

struct ErrorManager {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void Quiet(j_common_ptr, int) {}

} // namespace

bool ReadJpeg(const std::vector<unsigned char>& file, JpegColour colour, JpegPixels* out) {
    *out = JpegPixels{};
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    cinfo.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = ErrorExit;
    errors.manager.emit_message = Quiet;
    unsigned char* volatile pixels = nullptr;
    if (setjmp(errors.jump)) {
        delete[] pixels;
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    if (colour == JpegColour::Rgb) cinfo.out_color_space = JCS_RGB;
    if (colour == JpegColour::Rgb565) {
        cinfo.out_color_space = JCS_RGB565;
        cinfo.dither_mode = JDITHER_NONE;
    }
    jpeg_start_decompress(&cinfo);
    const int width = static_cast<int>(cinfo.output_width);
    const int height = static_cast<int>(cinfo.output_height);
    const int bytes = colour == JpegColour::Rgb565 ? 2 : cinfo.output_components;
    const size_t rowBytes = static_cast<size_t>(width) * bytes;
    pixels = new unsigned char[rowBytes * height];
    // Four rows per call: libjpeg hands out as many as its last pass made.
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW rows[4];
        for (JDIMENSION i = 0; i < 4; ++i)
            rows[i] = pixels + rowBytes * std::min<JDIMENSION>(cinfo.output_scanline + i,
                                                               cinfo.output_height - 1);
        jpeg_read_scanlines(&cinfo, rows, 4);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    out->width = width;
    out->height = height;
    out->bytesPerPixel = bytes;
    out->pixels.reset(pixels);
    return true;
}

} // namespace samples
