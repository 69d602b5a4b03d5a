# Cross-compiles Tarn for 32-bit x86 Windows with Debian's MinGW-w64 (g++-mingw-w64-i686), the
# platform whose structure sizes the library's dwSize fields were written for: they are checked
# when it compiles (tests/win32/StructSizes.cpp). The programs run under 32-bit Wine, which CTest
# and the build use as the emulator, as the 64-bit build does with 64-bit Wine.
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TARN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/TarnMinGW.cmake)

# Debian's `wine` runs 32-bit programs only with its 32-bit loader (package wine32:i386); without
# it the build compiles and links only, and the demo's picture is the committed copy.
find_program(TARN_WINE NAMES wine)
if(TARN_WINE AND EXISTS /usr/lib/wine/wine64 AND NOT EXISTS /usr/lib/wine/wine)
    message(STATUS "No 32-bit Wine (Debian: wine32:i386): the 32-bit programs are built, not run")
elseif(TARN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TARN_WINE})
endif()
