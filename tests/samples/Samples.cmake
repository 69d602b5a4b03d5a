# tarn_samples: the sample-file writers shared by the tests (through tarn_testsupport), the
# benchmarks and the fuzz seeds. Free of GoogleTest. Included by tests/ and bench/; defined once.
if(NOT TARGET tarn_samples)
    find_package(JPEG REQUIRED)
    add_library(tarn_samples STATIC ${CMAKE_CURRENT_LIST_DIR}/JpegWriter.cpp)
    target_include_directories(tarn_samples PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
    target_link_libraries(tarn_samples PUBLIC tarn PRIVATE JPEG::JPEG tarn_warnings)
endif()
