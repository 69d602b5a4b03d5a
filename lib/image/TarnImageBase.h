/// @file
/// The base of the picture decoders. A decoder turns a file held in memory into a
/// device-independent bitmap (DIB) in one of a few simple layouts (1, 4 or 8-bit palettised,
/// 16-bit 5-5-5, 24-bit blue-green-red, 32-bit blue-green-red-x), then creates an off-screen
/// surface of the picture's size and draws the DIB 1:1 into it through the surface's device
/// context, so that GDI, not the decoder, converts pixels to the surface's format.
///
/// Each decoder does its parsing in DecodeBitmap(size, data), which touches no platform object
/// (tools and fuzzers call it alone), and Decode = DecodeBitmap + DeliverSurface.
#pragma once

#include <windows.h>
#include <ddraw.h>

#include "image/TarnByteReader.h"

/// A channel of `bits` bits (1 to 8) widened to 8 bits by repeating its top bits below it, so
/// that 0 stays 0 and full scale becomes 255 (5 bits: 31 -> 255, 16 -> 132). The one rule of
/// every decoder that widens narrow channels.
constexpr BYTE TarnWidenChannel(uint32_t value, int bits) {
    uint32_t wide = 0;
    int filled = 0;
    for (; filled < 8; filled += bits) wide = (wide << bits) | value;
    return static_cast<BYTE>(wide >> (filled - 8));
}

/// The base of every picture decoder: the DIB being built (size, depth, pixel buffer,
/// bitmap-info block, alpha plane) and the transfer of that DIB into a new surface.
class TarnImageBase {
public:
    /// The bitmap-info block: a 40-byte BITMAPINFOHEADER, 256 colour entries and 4 spare bytes.
    static constexpr int BITMAP_INFO_BYTES = 1068;

    TarnImageBase();
    virtual ~TarnImageBase();

    /// Does this data belong to the decoder's format? `head` is the start of the data and
    /// `foot` points footLength bytes before its end; both lengths may be shorter than the
    /// front end's usual 256 and 64 bytes for short data, and each test reads only within them.
    virtual int TestFormat(const unsigned char* head, int headLength, const unsigned char* foot,
                           int footLength) = 0;
    /// Decodes the data into a new surface; null on any failure.
    virtual IDirectDrawSurface7* Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                        BYTE placement) = 0;

    /// Stores the picture's size and depth and allocates a cleared pixel buffer of stride x
    /// height bytes; false when the size is out of limits or the buffer can't be had. A decoder
    /// that writes every pixel of every row asks for `cleared` false: then only the rows'
    /// padding is cleared.
    bool SetSize(int newWidth, int newHeight, int newBitsPerPixel, bool cleared = true);
    /// Releases the buffers, then allocates a pixel buffer of `bytes` bytes, cleared unless
    /// `cleared` is false.
    bool AllocPixels(uint32_t bytes, bool cleared = true);
    /// Stores the picture's size and depth like SetSize, but allocates no pixel buffer: the
    /// transfer draws straight from `rows`, which are already DIB rows of this size and depth
    /// (stride x height bytes, all within the `available` bytes). The caller's data must outlive
    /// the transfer. False when the size is out of limits or the rows are not all there.
    bool SetSizeOverRows(int newWidth, int newHeight, int newBitsPerPixel, const BYTE* rows,
                         size_t available);
    /// Frees the pixel buffer and the bitmap-info block (the alpha plane stays); always 1.
    int FreeBuffers();
    /// Builds a fresh bitmap-info block for the current size, depth and top-down flag, with an
    /// all-zero colour table; stays null when it can't be allocated.
    void BuildBitmapInfo();
    /// Creates an off-screen surface of width x height into `surface` (releasing one held
    /// before); `placement` 0 video memory, 1 system memory, other values let DirectDraw
    /// choose. False without a device or size, or when DirectDraw refuses.
    bool CreateSurface(IDirectDraw7* dd, BYTE placement);
    /// Draws the DIB rows (dibPixels) into the surface, then frees the buffers. Returns the surface
    /// (its one reference goes to the caller), or null, having released it, when the draw fails.
    IDirectDrawSurface7* TransferToSurface();
    /// The end of every decode: CreateSurface + TransferToSurface, once the DIB is complete.
    IDirectDrawSurface7* DeliverSurface(IDirectDraw7* dd, BYTE placement);

    /// The alpha plane's row for DIB row `dibRow` (rows counted as the DIB stores them: bottom
    /// row first unless topDown), width bytes; the plane (width x height, cleared) is made at the
    /// first call. Null when it cannot be had or the row is outside the picture.
    BYTE* AlphaRow(int dibRow);
    /// Takes the alpha bytes (offset 3 of every 4) of width x height blue-green-red-alpha pixels,
    /// picture rows top first, `pitch` bytes apart: for decoders that hold whole rows of alpha.
    bool KeepAlphaRows(const BYTE* bgraRows, long pitch);
    /// Hands the alpha plane (picture rows top first, width x height bytes, free with
    /// std::free) to the caller; null when the picture carries no alpha. Decoders make a plane
    /// only where the file states alpha, and keep it whatever its values.
    BYTE* TakeAlpha();
    /// The colour table of the bitmap-info block (256 entries), null before BuildBitmapInfo.
    RGBQUAD* ColourTable();
    /// The header at the start of the bitmap-info block, null before BuildBitmapInfo.
    BITMAPINFOHEADER* InfoHeader();

    BYTE* bitmapInfo;      ///< the bitmap-info block (BITMAP_INFO_BYTES), owned; null when none
    int width;             ///< the picture's width in pixels
    int height;            ///< the picture's height in pixels
    BYTE bitsPerPixel;     ///< the DIB's bits per pixel (1, 4, 8, 16, 24 or 32)
    BYTE* pixels;          ///< the decoder's own pixel buffer (null when drawing from the data)
    const BYTE* dibPixels; ///< the rows the transfer draws: `pixels`, or rows inside the data
    int topDown;           ///< nonzero when the DIB's first row is the picture's top row
    UINT dibUsage;         ///< how the colour table is read: DIB_RGB_COLORS
    IDirectDrawSurface7* surface; ///< the surface being filled; released if never handed out

    uint32_t stride;     ///< bytes from one row of the pixel buffer to the next
    uint32_t pixelBytes; ///< size of the pixel buffer
    int sourceBits;      ///< bits per pixel as the file stores them (for reports)

    /// The alpha plane, picture rows top first; null when the picture has none.
    BYTE* alpha = nullptr;
};
