/// The PNG decoder: recognises the PNG signature and decodes every PNG colour type and depth
/// through the system's imaging component (a decoder over a stream, frame 0, a format converter
/// to 32-bit blue-green-red-alpha, CopyPixels) into a top-down 32-bit DIB. 16-bit samples are
/// rounded to 8 bits, palettes, grey and tRNS are expanded, gamma and colour chunks are not
/// applied. The transfer to the surface drops the alpha bytes; a file with an alpha channel or tRNS
/// keeps them in the picture's alpha plane.
#pragma once

#include "image/TarnImageBase.h"

class TarnImagePNG : public TarnImageBase {
public:
    TarnImagePNG();
    ~TarnImagePNG() override;

    /// The eight-byte PNG signature.
    int TestFormat(const unsigned char* head, int headLength, const unsigned char* foot,
                   int footLength) override;
    IDirectDrawSurface7* Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                BYTE placement) override;

    /// Decodes the file into the DIB (pixels: top-down rows of blue, green, red, alpha) through
    /// the imaging component; no surface is made. False for damaged, truncated or oversized
    /// files, and when the component is not available.
    bool DecodeBitmap(int size, const unsigned char* data);
};
