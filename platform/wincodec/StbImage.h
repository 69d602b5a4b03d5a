// stb_image and stb_image_write (Debian's libstb-dev, from /usr/include/stb) for the browser
// build's PNG and JPEG decoding and PNG writing: their declarations, as the codecs include them.
// StbImage.cpp holds their one compiled copy, limited to the formats the stand-in needs.
#pragma once

#define STBI_NO_STDIO
#define STBI_WRITE_NO_STDIO
#include <stb_image.h>
#include <stb_image_write.h>
