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

# The examples' files: the demo's picture and the sounds. Tarn's own build says where it makes
# them (TARN_PICTURE_ASSETS, TARN_SOUND_ASSETS); against an install they are its data folder.
if(NOT DEFINED TARN_PICTURE_ASSETS AND Tarn_DATA_DIR AND IS_DIRECTORY "${Tarn_DATA_DIR}")
    set(TARN_PICTURE_ASSETS ${Tarn_DATA_DIR})
    set(TARN_SOUND_ASSETS ${Tarn_DATA_DIR})
endif()

# tarn_example(NAME SOURCES... [SOUNDS]): a Windows GUI program on TarnGame, with a plain
# main(), its page drawing text; the demo's picture beside it, or with SOUNDS the sounds.
function(tarn_example name)
    cmake_parse_arguments(PARSE_ARGV 1 example "SOUNDS" "" "")
    set(assets ${TARN_PICTURE_ASSETS})
    if(example_SOUNDS)
        set(assets ${TARN_SOUND_ASSETS})
    endif()
    set(files)
    if(assets)
        set(files ASSETS ${assets} DEPENDS ${TARN_ASSETS_DEPENDS})
    endif()
    tarn_add_program(${name} ${example_UNPARSED_ARGUMENTS} WIN32 TEXT ${files})
endfunction()
