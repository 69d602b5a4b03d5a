/// @file
/// The image front end: turns a picture file, or a picture already in memory, into a new
/// off-screen surface of the picture's size. The format is recognised from the data itself, in
/// the order TGA (by its footer), BMP, PSD, PCX, JPEG, PNG, then TGA by a strict check of its
/// header, unless the caller forces one with a format code.
#pragma once

#include <windows.h>
#include <ddraw.h>

/// Format codes: what DetectFormat returns and what a caller may pass to force a decoder.
enum ImageFormat {
    IMAGE_UNKNOWN = 0, ///< passed in: detect first; returned: not recognised
    IMAGE_BMP = 1,
    IMAGE_PSD = 2,
    IMAGE_TGA = 3,
    IMAGE_PCX = 4,
    IMAGE_JPG = 5,
    IMAGE_PNG = 6,
};

/// The image front end: picks the decoder for a picture and returns the new surface, keeping
/// the picture's alpha plane for the caller to take.
class TarnImage {
public:
    TarnImage();
    virtual ~TarnImage();

    /// Reads the whole file and decodes it; null when the file can't be read whole or decoded.
    /// `placement`: 0 video memory, 1 system memory, other values let DirectDraw choose.
    IDirectDrawSurface7* LoadFile(IDirectDraw7* dd, const char* fileName, BYTE placement,
                                  int format);
    /// Decodes `size` bytes at `data` (the whole file image; not kept). Data no decoder accepts
    /// gives "Error: TarnImage - Unsupported Image type." on the debugger output and null.
    IDirectDrawSurface7* LoadMemory(IDirectDraw7* dd, int size, const unsigned char* data,
                                    BYTE placement, int format);
    /// The alpha plane of the picture the last LoadFile or LoadMemory decoded: alphaWidth x
    /// alphaHeight bytes, rows top first; null when it carried none. Owned by this object.
    BYTE* alpha = nullptr;
    int alphaWidth = 0;  ///< width of the alpha plane, 0 when there is none
    int alphaHeight = 0; ///< height of the alpha plane, 0 when there is none

    /// The format code of the data, IMAGE_UNKNOWN when no decoder recognises it. Short data is
    /// tested on the bytes present only.
    static int DetectFormat(int size, const unsigned char* data);
};
