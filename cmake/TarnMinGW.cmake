# The part the two MinGW-w64 toolchain files share; TARN_MINGW_TRIPLE names the target. The
# -posix compilers are used, as their libstdc++ has std::thread and std::mutex.
find_program(CMAKE_C_COMPILER NAMES ${TARN_MINGW_TRIPLE}-gcc-posix ${TARN_MINGW_TRIPLE}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${TARN_MINGW_TRIPLE}-g++-posix ${TARN_MINGW_TRIPLE}-g++
             REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${TARN_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TARN_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# CMake packages also outside the MinGW-w64 root: a Windows install of Tarn under a prefix
# named in CMAKE_PREFIX_PATH is found as it is on Linux.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Everything static: the programs need no libgcc, libstdc++ or winpthread DLL beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

