// JPEG decoding for the picture loader, on libjpeg-turbo. libjpeg reports fatal errors by calling
// error_exit, which by default ends the process; ours jumps back to DecodeJpeg instead, so a
// hostile file only ever costs a failure result. Between setjmp and the jump nothing here owns
// a C++ object with a destructor: the state lives in plain structs freed after the jump.
#include "ole/JpegDecoder.h"

#include <olectl.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>

namespace tarn::platform {
namespace {

// Progressive files may hold any number of scans; a file with thousands of tiny scans costs
// minutes of work. Real encoders write a dozen at most.
constexpr int MAX_SCANS = 1000;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
    ErrorManager* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(errors->jump, 1);
}

// Warnings (corrupt data, early end of file) are counted by libjpeg; nothing is printed.
void OutputMessage(j_common_ptr) {}

void ProgressMonitor(j_common_ptr cinfo) {
    j_decompress_ptr dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (dinfo->is_decompressor && dinfo->input_scan_number > MAX_SCANS) ErrorExit(cinfo);
}

// Adobe's CMYK files store the channels inverted (255 = no ink); plain CMYK stores ink amounts.
void CmykRowToBgrx(const uint8_t* cmyk, uint8_t* bgrx, int width, bool inverted) {
    for (int x = 0; x < width; ++x, cmyk += 4, bgrx += 4) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        bgrx[0] = (uint8_t)((y * k + 127) / 255);
        bgrx[1] = (uint8_t)((m * k + 127) / 255);
        bgrx[2] = (uint8_t)((c * k + 127) / 255);
        bgrx[3] = 0;
    }
}

// Everything a decode owns, in one block that outlives the jump back from ErrorExit.
struct DecodeState {
    jpeg_decompress_struct cinfo;
    ErrorManager errors;
    jpeg_progress_mgr progress;
    uint8_t* pixels = nullptr;
    uint8_t* cmykRow = nullptr;
    bool created = false;
};

// Where the rows of a banded decode go (see DecodeJpegInBands).
struct BandOutput {
    int rows = 0;
    JpegBandSink sink = nullptr;
    void* context = nullptr;
};

