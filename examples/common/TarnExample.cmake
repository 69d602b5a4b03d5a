# What every example's CMakeLists shares. In Tarn's own build the library is there already;
# built on its own, an example takes Tarn from an install (find_package, with
# -DCMAKE_PREFIX_PATH=/where/tarn/is/installed) or from its source tree
# (-DTARN_SOURCE_DIR=/path/to/tarn, added as a subdirectory).
if(NOT TARGET Tarn::tarn)
    set(TARN_SOURCE_DIR "" CACHE PATH "Tarn's source tree, to build it here (add_subdirectory)")
    if(TARN_SOURCE_DIR)
        add_subdirectory(${TARN_SOURCE_DIR} tarn)
    else()
        find_package(Tarn 1.0 CONFIG REQUIRED)
    endif()
endif()

# tarn_example(NAME SOURCES...): a Windows GUI program on TarnGame, with a plain main().
function(tarn_example name)
    add_executable(${name} WIN32 ${ARGN})
    target_link_libraries(${name} PRIVATE Tarn::tarn)
    target_compile_features(${name} PRIVATE cxx_std_17)
    if(TARGET tarn_warnings) # Tarn's own build: its warning flags
        target_link_libraries(${name} PRIVATE tarn_warnings)
    endif()
endfunction()
