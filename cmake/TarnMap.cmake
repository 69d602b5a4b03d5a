# The map module's parsers (lib/map/), added to the library target `tarn`: JSON through RapidJSON
# (header-only) on every platform; on Linux TMX through pugixml and layer data through libdeflate
# and libzstd (found with the other dependencies in TarnDependencies.cmake). Where those are not
# linked (the browser, Windows), stb_image's inflater stands in and TMX is refused with an error.
# A cross build sees only RapidJSON's own folder, never the rest of this machine's headers.
find_path(TARN_RAPIDJSON_DIR rapidjson/document.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
          REQUIRED)
if(CMAKE_CROSSCOMPILING)
    file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/rapidjson-include)
    file(CREATE_LINK ${TARN_RAPIDJSON_DIR}/rapidjson
         ${PROJECT_BINARY_DIR}/rapidjson-include/rapidjson SYMBOLIC)
    target_include_directories(tarn SYSTEM PRIVATE ${PROJECT_BINARY_DIR}/rapidjson-include)
endif()
if(WIN32 OR EMSCRIPTEN)
    target_sources(tarn PRIVATE ${PROJECT_SOURCE_DIR}/lib/map/internal/TmxNone.cpp
                                ${PROJECT_SOURCE_DIR}/lib/map/internal/InflateStb.cpp)
else()
    target_sources(tarn PRIVATE ${PROJECT_SOURCE_DIR}/lib/map/internal/TmxPugixml.cpp
                                ${PROJECT_SOURCE_DIR}/lib/map/internal/InflateLibdeflate.cpp)
    target_link_libraries(tarn PRIVATE pugixml::pugixml Libdeflate::Libdeflate
                                       zstd::libzstd_shared)
endif()
# RapidJSON 1.1's stack adds to its null pointer before its first allocation (harmless, mended in
# later RapidJSON): the sanitizers' pointer-overflow check is left out for the JSON reader alone.
if(TARN_SANITIZE OR TARN_FUZZ)
    set_property(SOURCE ${PROJECT_SOURCE_DIR}/lib/map/TarnMapJson.cpp APPEND PROPERTY
                 COMPILE_OPTIONS -fno-sanitize=pointer-overflow)
endif()