// Reads the header and checks the size; with `out` and `bands` null it stops there. Otherwise it
// decodes every row in the layout asked for: straight into the picture's memory, or with
// `bands` into a buffer of bands->rows rows handed to the sink whenever it is full.
HRESULT Run(DecodeState* s, const uint8_t* data, size_t size, JpegLayout layout, JpegInfo* info,
            DecodedPicture* out, const BandOutput* bands = nullptr) {
    j_decompress_ptr cinfo = &s->cinfo;
    cinfo->err = jpeg_std_error(&s->errors.base);
    s->errors.base.error_exit = ErrorExit;
    s->errors.base.output_message = OutputMessage;
    if (setjmp(s->errors.jump)) return CTL_E_INVALIDPICTURE;

    jpeg_create_decompress(cinfo);
    s->created = true;
    s->progress.progress_monitor = ProgressMonitor;
    cinfo->progress = &s->progress;
    jpeg_mem_src(cinfo, data, (unsigned long)size);
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return CTL_E_INVALIDPICTURE;

    uint32_t width = cinfo->image_width, height = cinfo->image_height;
    if (width == 0 || height == 0 || width > MAX_JPEG_SIDE || height > MAX_JPEG_SIDE ||
        (uint64_t)width * height > MAX_JPEG_PIXELS)
        return CTL_E_INVALIDPICTURE;
    bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    info->width = (int)width;
    info->height = (int)height;
    info->cmyk = cmyk;
    if (!out && !bands) return S_OK;

    bool rgb565 = layout == JpegLayout::Rgb565 && !cmyk;
    if (cmyk)
        cinfo->out_color_space = JCS_CMYK;
    else if (rgb565)
        cinfo->out_color_space = JCS_RGB565;
    else
        cinfo->out_color_space = JCS_EXT_BGRX;
    cinfo->dither_mode = JDITHER_NONE;
    jpeg_start_decompress(cinfo);
    if (cinfo->output_width != width || cinfo->output_height != height ||
        (!rgb565 && cinfo->output_components != 4))
        return CTL_E_INVALIDPICTURE;

    size_t stride = rgb565 ? ((size_t)width * 2 + 3) & ~(size_t)3 : (size_t)width * 4;
    const uint32_t bufferRows =
        bands && (uint32_t)bands->rows < height ? (uint32_t)bands->rows : height;
    s->pixels = static_cast<uint8_t*>(std::malloc(stride * bufferRows));
    if (!s->pixels) return E_OUTOFMEMORY;
    if (cmyk) {
        s->cmykRow = static_cast<uint8_t*>(std::malloc((size_t)width * 4));
        if (!s->cmykRow) return E_OUTOFMEMORY;
    }

    DecodedPicture band;
    band.width = (int)width;
    band.bitsPerPixel = rgb565 ? 16 : 32;
    band.layout = rgb565 ? JpegLayout::Rgb565 : JpegLayout::Bgrx32;
    band.stride = (int)stride;
    band.pixels = s->pixels;

    // Rows go straight into the buffer, several per call when libjpeg offers them; a band that
    // is full (or the last one) goes to the sink.
    bool inverted = cinfo->saw_Adobe_marker;
    uint32_t bandTop = 0;
    while (cinfo->output_scanline < height) {
        const uint32_t inBand = cinfo->output_scanline - bandTop;
        uint8_t* row = s->pixels + stride * inBand;
        if (cmyk) {
            JSAMPROW line = s->cmykRow;
            if (jpeg_read_scanlines(cinfo, &line, 1) != 1) return CTL_E_INVALIDPICTURE;
            CmykRowToBgrx(s->cmykRow, row, (int)width, inverted);
        } else {
            JSAMPROW rows[8];
            JDIMENSION want = bufferRows - inBand;
            if (want > 8) want = 8;
            for (JDIMENSION i = 0; i < want; ++i) rows[i] = row + stride * i;
            if (jpeg_read_scanlines(cinfo, rows, want) == 0) return CTL_E_INVALIDPICTURE;
        }
        const uint32_t filled = cinfo->output_scanline - bandTop;
        if (bands && (filled == bufferRows || cinfo->output_scanline == height)) {
            band.height = (int)filled;
            HRESULT hr = bands->sink(bands->context, band, (int)bandTop);
            if (FAILED(hr)) return hr;
            bandTop = cinfo->output_scanline;
        }
    }
    jpeg_finish_decompress(cinfo);
    if (!out) return S_OK;

    band.height = (int)height;
    *out = band;
    s->pixels = nullptr;
    return S_OK;
}

// One run with everything it owns released afterwards, whichever way it ended.
HRESULT RunOnce(const uint8_t* data, size_t size, JpegLayout layout, JpegInfo* info,
                DecodedPicture* out, const BandOutput* bands = nullptr) {
    if (!data || size == 0 || size > 0x7fffffff) return CTL_E_INVALIDPICTURE;
    DecodeState* state = new (std::nothrow) DecodeState();
    if (!state) return E_OUTOFMEMORY;
    HRESULT hr = Run(state, data, size, layout, info, out, bands);
    if (state->created) jpeg_destroy_decompress(&state->cinfo);
    std::free(state->pixels);
    std::free(state->cmykRow);
    delete state;
    return hr;
}

} // namespace

HRESULT DecodeJpeg(const uint8_t* data, size_t size, JpegLayout layout, DecodedPicture* out) {
    *out = DecodedPicture{};
    JpegInfo info;
    return RunOnce(data, size, layout, &info, out);
}

HRESULT ReadJpegInfo(const uint8_t* data, size_t size, JpegInfo* info) {
    *info = JpegInfo{};
    return RunOnce(data, size, JpegLayout::Bgrx32, info, nullptr);
}

HRESULT DecodeJpegInBands(const uint8_t* data, size_t size, JpegLayout layout, int bandRows,
                          JpegBandSink sink, void* context) {
    if (bandRows <= 0 || !sink) return E_INVALIDARG;
    BandOutput bands;
    bands.rows = bandRows;
    bands.sink = sink;
    bands.context = context;
    JpegInfo info;
    return RunOnce(data, size, layout, &info, nullptr, &bands);
}

void FreeDecodedPicture(DecodedPicture* picture) {
    std::free(picture->pixels);
    *picture = DecodedPicture{};
}

} // namespace tarn::platform
