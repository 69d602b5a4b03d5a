# The map module's parsers (lib/map/), added to the library target `tarn`: JSON through RapidJSON
# (header-only) on every platform; on Linux TMX through pugixml and layer data through libdeflate
# and libzstd (found with the other dependencies in TarnDependencies.cmake). Where those are not
# linked (the browser, Windows), stb_image's inflater stands in, and TMX is read when pugixml's
# source is given (below), else refused with an error.
# A cross build sees only RapidJSON's own folder, never the rest of this machine's headers.
find_path(TARN_RAPIDJSON_DIR rapidjson/document.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
          REQUIRED)
if(CMAKE_CROSSCOMPILING)
    file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/rapidjson-include)
    file(CREATE_LINK ${TARN_RAPIDJSON_DIR}/rapidjson
         ${PROJECT_BINARY_DIR}/rapidjson-include/rapidjson SYMBOLIC)
    target_include_directories(tarn SYSTEM PRIVATE ${PROJECT_BINARY_DIR}/rapidjson-include)
endif()
# There pugixml may come as source: Debian's source package, unpacked by
# scripts/pugixml-source.sh into the folder TARN_PUGIXML_SOURCE_DIR names, is compiled into the
# library (without Tarn's warnings: it is not Tarn's code) and TMX is read as on Linux.
# scripts/build-web.sh and scripts/run-windows.sh do not give it yet: those builds refuse TMX.
set(TARN_PUGIXML_SOURCE_DIR "" CACHE PATH
    "pugixml's source package (scripts/pugixml-source.sh), for TMX in web and Windows builds")
if((WIN32 OR EMSCRIPTEN) AND TARN_PUGIXML_SOURCE_DIR)
    set(pugixml_src ${TARN_PUGIXML_SOURCE_DIR}/src)
    if(NOT EXISTS ${pugixml_src}/pugixml.cpp)
        message(FATAL_ERROR "TARN_PUGIXML_SOURCE_DIR: no ${pugixml_src}/pugixml.cpp "
                            "(scripts/pugixml-source.sh makes it)")
    endif()
    add_library(tarn_pugixml OBJECT ${pugixml_src}/pugixml.cpp)
    set_target_properties(tarn_pugixml PROPERTIES POSITION_INDEPENDENT_CODE ON)
    target_sources(tarn PRIVATE ${PROJECT_SOURCE_DIR}/lib/map/internal/TmxPugixml.cpp
                                ${PROJECT_SOURCE_DIR}/lib/map/internal/InflateStb.cpp
                                $<TARGET_OBJECTS:tarn_pugixml>)
    target_include_directories(tarn SYSTEM PRIVATE ${pugixml_src})
elseif(WIN32 OR EMSCRIPTEN)
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
