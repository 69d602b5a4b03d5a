// stb_image compiled for its zlib inflater alone, its functions private to the file that
// includes this. A system header, so stb's own code is not held to our warnings.
#pragma once
#pragma GCC system_header

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_FAILURE_STRINGS
#define STBI_ONLY_PNG
#include <stb_image.h>
