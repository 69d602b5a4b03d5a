// The one compiled copy of stb_image (PNG and JPEG only, from memory) and stb_image_write (PNG
// only, through a callback) for the browser build. Pictures are capped at the sides the
// desktop's decoders accept.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_MAX_DIMENSIONS 65535
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include "wincodec/StbImage.h"
