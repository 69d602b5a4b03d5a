/// The decoder of Truevision TGA files: colour-mapped, true-colour and greyscale pictures
/// (image types 1, 2, 3), uncompressed or run-length encoded (9, 10, 11), at 8, 15, 16, 24 and
/// 32 bits per pixel. 8-bit pictures become an 8-bit palettised DIB (greyscale ones with a grey
/// ramp), all others a 24-bit blue-green-red DIB, 5-bit channels widened by repeating their top
/// bits; alpha is dropped. Rows stored right to left (descriptor bit 4) come out mirrored back.
/// Detection takes the TGA 2.0 footer first and, as the front end's last resort, a strict check
/// of the header alone, since most writers leave the footer out.
#pragma once

#include "image/TarnImageBase.h"

class TarnImageTGA : public TarnImageBase {
public:
    TarnImageTGA();
    ~TarnImageTGA() override;

    /// "TRUEVISION-XFILE" 18 bytes before the end and a pixel depth of 8, 15, 16, 24 or 32.
    int TestFormat(const unsigned char* head, int headLength, const unsigned char* foot,
                   int footLength) override;
    /// 1 when the whole data (`size` bytes) starts with a header we decode whose every field is
    /// consistent and whose raw pixels are all present; for files without the footer.
    static int TestHeader(int size, const unsigned char* data);
    IDirectDrawSurface7* Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                BYTE placement) override;

    /// Parses the file and builds the complete DIB without touching any platform object; false
    /// for an image type or depth we don't decode and for malformed, truncated or oversized data.
    bool DecodeBitmap(int size, const unsigned char* data);

    /// Little-endian 16-bit value at the cursor; the cursor moves on by 2.
    static uint16_t Read16(const unsigned char*& cursor);
    /// The first three bytes of each of `count` 4-byte pixels.
    static void DropAlpha(BYTE* destination, const BYTE* source, int count);

    BYTE header[18]; ///< the file's 18-byte header as read
private:
    bool ReadColourMap(TarnByteReader& reader);
    bool ReadRawRows(TarnByteReader& reader, int inBytes);
    bool ReadPacketRows(TarnByteReader& reader, int inBytes);
    void ConvertRow(BYTE* out, const BYTE* in) const;
    /// Keeps the alpha of DIB row y from its file pixels `in`; false when the plane cannot be had.
    bool KeepAlpha(int y, const BYTE* in);
};
