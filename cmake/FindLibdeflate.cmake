# Finds libdeflate (Debian's libdeflate-dev ships neither a CMake package nor, before 1.15, a
# config file): defines the imported target Libdeflate::Libdeflate. Installed beside Tarn's
# CMake package, so a program that finds Tarn finds it the same way.
find_path(LIBDEFLATE_INCLUDE_DIR libdeflate.h)
find_library(LIBDEFLATE_LIBRARY NAMES deflate)
include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Libdeflate REQUIRED_VARS LIBDEFLATE_LIBRARY LIBDEFLATE_INCLUDE_DIR)
if(Libdeflate_FOUND AND NOT TARGET Libdeflate::Libdeflate)
    add_library(Libdeflate::Libdeflate UNKNOWN IMPORTED)
    set_target_properties(Libdeflate::Libdeflate PROPERTIES
        IMPORTED_LOCATION "${LIBDEFLATE_LIBRARY}"
        INTERFACE_INCLUDE_DIRECTORIES "${LIBDEFLATE_INCLUDE_DIR}")
endif()
mark_as_advanced(LIBDEFLATE_INCLUDE_DIR LIBDEFLATE_LIBRARY)
