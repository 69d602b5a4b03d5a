// Saving a surface as a picture file. The locked pixels are read once, through the masks of
// the surface's pixel format, into rows of blue-green-red bytes (or kept as indices for an
// 8-bit BMP); channels narrower than 8 bits are widened by repeating their top bits, so that
// loading the file into a surface of the same format gives the same pixels back. A format whose
// channels cannot be read so (not RGB, a channel without bits, with a gap or outside the pixel) or
// a picture larger than the file format's sizes can say is refused before anything is read or
// allocated for it; sizes are computed in 64 bits. The file is made whole in memory and written
// under a temporary name, then renamed over the target.
#include "surface/TarnSurface.h"

#include "display/TarnScreen.h"
#include "image/TarnFile.h"
#include "image/TarnImageBase.h"
#include "image/TarnImaging.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

constexpr DWORD BMP_FILE_HEADER = 14;
constexpr DWORD BMP_INFO_HEADER = 40;

// What a file's header can say: sizes and offsets are 32-bit, widths and heights 31-bit.
constexpr uint64_t FILE_MAX_BYTES = 0xFFFFFFFFu;
constexpr uint64_t FILE_MAX_SIDE = 0x7FFFFFFFu;

// One channel of a pixel format: where it sits and how to widen it to 8 bits.
struct Channel {
    int shift = 0;
    DWORD max = 0;    // the channel's largest value (mask >> shift)
    BYTE wide[256]{}; // value -> 8 bits, for channels of at most 8 bits
    bool narrow = false;

    // False for a mask that is no channel of a `bits`-bit pixel: empty, with a gap, or reaching
    // past the pixel's bits.
    bool Describe(DWORD mask, int bits) {
        shift = 0;
        max = 0;
        if (!mask || (bits < 32 && (mask >> bits) != 0)) return false;
        while (!(mask & 1u)) {
            mask >>= 1;
            ++shift;
        }
        if ((mask & (mask + 1u)) != 0) return false; // not one run of bits
        max = mask;
        int width = 0;
        while (mask & 1u) {
            mask >>= 1;
            ++width;
        }
        narrow = width <= 8;
        if (!narrow) return true;
        for (DWORD v = 0; v <= max; ++v) wide[v] = TarnWidenChannel(v, width);
        return true;
    }
    BYTE Widen(DWORD pixel) const {
        const DWORD v = (pixel >> shift) & max;
        if (narrow) return wide[v];
        // Wider than 8 bits: scaled down, in 64 bits so a channel of up to 32 bits cannot wrap.
        return static_cast<BYTE>(static_cast<uint64_t>(v) * 255u / max);
    }
};

// The surface's pixels as picture rows, read while the surface is locked.
struct Capture {
    int width = 0;
    int height = 0;
    bool indexed = false;   // 8-bit indices with `palette`, else blue-green-red bytes
    RGBQUAD palette[256]{}; // for indexed captures
    BYTE* rows = nullptr;   // height rows of `stride` bytes, top row first
    DWORD stride = 0;
    ~Capture() { std::free(rows); }
};

bool ReadPalette(IDirectDrawSurface7* surface, RGBQUAD* out) {
    IDirectDrawPalette* palette = nullptr;
    if (!surface || FAILED(surface->GetPalette(&palette)) || !palette) return false;
    PALETTEENTRY entries[256];
    const HRESULT hr = palette->GetEntries(0, 0, 256, entries);
    palette->Release();
    if (FAILED(hr)) return false;
    for (int i = 0; i < 256; ++i) {
        out[i].rgbRed = entries[i].peRed;
        out[i].rgbGreen = entries[i].peGreen;
        out[i].rgbBlue = entries[i].peBlue;
        out[i].rgbReserved = 0;
    }
    return true;
}

