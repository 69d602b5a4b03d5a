/// The decoder of ZSoft PCX files of version 5, run-length encoded, in the two layouts that carry
/// full colour: 256 colours (8 bits, one plane, the palette at the end of the file, or greys when
/// the file has none) and true colour (8 bits, three planes red, green, blue). It produces an 8-bit
/// palettised or a 24-bit blue-green-red DIB, top row first. Other layouts give null.
#pragma once

#include "image/TarnImageBase.h"

class TarnImagePCX : public TarnImageBase {
public:
    TarnImagePCX();
    ~TarnImagePCX() override;

    /// The bytes 10, 5, 1 at the start: manufacturer, version 5, run-length encoding.
    int TestFormat(const unsigned char* head, int headLength, const unsigned char* foot,
                   int footLength) override;
    IDirectDrawSurface7* Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                BYTE placement) override;

    /// Parses the file and builds the complete DIB without touching any platform object; false
    /// for another layout and for malformed, truncated or oversized data.
    bool DecodeBitmap(int size, const unsigned char* data);

    /// Expands encoded bytes from the reader into `destination` until at least `count` bytes are
    /// due; returns how many the codes asked for (more than `count` when the last run goes past
    /// the line's end: those bytes are not stored). Stops early when the data runs out.
    static int DecodeLine(BYTE* destination, TarnByteReader& reader, int count);

    BYTE header[128]; ///< the file's 128-byte header as read
};
