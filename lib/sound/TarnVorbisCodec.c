/* The Ogg Vorbis decoder itself: stb_vorbis from Debian's libstb-dev, whose one header carries
   its whole source, compiled here once for the library. */
#define STB_VORBIS_NO_STDIO
#include <stb_vorbis.h>
