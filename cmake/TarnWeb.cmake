# tarn_web_page(TARGET [TEXT] [FILES FILE...]): makes the executable TARGET a web page, TARGET.html
# with its .js, .wasm and .data beside it (Emscripten builds only). The program runs unchanged:
# Asyncify lets its own loop give the browser its turn at each frame and message wait. FILES go
# into /game, the folder the program runs in (a file's name there is its own name; FILE@NAME
# names it); TEXT adds the DejaVu font's three faces for programs that draw text (from
# TARN_FONT_DIR, Debian's fonts-dejavu-core by default). They travel as one gzip'd tar file,
# TARGET.data, which the page fetches while the program loads and unpacks before it starts.
# What the program writes under /game is kept in the browser's storage across reloads.
include_guard(GLOBAL)

function(tarn_web_page target)
    cmake_parse_arguments(PARSE_ARGV 1 web "TEXT" "" "FILES")
    # Found from this file, so that a project which has Tarn as a subdirectory finds them too.
    set(TARN_WEB_DIR ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../web)
    set_target_properties(${target} PROPERTIES SUFFIX ".html")
    # The program's data starts at 64 KiB, as on Windows, where no object lies in the lowest
    # 64 KiB: a name there would read as an atom or a resource number (MAKEINTRESOURCE). The
    # program's exit reaches the page (exit.js); memory grows with the pictures; the page's saves
    # need the file system's calls. The web host's side in the page is tarn_web.js, whose two
    # waits give the browser its turn (Asyncify).
    target_link_options(${target} PRIVATE
        -sGLOBAL_BASE=65536 -sASYNCIFY -sASYNCIFY_STACK_SIZE=65536
        "-sASYNCIFY_IMPORTS=['WebPageNextFrame','WebPageSleep']" -sEXIT_RUNTIME=1
        -sALLOW_MEMORY_GROWTH=1 -sENVIRONMENT=web -sMINIFY_HTML=0
        "-sEXPORTED_RUNTIME_METHODS=['FS','addRunDependency','removeRunDependency']"
        "SHELL:--js-library ${TARN_WEB_DIR}/tarn_web.js"
        "SHELL:--shell-file ${TARN_WEB_DIR}/shell.html" "SHELL:--post-js ${TARN_WEB_DIR}/exit.js")
    set(depends ${TARN_WEB_DIR}/shell.html ${TARN_WEB_DIR}/exit.js ${TARN_WEB_DIR}/tarn_web.js)

    # The files are laid out as the program sees them (folders under the file system's root) in
    # a folder of their own, packed into TARGET.data when the page is linked.
    set(stage ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/${target}.web/files)
    set(copies)
    set(roots)
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
        list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy ${source} ${stage}/game/${name})
        list(APPEND depends ${source})
        set(roots game)
    endforeach()
    if(web_TEXT)
        # The default font's three faces, where the program looks for them on Linux.
        set(font_dir /usr/share/fonts/truetype/dejavu)
        set(from ${font_dir})
        if(TARN_FONT_DIR)
            set(from ${TARN_FONT_DIR})
        endif()
        foreach(face DejaVuSans.ttf DejaVuSans-Bold.ttf DejaVuSansMono.ttf)
            set(font ${from}/${face})
            if(NOT EXISTS ${font})
                message(FATAL_ERROR "${target}: text needs ${font} (package fonts-dejavu-core, or "
                                    "-DTARN_FONT_DIR=the folder of the DejaVu faces)")
            endif()
            list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy ${font} ${stage}${font_dir}/${face})
            list(APPEND depends ${font})
        endforeach()
        list(APPEND roots usr)
    endif()
    if(copies)
        set(data $<TARGET_FILE_DIR:${target}>/$<TARGET_FILE_BASE_NAME:${target}>.data)
        # The page starts fetching the files as soon as its script runs (shell.html unpacks them).
        set(fetch ${CMAKE_CURRENT_BINARY_DIR}/CMakeFiles/${target}.web/fetch.js)
        file(GENERATE OUTPUT ${fetch} CONTENT
             "Module['tarnFiles'] = fetch(new URL('$<TARGET_FILE_BASE_NAME:${target}>.data', \
document.currentScript ? document.currentScript.src : location.href));\n")
        target_link_options(${target} PRIVATE "SHELL:--pre-js ${fetch}")
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage} ${copies}
            COMMAND ${CMAKE_COMMAND} -E chdir ${stage}
                    ${CMAKE_COMMAND} -E tar czf ${data} --format=gnutar --mtime=1970-01-01 ${roots}
            VERBATIM)
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${depends})
endfunction()
