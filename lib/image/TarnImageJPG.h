/// The JPEG decoder: recognises JPEG data and decodes it through the system picture
/// loader, which draws the picture into the new surface; only the base's size fields and
/// CreateSurface are used.
#pragma once

#include "image/TarnImageBase.h"

class TarnImageJPG : public TarnImageBase {
public:
    TarnImageJPG();
    ~TarnImageJPG() override;

    /// A start-of-image marker followed by the start of another marker: the bytes FF D8 FF.
    int TestFormat(const unsigned char* head, int headLength, const unsigned char* foot,
                   int footLength) override;
    IDirectDrawSurface7* Decode(IDirectDraw7* dd, int size, const unsigned char* data,
                                BYTE placement) override;
};
