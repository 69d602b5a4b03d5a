# tarn_add_program(NAME SOURCE... [WIN32] [WINMAIN] [TEXT] [ASSETS FOLDER] [DEPENDS TARGET...])
#
# Builds a program on Tarn: on the desktop an executable, in a browser build (Emscripten) a web
# page, NAME.html with its .js, .wasm and .data beside it (tarn_web_page). Tarn's own demo,
# examples and games are made with it, and so can a project's that takes Tarn with
# find_package(Tarn) or as a subdirectory.
#
#   WIN32    a Windows GUI program (no console window on Windows; nothing elsewhere)
#   WINMAIN  the program is written with WinMain: it links Tarn::winmain
#   TEXT     the program draws text in the default font (TarnFont::OpenDefault): the web page
#            carries its three DejaVu faces, and a Windows program gets them in a fonts/ folder
#            beside it (from TARN_FONT_DIR, Debian's fonts-dejavu-core by default)
#   ASSETS   a folder of the program's own files (pictures, sounds, maps). Its contents are
#            copied beside the program, into the folder the executable is in, at every build;
#            in a web page they are the page's files, in the folder the program runs in. A file
#            FOLDER/sounds/blip.wav is then sounds/blip.wav beside the program and in the page.
#            Programs built into the same folder share it, so their files should not clash.
#   DEPENDS  targets that make the ASSETS folder, when it is made by the build
include_guard(GLOBAL)

# The default font's faces, which TEXT ships with a program where the system has none of them.
set(TARN_FONT_DIR /usr/share/fonts/truetype/dejavu CACHE PATH
    "Where the DejaVu faces are that programs drawing text ship (Debian's fonts-dejavu-core)")
set(TARN_FONT_FACES DejaVuSans.ttf DejaVuSans-Bold.ttf DejaVuSansMono.ttf)

# Tarn's own programs are held to Tarn's warnings; a program of another project is not.
if(PROJECT_NAME STREQUAL "Tarn")
    set_property(GLOBAL PROPERTY TARN_OWN_SOURCE_DIR "${PROJECT_SOURCE_DIR}")
endif()
if(EMSCRIPTEN)
    include(${CMAKE_CURRENT_LIST_DIR}/TarnWeb.cmake OPTIONAL)
endif()

function(tarn_add_program name)
    cmake_parse_arguments(PARSE_ARGV 1 program "WIN32;WINMAIN;TEXT" "ASSETS" "DEPENDS")
    set(sources ${program_UNPARSED_ARGUMENTS})
    if(NOT sources)
        message(FATAL_ERROR "tarn_add_program(${name}): no source files (they come first)")
    endif()
    set(kind "")
    if(program_WIN32)
        set(kind WIN32)
    endif()
    add_executable(${name} ${kind} ${sources})
    target_link_libraries(${name} PRIVATE Tarn::tarn)
    if(program_WINMAIN)
        target_link_libraries(${name} PRIVATE Tarn::winmain)
        if(EMSCRIPTEN)
            # main() is in the WinMain archive; nothing else of the program asks for it.
            target_link_options(${name} PRIVATE "LINKER:--undefined=main")
        endif()
    endif()
    get_property(own GLOBAL PROPERTY TARN_OWN_SOURCE_DIR)
    if(own AND TARGET tarn_warnings)
        cmake_path(IS_PREFIX own "${CMAKE_CURRENT_SOURCE_DIR}" inside)
        if(inside)
            target_link_libraries(${name} PRIVATE tarn_warnings)
        endif()
    endif()

    set(depends)
    foreach(target ${program_DEPENDS})
        if(TARGET ${target})
            list(APPEND depends ${target})
        endif()
    endforeach()
    set(assets "")
    if(DEFINED program_ASSETS)
        get_filename_component(assets "${program_ASSETS}" ABSOLUTE)
        if(NOT depends AND NOT IS_DIRECTORY "${assets}")
            message(FATAL_ERROR "tarn_add_program(${name}): the ASSETS folder ${assets} does not "
                                "exist (give DEPENDS when the build makes it)")
        endif()
    endif()

    if(EMSCRIPTEN)
        if(NOT COMMAND tarn_web_page)
            message(FATAL_ERROR "tarn_add_program(${name}): a web page needs TarnWeb.cmake from "
                                "Tarn's source tree (take Tarn as a subdirectory)")
        endif()
        # The page's files are listed when the project is configured: the folder must be there.
        set(files)
        if(assets)
            if(NOT IS_DIRECTORY "${assets}")
                message(FATAL_ERROR "tarn_add_program(${name}): a web page packs its ASSETS "
                                    "folder when configured, and ${assets} does not exist yet")
            endif()
            file(GLOB_RECURSE found CONFIGURE_DEPENDS LIST_DIRECTORIES false
                 RELATIVE "${assets}" "${assets}/*")
            list(SORT found)
            foreach(file ${found})
                list(APPEND files "${assets}/${file}@${file}")
            endforeach()
        endif()
        set(text "")
        if(program_TEXT)
            set(text TEXT)
        endif()
        tarn_web_page(${name} ${text} FILES ${files})
        if(depends)
            add_dependencies(${name} ${depends})
        endif()
        return()
    endif()

    if(program_TEXT AND WIN32)
        # Windows has no DejaVu: the faces go into fonts/ beside the program, where OpenDefault
        # looks. Programs built into one folder take turns, as with their assets below.
        set(fonts)
        foreach(face ${TARN_FONT_FACES})
            if(NOT EXISTS ${TARN_FONT_DIR}/${face})
                message(FATAL_ERROR "tarn_add_program(${name}): TEXT ships ${TARN_FONT_DIR}/${face}, "
                                    "which does not exist (install fonts-dejavu-core, or give "
                                    "-DTARN_FONT_DIR=the folder of the DejaVu faces)")
            endif()
            list(APPEND fonts ${TARN_FONT_DIR}/${face})
        endforeach()
        add_custom_target(${name}_fonts
            COMMAND ${CMAKE_COMMAND} -E make_directory $<TARGET_FILE_DIR:${name}>/fonts
            COMMAND ${CMAKE_COMMAND} -E copy_if_different ${fonts} $<TARGET_FILE_DIR:${name}>/fonts
            COMMENT "Copying the DejaVu faces beside ${name}" VERBATIM)
        get_property(previous GLOBAL PROPERTY TARN_FONTS_TURN)
        if(previous)
            add_dependencies(${name}_fonts ${previous})
        endif()
        set_property(GLOBAL PROPERTY TARN_FONTS_TURN ${name}_fonts)
        add_dependencies(${name} ${name}_fonts)
    endif()

    if(assets)
        # Copied by a target of its own at every build, so that a changed or added file arrives.
        # Programs that copy the same folder take turns, so that two copies never write one file
        # at the same time.
        add_custom_target(${name}_assets
            COMMAND ${CMAKE_COMMAND} -E copy_directory ${assets} $<TARGET_FILE_DIR:${name}>
            COMMENT "Copying ${name}'s assets beside it" VERBATIM)
        if(depends)
            add_dependencies(${name}_assets ${depends})
        endif()
        string(MAKE_C_IDENTIFIER "TARN_ASSETS_${assets}" turn)
        get_property(previous GLOBAL PROPERTY ${turn})
        if(previous)
            add_dependencies(${name}_assets ${previous})
        endif()
        set_property(GLOBAL PROPERTY ${turn} ${name}_assets)
        add_dependencies(${name} ${name}_assets)
    endif()
endfunction()