// Reads the surface into `capture`: indices when `keepIndices` and the surface is 8-bit, else
// blue-green-red rows padded to 4 bytes. `maxImageBytes` is the most the file format can hold
// of rows: a picture with more (or a side longer than a header can say) is refused with
// DDERR_TOOBIGSIZE before anything is allocated.
HRESULT CaptureSurface(TarnSurface& s, bool keepIndices, uint64_t maxImageBytes, Capture* capture) {
    if (!s.surface || s.width <= 0 || s.height <= 0) return E_INVALIDARG;
    const int locked = s.Lock();
    if (locked <= 0) return locked < 0 ? static_cast<HRESULT>(locked) : E_FAIL;

    const DDPIXELFORMAT& format = s.surfaceDesc.ddpfPixelFormat;
    const int bits = static_cast<int>(format.dwRGBBitCount);
    HRESULT result = S_OK;
    const bool paletted = (format.dwFlags & DDPF_PALETTEINDEXED8) || bits == 8;
    Channel red, green, blue;
    if (bits != 8 && bits != 16 && bits != 24 && bits != 32) result = DDERR_INVALIDPIXELFORMAT;
    if (SUCCEEDED(result) && !paletted &&
        (!(format.dwFlags & DDPF_RGB) || !red.Describe(format.dwRBitMask, bits) ||
         !green.Describe(format.dwGBitMask, bits) || !blue.Describe(format.dwBBitMask, bits)))
        result = DDERR_INVALIDPIXELFORMAT;
    if (SUCCEEDED(result) && paletted && !ReadPalette(s.surface, capture->palette) &&
        !(s.screen && s.screen->GetFront() &&
          ReadPalette(s.screen->GetFront()->surface, capture->palette)))
        result = DDERR_NOPALETTEATTACHED;
    if (SUCCEEDED(result) && !s.surfaceDesc.lpSurface) result = E_FAIL;

    capture->indexed = paletted && keepIndices;
    const uint64_t pixelBytes = capture->indexed ? 1 : 3;
    const uint64_t columns = s.surfaceDesc.dwWidth, rowCount = s.surfaceDesc.dwHeight;
    const uint64_t stride = (columns * pixelBytes + 3) & ~uint64_t{3};
    // maxImageBytes is at most 2^32 - 1, which size_t holds on 32-bit machines too.
    if (SUCCEEDED(result) &&
        (columns > FILE_MAX_SIDE || rowCount > FILE_MAX_SIDE || stride * rowCount > maxImageBytes))
        result = DDERR_TOOBIGSIZE;
    if (SUCCEEDED(result)) {
        capture->width = static_cast<int>(columns);
        capture->height = static_cast<int>(rowCount);
        capture->stride = static_cast<DWORD>(stride);
        capture->rows = static_cast<BYTE*>(std::calloc(static_cast<size_t>(stride * rowCount), 1));
        if (!capture->rows) result = E_OUTOFMEMORY;
    }
    if (SUCCEEDED(result)) {
        const int width = capture->width, height = capture->height;
        const int sourceBytes = bits / 8;
        for (int y = 0; y < height; ++y) {
            const BYTE* in = static_cast<const BYTE*>(s.surfaceDesc.lpSurface) +
                             static_cast<ptrdiff_t>(s.surfaceDesc.lPitch) * y;
            BYTE* out = capture->rows + static_cast<size_t>(capture->stride) * y;
            if (capture->indexed) {
                std::memcpy(out, in, static_cast<size_t>(width));
            } else if (paletted) {
                for (int x = 0; x < width; ++x, out += 3) {
                    const RGBQUAD& c = capture->palette[in[x]];
                    out[0] = c.rgbBlue;
                    out[1] = c.rgbGreen;
                    out[2] = c.rgbRed;
                }
            } else if (sourceBytes == 2) {
                // A row of an odd pitch starts at an odd address: each pixel is copied out.
                for (int x = 0; x < width; ++x, in += 2, out += 3) {
                    WORD pixel;
                    std::memcpy(&pixel, in, sizeof(pixel));
                    out[0] = blue.Widen(pixel);
                    out[1] = green.Widen(pixel);
                    out[2] = red.Widen(pixel);
                }
            } else {
                for (int x = 0; x < width; ++x, in += sourceBytes, out += 3) {
                    DWORD p = in[0] | (in[1] << 8) | (static_cast<DWORD>(in[2]) << 16);
                    if (sourceBytes == 4) p |= static_cast<DWORD>(in[3]) << 24;
                    out[0] = blue.Widen(p);
                    out[1] = green.Widen(p);
                    out[2] = red.Widen(p);
                }
            }
        }
    }
    s.Unlock();
    return result;
}

void PutLE(BYTE* at, DWORD value, int bytes) {
    for (int i = 0; i < bytes; ++i) at[i] = static_cast<BYTE>(value >> (8 * i));
}

} // namespace

