# tarn_web_page(TARGET [TEXT] [FILES FILE...]): makes the executable TARGET a web page, TARGET.html
# with its .js, .wasm and .data beside it (Emscripten builds only). The program runs unchanged:
# Asyncify lets its own loop give the browser its turn at each frame and message wait. FILES are
# preloaded into /game, the folder the program runs in (a file's name there is its own name;
# FILE@NAME names it); TEXT preloads the DejaVu font for programs that draw text. What the
# program writes under /game is kept in the browser's storage across reloads.
include_guard(GLOBAL)
set(TARN_WEB_DIR ${CMAKE_CURRENT_LIST_DIR}/../web)
set(TARN_WEB_FONT /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf)

function(tarn_web_page target)
    cmake_parse_arguments(PARSE_ARGV 1 web "TEXT" "" "FILES")
    set_target_properties(${target} PROPERTIES SUFFIX ".html")
    # The program's data starts at 64 KiB, as on Windows, where no object lies in the lowest
    # 64 KiB: a name there would read as an atom or a resource number (MAKEINTRESOURCE). The
    # program's exit reaches the page (exit.js); memory grows with the pictures; the page's saves
    # need the file system's calls.
    target_link_options(${target} PRIVATE
        -sGLOBAL_BASE=65536 -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
        "-sASYNCIFY_IMPORTS=['WebNextAnimationFrame','WebSleepUntilWoken']" -sEXIT_RUNTIME=1
        -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web -sMINIFY_HTML=0 -sLZ4=1
        "-sEXPORTED_RUNTIME_METHODS=['FS','addRunDependency','removeRunDependency']"
        "SHELL:--shell-file ${TARN_WEB_DIR}/shell.html" "SHELL:--post-js ${TARN_WEB_DIR}/exit.js")
    set(depends ${TARN_WEB_DIR}/shell.html ${TARN_WEB_DIR}/exit.js)
    # SHELL: keeps each option with its value (CMake drops repeated options otherwise).
    foreach(file ${web_FILES})
        string(FIND "${file}" "@" at)
        if(at GREATER_EQUAL 0)
            string(SUBSTRING "${file}" 0 ${at} source)
            math(EXPR after "${at} + 1")
            string(SUBSTRING "${file}" ${after} -1 name)
        else()
            set(source "${file}")
            get_filename_component(name "${file}" NAME)
        endif()
        get_filename_component(source "${source}" ABSOLUTE)
        target_link_options(${target} PRIVATE "SHELL:--preload-file ${source}@/game/${name}")
        list(APPEND depends ${source})
    endforeach()
    if(web_TEXT)
        if(NOT EXISTS ${TARN_WEB_FONT})
            message(FATAL_ERROR "${target}: text needs ${TARN_WEB_FONT} (package fonts-dejavu-core)")
        endif()
        target_link_options(${target} PRIVATE
                            "SHELL:--preload-file ${TARN_WEB_FONT}@${TARN_WEB_FONT}")
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${depends})
endfunction()
