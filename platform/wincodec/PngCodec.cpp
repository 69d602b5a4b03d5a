// PNG reading and writing over libpng. libpng reports errors by longjmp to the setjmp of the
// function that called it; every function here sets one up before its first libpng call and
// holds nothing that needs a destructor across it, so an error frees the libpng structures and
// comes back as an HRESULT. libpng's own messages are not printed.
#include "wincodec/Codecs.h"

#include <png.h>

#include <cstring>

namespace tarn::platform {
namespace {

constexpr uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// libpng refuses pictures beyond these before it allocates for them.
constexpr uint32_t MAX_SIDE = 65535;

struct MemorySource {
    const uint8_t* data;
    size_t size;
    size_t offset;
};

void ReadFromMemory(png_structp png, png_bytep out, size_t count) {
    MemorySource* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (count > source->size - source->offset) png_error(png, "truncated");
    std::memcpy(out, source->data + source->offset, count);
    source->offset += count;
}

void Quiet(png_structp, png_const_charp) {}

[[noreturn]] void Abort(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

struct StreamTarget {
    IStream* stream;
    bool failed;
};

void WriteToStream(png_structp png, png_bytep data, size_t count) {
    StreamTarget* target = static_cast<StreamTarget*>(png_get_io_ptr(png));
    while (count > 0) {
        ULONG chunk = count > 0x40000000u ? 0x40000000u : static_cast<ULONG>(count);
        ULONG written = 0;
        if (FAILED(target->stream->Write(data, chunk, &written)) || written != chunk) {
            target->failed = true;
            png_error(png, "write");
        }
        data += chunk;
        count -= chunk;
    }
}

void FlushNothing(png_structp) {}

} // namespace

// Every chunk up to IEND must lie inside the data: libpng allocates what a chunk claims (up to
// 2 GiB for an ancillary one) before it finds the data cut short.
bool ChunksFitTheData(const uint8_t* data, size_t size) {
    size_t at = sizeof SIGNATURE;
    while (size - at >= 8) {
        const uint32_t length = uint32_t{data[at]} << 24 | uint32_t{data[at + 1]} << 16 |
                                uint32_t{data[at + 2]} << 8 | data[at + 3];
        if (length > size - at - 8 || size - at - 8 - length < 4) return false;
        if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
        at += 12 + static_cast<size_t>(length);
    }
    return true;
}

bool HasPngSignature(const uint8_t* data, size_t size) {
    return data && size >= sizeof SIGNATURE && std::memcmp(data, SIGNATURE, sizeof SIGNATURE) == 0;
}

namespace {

// A libpng reader over PNG data in memory, with its info structure, destroyed with the object.
// libpng's errors jump to a setjmp, which the caller sets after Open: the jump must land in a
// frame that is still running.
struct Reader {
    png_structp png = nullptr;
    png_infop info = nullptr;
    MemorySource source{};

    Reader() = default;
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    ~Reader() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
    // S_OK; WINCODEC_ERR_COMPONENTNOTFOUND for data that is not PNG, `damaged` for chunks that
    // do not fit the data, E_OUTOFMEMORY.
    HRESULT Open(const uint8_t* data, size_t size, HRESULT damaged) {
        if (!HasPngSignature(data, size)) return WINCODEC_ERR_COMPONENTNOTFOUND;
        if (!ChunksFitTheData(data, size)) return damaged;
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Abort, Quiet);
        if (!png) return E_OUTOFMEMORY;
        png_set_user_limits(png, MAX_SIDE, MAX_SIDE);
        info = png_create_info_struct(png);
        if (!info) return E_OUTOFMEMORY;
        source = MemorySource{data, size, 0};
        png_set_read_fn(png, &source, ReadFromMemory);
        return S_OK;
    }
};

} // namespace

HRESULT ReadPngHeader(const uint8_t* data, size_t size, PngHeader* header) {
    Reader reader;
    if (HRESULT hr = reader.Open(data, size, WINCODEC_ERR_BADHEADER); FAILED(hr)) return hr;
    png_structp png = reader.png;
    png_infop info = reader.info;
    if (setjmp(png_jmpbuf(png))) return WINCODEC_ERR_BADHEADER;
    png_read_info(png, info);
    header->width = png_get_image_width(png, info);
    header->height = png_get_image_height(png, info);
    header->bitDepth = png_get_bit_depth(png, info);
    header->colourType = png_get_color_type(png, info);
    header->interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
    header->transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    return S_OK;
}

HRESULT DecodePng(const uint8_t* data, size_t size, PngRows layout, uint8_t* const* rows) {
    if (DecodePngWhole(data, size, layout, rows) == S_OK) return S_OK;
    return DecodePngWithLibpng(data, size, layout, rows);
}

HRESULT DecodePngWithLibpng(const uint8_t* data, size_t size, PngRows layout,
                            uint8_t* const* rows) {
    Reader reader;
    if (HRESULT hr = reader.Open(data, size, WINCODEC_ERR_BADIMAGE); FAILED(hr)) return hr;
    png_structp png = reader.png;
    png_infop info = reader.info;
    if (setjmp(png_jmpbuf(png))) return WINCODEC_ERR_BADIMAGE;
    // Every byte of the compressed image data is already checked by its chunk's CRC, so the
    // deflate stream's own Adler-32 (a pass over all the decoded bytes) tells nothing more of
    // the file; a stream that does not inflate is still an error.
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
    png_read_info(png, info);
    // Everything to 8-bit blue-green-red: palettes, low depths and tRNS expanded, 16-bit samples
    // rounded (v * 255 / 65535, i.e. v / 257), grey repeated into the three channels.
    png_set_expand(png);
    png_set_scale_16(png);
    png_set_gray_to_rgb(png);
    png_set_bgr(png);
    if (layout == PngRows::Bgr24)
        png_set_strip_alpha(png);
    else
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) !=
        static_cast<size_t>(png_get_image_width(png, info)) * (layout == PngRows::Bgr24 ? 3 : 4))
        png_error(png, "layout");
    png_read_image(png, const_cast<png_bytepp>(rows));
    // The chunks after the image data: checksums checked, up to the end chunk.
    png_read_end(png, nullptr);
    return S_OK;
}

HRESULT EncodePng(IStream* stream, uint32_t width, uint32_t height, PngRows layout,
                  const uint8_t* const* rows) {
    if (!stream || !rows || width == 0 || height == 0) return E_INVALIDARG;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, Abort, Quiet);
    if (!png) return E_OUTOFMEMORY;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return E_OUTOFMEMORY;
    }
    StreamTarget target{stream, false};
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return target.failed ? WINCODEC_ERR_STREAMWRITE : E_FAIL;
    }
    png_set_write_fn(png, &target, WriteToStream, FlushNothing);
    png_set_IHDR(png, info, width, height, 8,
                 layout == PngRows::Bgr24 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_bgr(png);
    png_write_image(png, const_cast<png_bytepp>(rows));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return S_OK;
}

} // namespace tarn::platform
