# Cross-compiles Tarn for 64-bit Windows with Debian's MinGW-w64 (g++-mingw-w64-x86-64), against
# the real Windows headers and import libraries; the stand-in platform is not built. Programs are
# linked statically (no MinGW runtime DLLs to ship) and run on Linux under wine, which CTest and
# the build use as the emulator for the cross-compiled programs.
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARN_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/TarnMinGW.cmake)

# Cross-compiled programs (the tests, and tools the build runs) run under wine.
find_program(TARN_WINE NAMES wine64 wine)
if(TARN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TARN_WINE})
endif()
