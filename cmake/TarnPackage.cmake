# The Debian package: `cpack -G DEB` in the build folder makes libtarn-dev_VERSION_ARCH.deb from
# the install (into /usr), with the -dev packages the CMake and pkg-config files need as Depends
# (from cmake/TarnDependencies.cmake) and the run-time libraries of the demo and the tools worked
# out by dpkg-shlibdeps.
set(TARN_DEB_NAME libtarn-dev)
set(TARN_DEB_DOC ${PROJECT_BINARY_DIR}/debian-doc)

# Every Debian package carries its copyright (the zlib licence, in Debian's machine-readable
# format) and its changelog (cmake/debian/changelog.in: the newest entry is this version).
string(TIMESTAMP TARN_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(MAKE_DIRECTORY ${TARN_DEB_DOC})
configure_file(cmake/debian/copyright ${TARN_DEB_DOC}/copyright COPYONLY)
configure_file(cmake/debian/changelog.in ${TARN_DEB_DOC}/changelog @ONLY)
if(TARN_GZIP)
    execute_process(COMMAND ${TARN_GZIP} -9nf ${TARN_DEB_DOC}/changelog)
    install(FILES ${TARN_DEB_DOC}/copyright ${TARN_DEB_DOC}/changelog.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${TARN_DEB_NAME})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TARN_DEB_NAME})
set(CPACK_PACKAGE_VENDOR "Tarn")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "2-D graphics, input and sound library for C++ (development files)")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tarn developers <tarn@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The first line of the description is the summary above; this is the text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tarn speaks the Windows API of DirectDraw 7, GDI, DirectInput 7 and
DirectSound 7. On Linux it runs over its own stand-in for those calls, with
SDL2 underneath.

This package holds the static libraries, the headers, the CMake package
(find_package(Tarn)), the pkg-config files (tarn, tarn-winmain), the demo
program myfirsttarn, the picture tool tarnimg, the sound tool tarnsnd and the
sound example's sounds.")
list(JOIN TARN_DEBIAN_DEPENDENCIES ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
