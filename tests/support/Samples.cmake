# tarn_samples: the sample-file writers and the libjpeg reference decode shared by the tests
# (through tarn_testsupport), the benchmarks and the fuzz seeds. Free of GoogleTest. Included by
# tests/ and bench/; defined once. TARN_SAMPLE_SOURCES lists its sources, which live beside the
# tests' own support files.
set(TARN_SAMPLE_SOURCES ${CMAKE_CURRENT_LIST_DIR}/JpegWriter.cpp
                        ${CMAKE_CURRENT_LIST_DIR}/JpegReader.cpp)
if(NOT TARGET tarn_samples)
    find_package(JPEG REQUIRED)
    add_library(tarn_samples STATIC ${TARN_SAMPLE_SOURCES})
    target_include_directories(tarn_samples PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
    target_link_libraries(tarn_samples PUBLIC tarn PRIVATE JPEG::JPEG tarn_warnings)
endif()
