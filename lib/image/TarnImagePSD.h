/// The decoder of Photoshop documents: the flattened composite image of an RGB document of 8 bits
/// per channel, raw or PackBits encoded. The colour mode data, image resources and layers are
/// skipped. It produces a 32-bit blue-green-red-alpha DIB, top row first; a missing alpha channel
/// reads as 255.
#pragma once

#include "image/TarnImageBase.h"

class TarnImagePSD : public TarnImageBase {
public:
    TarnImagePSD();
    ~TarnImagePSD() override;

    /// "8BPS" followed by a zero byte (the high byte of version 1).
    int TestFormat(const unsigned char* head, int headLength, const unsigned char* foot,
                   int footLength) override;
    IDirectDrawSurface7* Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                BYTE placement) override;

    /// Parses the file and builds the complete DIB without touching any platform object; false
    /// for another version, mode, depth or compression and for malformed, truncated or oversized
    /// data.
    bool DecodeBitmap(int size, const unsigned char* data);
    /// Fills the pixel buffer from the image data at the reader (just after the compression
    /// field); false when the data runs out.
    bool DecodePlanes(TarnByteReader& reader, int channels, int compression);
    /// DecodePlanes for three or four channels (planeCount planes read): red, green, blue and
    /// alpha interleaved into whole pixels in one pass.
    bool DecodeColourPlanes(TarnByteReader& reader, int planeCount, int compression);

    uint16_t version;    ///< the header's version (1 is decoded)
    uint16_t channels;   ///< channels in the file, alpha and extra ones included
    uint32_t fileHeight; ///< the height as the header gives it
    uint32_t fileWidth;  ///< the width as the header gives it
    uint16_t depth;      ///< bits per channel (8 is decoded)
    uint16_t colourMode; ///< the header's colour mode (3, RGB, is decoded)
};
