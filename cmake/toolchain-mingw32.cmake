# Cross-compiles Tarn for 32-bit x86 Windows with Debian's MinGW-w64 (g++-mingw-w64-i686), the
# platform whose structure sizes the library's dwSize fields were written for. This build is
# compiled and linked, not run: the checks that matter here are compile-time ones
# (tests/win32/StructSizes.cpp).
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(TARN_MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/TarnMinGW.cmake)
