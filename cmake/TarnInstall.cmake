# What `cmake --install` puts under the prefix (LIBDIR is lib/x86_64-linux-gnu on Debian):
#   LIBDIR/            libtarn.a (on Linux also libtarn_platform.a, the stand-in, and
#                      libtarn_winmain.a, the process entry of WinMain programs)
#   LIBDIR/cmake/Tarn  the CMake package: find_package(Tarn) gives Tarn::tarn, Tarn::winmain
#                      and tarn_add_program()
#   LIBDIR/pkgconfig   tarn.pc and tarn-winmain.pc
#   include/tarn/      what a user includes and nothing else: the library's headers in their
#                      folders and TarnVersion.h; on Linux the stand-in's Windows-named headers
#                      (<windows.h>, <ddraw.h> ...) in include/tarn/platform/. The stand-in's
#                      inside (its hosts, platform/internal/) stays in the source tree.
#   bin/               the demo, tarnimg and tarnsnd, with their manual pages in
#                      share/man/man1/; share/tarn/ the demo's picture and (on Linux) sounds/,
#                      the sound example's sounds
include(CMakePackageConfigHelpers)

set(TARN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Tarn)
set(TARN_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
set(TARN_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/tarn)

set(targets tarn tarn_winmain)
if(NOT WIN32)
    list(APPEND targets tarn_platform)
endif()
install(TARGETS ${targets} EXPORT TarnTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
# Every module's public headers; the processor probe (cpu/) and the internal/ folders are the
# library's own.
install(DIRECTORY lib/ DESTINATION ${TARN_INCLUDE_DIR}
        FILES_MATCHING PATTERN "*.h" PATTERN "internal" EXCLUDE PATTERN "cpu" EXCLUDE)
install(FILES ${PROJECT_BINARY_DIR}/include/TarnVersion.h DESTINATION ${TARN_INCLUDE_DIR})
if(NOT WIN32)
    install(DIRECTORY platform/include/ DESTINATION ${TARN_INCLUDE_DIR}/platform
            FILES_MATCHING PATTERN "*.h")
endif()

# The programs, each with its manual page (docs/man/NAME.1.in, the version written in and
# compressed as Debian keeps them).
string(TIMESTAMP TARN_MAN_DATE "%Y-%m-%d" UTC) # SOURCE_DATE_EPOCH, when set, decides
find_program(TARN_GZIP gzip)
foreach(program myfirsttarn tarnimg tarnsnd)
    if(NOT TARGET ${program})
        continue()
    endif()
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    if(NOT WIN32 AND TARN_GZIP)
        set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
        configure_file(docs/man/${program}.1.in ${page} @ONLY)
        execute_process(COMMAND ${TARN_GZIP} -9nf ${page} COMMAND_ERROR_IS_FATAL ANY)
        install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
endforeach()
if(TARGET myfirsttarn)
    install(FILES ${PROJECT_BINARY_DIR}/assets/landskap.bmp
            DESTINATION ${CMAKE_INSTALL_DATADIR}/tarn)
endif()
if(TARGET tarn_sounds)
    install(DIRECTORY ${PROJECT_BINARY_DIR}/assets/sounds DESTINATION ${CMAKE_INSTALL_DATADIR}/tarn)
endif()

# The CMake package.
install(EXPORT TarnTargets NAMESPACE Tarn:: DESTINATION ${TARN_CMAKE_DIR})
set(TARN_DATA_DIR ${CMAKE_INSTALL_DATADIR}/tarn)
configure_package_config_file(cmake/TarnConfig.cmake.in ${PROJECT_BINARY_DIR}/TarnConfig.cmake
                              INSTALL_DESTINATION ${TARN_CMAKE_DIR} PATH_VARS TARN_DATA_DIR)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/TarnConfigVersion.cmake
                                 COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/TarnConfig.cmake ${PROJECT_BINARY_DIR}/TarnConfigVersion.cmake
              cmake/TarnProgram.cmake
        DESTINATION ${TARN_CMAKE_DIR})
# The find modules of libraries that ship no CMake package of their own, for the config's
# find_dependency.
if(NOT WIN32)
    install(FILES cmake/FindLibdeflate.cmake DESTINATION ${TARN_CMAKE_DIR})
endif()

# The pkg-config files. Their prefix is found from where they are, so an installed tree may be
# moved. The libraries are static: what they link reaches the program's link line through
# Requires, not Requires.private.
file(RELATIVE_PATH TARN_PC_TO_PREFIX /${TARN_PC_DIR} /)
string(REGEX REPLACE "/$" "" TARN_PC_TO_PREFIX "${TARN_PC_TO_PREFIX}")
if(WIN32)
    set(TARN_PC_REQUIRES "")
    list(TRANSFORM TARN_WINDOWS_LIBRARIES PREPEND -l OUTPUT_VARIABLE TARN_PC_LIBS)
    list(JOIN TARN_PC_LIBS " " TARN_PC_LIBS)
    set(TARN_PC_CFLAGS "-DDIRECTINPUT_VERSION=0x0700")
    set(TARN_PC_WINMAIN_LIBS "-mwindows")
else()
    list(JOIN TARN_PC_DEPENDENCIES " " TARN_PC_REQUIRES)
    set(TARN_PC_LIBS "-ltarn_platform")
    set(TARN_PC_CFLAGS "-I\${includedir}/platform")
    set(TARN_PC_WINMAIN_LIBS "-L\${libdir} -ltarn_winmain")
endif()
foreach(name tarn tarn-winmain)
    configure_file(cmake/${name}.pc.in ${PROJECT_BINARY_DIR}/${name}.pc @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/${name}.pc DESTINATION ${TARN_PC_DIR})
endforeach()

if(NOT WIN32)
    include(TarnPackage)
endif()
