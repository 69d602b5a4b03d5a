/// The decoder of Windows and OS/2 bitmap files: 1, 4, 8, 16, 24 and 32 bits per pixel,
/// uncompressed, 8-bit and 4-bit run-length encoded, and bit-field masks of 16 and 32 bits;
/// bottom-up and top-down files; information headers of 12 (OS/2), 16 and 64 (OS/2 2), 40, 52, 56,
/// 108 and 124 bytes. Uncompressed pictures go to GDI in the file's own layout; run-length pictures
/// are expanded to 8 bits per pixel and bit-field pictures converted to plain 32-bit rows first.
#pragma once

#include "image/TarnImageBase.h"

class TarnImageBMP : public TarnImageBase {
public:
    TarnImageBMP();
    ~TarnImageBMP() override;

    /// "BM" at the start of the data.
    int TestFormat(const unsigned char* head, int headLength, const unsigned char* foot,
                   int footLength) override;
    IDirectDrawSurface7* Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                BYTE placement) override;

    /// Parses the file and builds the complete DIB (pixel buffer, header, colour table) without
    /// touching any platform object; false for a malformed, truncated or oversized file.
    bool DecodeBitmap(int size, const unsigned char* data);
    /// Expands run-length data (8 or 4 bits per code) from `offset` into the 8-bit pixel buffer.
    /// Returns 1 when the picture ended properly, 0 when the data ran out first.
    int DecodeRLE8(const unsigned char* data, int size, uint32_t offset);
    /// The same for 4-bit codes.
    int DecodeRLE4(const unsigned char* data, int size, uint32_t offset);

    BITMAPFILEHEADER fileHeader; ///< the file header as read
    BITMAPINFOHEADER infoHeader; ///< the file's header, widened to 40 bytes
    uint32_t colourCount;        ///< colour entries read from the file

private:
    bool ReadHeaders(TarnByteReader& reader, uint32_t* colourTableAt, int* colourEntryBytes);
    bool ReadColourTable(TarnByteReader& reader, uint32_t at, int entryBytes);
    bool ReadPlainRows(TarnByteReader& reader);
    bool ReadBitFieldRows(TarnByteReader& reader);
    int DecodeRLE(TarnByteReader& reader, int codeBits);
};