HRESULT TarnSurface::SaveBMP(const char* name) {
    if (!name || !*name) return E_INVALIDARG;
    // The rows and the headers (with an 8-bit surface's colour table) in one file of 32-bit size.
    const DWORD largestHeaders = BMP_FILE_HEADER + BMP_INFO_HEADER + 256 * 4;
    Capture capture;
    HRESULT hr = CaptureSurface(*this, true, FILE_MAX_BYTES - largestHeaders, &capture);
    if (FAILED(hr)) return hr;

    const DWORD colours = capture.indexed ? 256 : 0;
    const DWORD offset = BMP_FILE_HEADER + BMP_INFO_HEADER + colours * 4;
    const size_t stride = capture.stride;
    const DWORD imageBytes = static_cast<DWORD>(stride * static_cast<size_t>(capture.height));
    const DWORD fileBytes = offset + imageBytes;
    BYTE* file = static_cast<BYTE*>(std::calloc(fileBytes, 1));
    if (!file) return E_OUTOFMEMORY;
    file[0] = 'B';
    file[1] = 'M';
    PutLE(file + 2, fileBytes, 4);
    PutLE(file + 10, offset, 4);
    BYTE* info = file + BMP_FILE_HEADER;
    PutLE(info + 0, BMP_INFO_HEADER, 4);
    PutLE(info + 4, static_cast<DWORD>(capture.width), 4);
    PutLE(info + 8, static_cast<DWORD>(capture.height), 4); // bottom-up
    PutLE(info + 12, 1, 2);
    PutLE(info + 14, capture.indexed ? 8 : 24, 2);
    PutLE(info + 20, imageBytes, 4);
    PutLE(info + 24, 2835, 4); // 72 dots per inch
    PutLE(info + 28, 2835, 4);
    PutLE(info + 32, colours, 4);
    for (DWORD i = 0; i < colours; ++i) {
        BYTE* entry = info + BMP_INFO_HEADER + i * 4;
        entry[0] = capture.palette[i].rgbBlue;
        entry[1] = capture.palette[i].rgbGreen;
        entry[2] = capture.palette[i].rgbRed;
    }
    for (int y = 0; y < capture.height; ++y)
        std::memcpy(file + offset + stride * static_cast<size_t>(capture.height - 1 - y),
                    capture.rows + stride * static_cast<size_t>(y), stride);
    hr = TarnFile::WriteReplacing(name, file, fileBytes);
    std::free(file);
    return hr;
}

HRESULT TarnSurface::SavePNG(const char* name) {
    if (!name || !*name) return E_INVALIDARG;
    // The encoder takes the rows in one buffer of a 32-bit size.
    Capture capture;
    HRESULT hr = CaptureSurface(*this, false, FILE_MAX_BYTES, &capture);
    if (FAILED(hr)) return hr;

    TarnImaging imaging;
    if (!imaging.factory) return REGDB_E_CLASSNOTREG;
    TarnReleased<IStream> stream;
    TarnReleased<IWICBitmapEncoder> encoder;
    TarnReleased<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    const UINT width = static_cast<UINT>(capture.width), height = static_cast<UINT>(capture.height);
    if (FAILED(hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
        FAILED(hr = imaging.factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
        FAILED(hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
        FAILED(hr = encoder->CreateNewFrame(&frame, nullptr)) ||
        FAILED(hr = frame->Initialize(nullptr)) || FAILED(hr = frame->SetSize(width, height)) ||
        FAILED(hr = frame->SetPixelFormat(&format)))
        return hr;
    if (format != GUID_WICPixelFormat24bppBGR) return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    if (FAILED(hr = frame->WritePixels(height, capture.stride, capture.stride * height,
                                       capture.rows)) ||
        FAILED(hr = frame->Commit()) || FAILED(hr = encoder->Commit()))
        return hr;

    // The encoded file is the stream's block, up to the stream's size.
    STATSTG stat;
    HGLOBAL block = nullptr;
    if (FAILED(hr = stream->Stat(&stat, STATFLAG_NONAME)) ||
        FAILED(hr = GetHGlobalFromStream(stream.get(), &block)))
        return hr;
    if (stat.cbSize.QuadPart > 0x7FFFFFFFu) return E_OUTOFMEMORY;
    const void* bytes = GlobalLock(block);
    if (!bytes) return E_OUTOFMEMORY;
    hr = TarnFile::WriteReplacing(name, bytes, static_cast<DWORD>(stat.cbSize.QuadPart));
    GlobalUnlock(block);
    return hr;
}
