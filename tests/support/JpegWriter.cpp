#include "support/JpegWriter.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace samples {

Bytes WriteJpeg(int width, int height, int components, const JpegRowFiller& fillRow,
                const JpegOptions& options) {
    if (width <= 0 || height <= 0 || width > 65500 || height > 65500) return {};
    if (components != 1 && components != 3) return {};
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, options.quality, TRUE);
    if (options.progressive) jpeg_simple_progression(&cinfo);
    if (options.lumaSampling > 0) {
        cinfo.comp_info[0].h_samp_factor = options.lumaSampling;
        cinfo.comp_info[0].v_samp_factor = options.lumaSampling;
    }
    if (options.exif) cinfo.write_JFIF_header = FALSE;
    jpeg_start_compress(&cinfo, TRUE);
    if (options.exif) {
        // "Exif\0\0" and an empty little-endian TIFF directory.
        const unsigned char exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8,
                                      0,   0,   0,   0,   0, 0, 0,   0,   0,  0, 0};
        jpeg_write_marker(&cinfo, JPEG_APP0 + 1, exif, sizeof exif);
    }
    Bytes row(static_cast<size_t>(width) * components);
    while (cinfo.next_scanline < cinfo.image_height) {
        fillRow(static_cast<int>(cinfo.next_scanline), row.data());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    Bytes file(out, out + outSize);
    jpeg_destroy_compress(&cinfo);
    std::free(out);
    return file;
}

} // namespace samples
