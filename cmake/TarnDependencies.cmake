# The libraries the stand-in platform is built on (Linux only), one line each:
#   the find_package arguments | the pkg-config module | the Debian development package
# This list is the one place they are named: it finds them for the build, and the installed
# CMake package (find_dependency), the pkg-config files (Requires) and the Debian package
# (Depends) are written from it. A new library goes here, then into platform/CMakeLists.txt's
# target_link_libraries.
set(TARN_DEPENDENCIES
    "SDL2 CONFIG|sdl2|libsdl2-dev"
    "Freetype|freetype2|libfreetype-dev"
    "JPEG|libjpeg|libjpeg-dev"
    "PNG|libpng|libpng-dev"
    "Libdeflate|libdeflate|libdeflate-dev"
    "Fontconfig|fontconfig|libfontconfig-dev"
    "pugixml CONFIG|pugixml|libpugixml-dev"
    "zstd CONFIG|libzstd|libzstd-dev")

# A build for the browser (Emscripten) links none of them: the web host, stb_image and
# stb_truetype (Debian's libstb-dev, header-only) take their places (platform/CMakeLists.txt).
if(EMSCRIPTEN)
    set(TARN_DEPENDENCIES "")
endif()

set(TARN_FIND_DEPENDENCIES "")   # lines of find_dependency() for the package's config file
set(TARN_PC_DEPENDENCIES "")     # pkg-config modules
set(TARN_DEBIAN_DEPENDENCIES "") # Debian packages
foreach(entry IN LISTS TARN_DEPENDENCIES)
    string(REPLACE "|" ";" fields "${entry}")
    list(GET fields 0 arguments)
    list(GET fields 1 module)
    list(GET fields 2 debian)
    separate_arguments(arguments)
    find_package(${arguments} REQUIRED)
    list(JOIN arguments " " arguments)
    string(APPEND TARN_FIND_DEPENDENCIES "find_dependency(${arguments})\n")
    list(APPEND TARN_PC_DEPENDENCIES ${module})
    list(APPEND TARN_DEBIAN_DEPENDENCIES ${debian})
endforeach()
