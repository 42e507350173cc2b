# SPDX-License-Identifier: Apache-2.0
# Installs the build into a fresh prefix and checks what landed there.
# -DBUILD_DIR=… -DPREFIX=… [-DHARDENED=ON: the hardening flags are checked]
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
set(expected bin/corvane bin/corvane-convert share/applications/corvane.desktop
             share/metainfo/org.corvane.Corvane.metainfo.xml
             share/icons/hicolor/scalable/apps/corvane.svg share/doc/corvane/manual.html
             share/doc/corvane/plate-windows.png share/doc/corvane/Corvane.pdf
             share/doc/corvane/shots/window-import.png share/doc/corvane/shots/step3-apply.png
             share/doc/corvane/shots/trackview-shape.png
             share/doc/corvane/shots/message-bad-file.png
             share/doc/corvane/README.md share/doc/corvane/copyright
             share/doc/corvane/corvane-convert.schema.json
             share/doc/corvane/changelog.Debian.gz share/doc/corvane/changelog.gz
             share/man/man1/corvane.1.gz share/man/man1/corvane-convert.1.gz
             share/blender/scripts/addons/corvane_tracks.py
             share/bash-completion/completions/corvane-convert
             share/zsh/vendor-completions/_corvane-convert)
foreach(size 16 32 48 64 128 256)
    list(APPEND expected share/icons/hicolor/${size}x${size}/apps/corvane.png)
endforeach()
foreach(file ${expected})
    if(NOT EXISTS "${PREFIX}/${file}")
        message(FATAL_ERROR "not installed: ${file}")
    endif()
endforeach()
# The bash completion offers format ids after --to and the options after a dash.
find_program(BASH bash)
if(BASH)
    set(completion "${PREFIX}/share/bash-completion/completions/corvane-convert")
    set(program "${PREFIX}/bin/corvane-convert")
    execute_process(COMMAND ${BASH} -c "source '${completion}'
        COMP_WORDS=('${program}' --to 3d); COMP_CWORD=2; _corvane_convert; echo \"\${COMPREPLY[*]}\"
        COMP_WORDS=('${program}' --fo); COMP_CWORD=1; _corvane_convert; echo \"\${COMPREPLY[*]}\""
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL 0 OR NOT out MATCHES "3de4 3de3\n--force")
        message(FATAL_ERROR "bash completion: ${result} [${out}] ${err}")
    endif()
endif()
# Each icon has the size its folder names.
foreach(size 16 32 48 64 128 256)
    file(READ "${PREFIX}/share/icons/hicolor/${size}x${size}/apps/corvane.png" header
         LIMIT 24 HEX)
    string(SUBSTRING "${header}" 32 8 w)
    string(SUBSTRING "${header}" 40 8 h)
    math(EXPR w "0x${w}")
    math(EXPR h "0x${h}")
    if(NOT w EQUAL size OR NOT h EQUAL size)
        message(FATAL_ERROR "the ${size}x${size} icon is ${w}x${h}")
    endif()
endforeach()
# Both programs carry Debian's hardening: a stack protector among them.
find_program(READELF readelf)
if(READELF AND HARDENED) # the sanitizers' build goes without them
    foreach(program corvane corvane-convert)
        execute_process(COMMAND ${READELF} -W --syms --dyn-syms "${PREFIX}/bin/${program}"
                        OUTPUT_VARIABLE elf ERROR_QUIET)
        if(NOT elf MATCHES "__stack_chk_fail")
            message(FATAL_ERROR "${program} has no stack protector")
        endif()
    endforeach()
endif()
# The window's program answers --help and --version on the terminal, with no display.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                        --unset=QT_QPA_PLATFORM "${PREFIX}/bin/corvane" --help
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 20)
if(NOT result EQUAL 0 OR NOT out MATCHES "^Usage: corvane \\[FILE...\\]")
    message(FATAL_ERROR "corvane --help: ${result} ${out} ${err}")
endif()
execute_process(COMMAND "${PREFIX}/bin/corvane" --version RESULT_VARIABLE result
                OUTPUT_VARIABLE out TIMEOUT 20)
if(NOT result EQUAL 0 OR NOT out MATCHES "^corvane [0-9]")
    message(FATAL_ERROR "corvane --version: ${result} ${out}")
endif()
file(READ "${PREFIX}/share/applications/corvane.desktop" desktop)
if(NOT desktop MATCHES "Exec=corvane %F" OR NOT desktop MATCHES "Icon=corvane")
    message(FATAL_ERROR "the desktop file does not start corvane on files with its icon")
endif()
# The system's validators, where they are installed, accept the desktop
# entry and the AppStream metadata.
find_program(DESKTOP_VALIDATE desktop-file-validate)
if(DESKTOP_VALIDATE)
    execute_process(COMMAND ${DESKTOP_VALIDATE} "${PREFIX}/share/applications/corvane.desktop"
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT result EQUAL 0 OR NOT out STREQUAL "")
        message(FATAL_ERROR "desktop-file-validate: ${out}")
    endif()
endif()
find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
    execute_process(COMMAND ${APPSTREAMCLI} validate --no-net
                            "${PREFIX}/share/metainfo/org.corvane.Corvane.metainfo.xml"
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "appstreamcli validate: ${out}")
    endif()
endif()
# The man pages are well-formed: man reads them without a warning.
find_program(MAN man)
foreach(page corvane corvane-convert)
    if(MAN)
        execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANROFFSEQ= MANWIDTH=80
                                ${MAN} --warnings -E UTF-8 -l -Tutf8 -Z
                                "${PREFIX}/share/man/man1/${page}.1.gz"
                        RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE warnings)
        if(NOT result EQUAL 0 OR NOT warnings STREQUAL "")
            message(FATAL_ERROR "man ${page}: ${warnings}")
        endif()
    endif()
endforeach()
# The converter's man page lists every option --help prints.
execute_process(COMMAND "${PREFIX}/bin/corvane-convert" --help OUTPUT_VARIABLE help)
execute_process(COMMAND gzip -dc "${PREFIX}/share/man/man1/corvane-convert.1.gz"
                OUTPUT_VARIABLE man)
string(REGEX MATCHALL "--[a-z-]+" options "${help}")
foreach(option ${options})
    string(REPLACE "-" "\\-" escaped "${option}")
    string(FIND "${man}" "${escaped}" at)
    if(at LESS 0)
        message(FATAL_ERROR "the man page lacks ${option}")
    endif()
endforeach()
message(STATUS "installed and checked in ${PREFIX}")

# The Python module lands where the prefix's python3 looks, and imports.
if(PYTHON)
    file(GLOB module "${PREFIX}/lib/python3*/dist-packages/corvane/_corvane.*.so")
    if(NOT module)
        message(FATAL_ERROR "the Python module is not installed under ${PREFIX}/lib")
    endif()
    get_filename_component(package "${module}" DIRECTORY)
    foreach(file __init__.py __init__.pyi py.typed)
        if(NOT EXISTS "${package}/${file}")
            message(FATAL_ERROR "the Python package lacks ${file}")
        endif()
    endforeach()
    get_filename_component(moduleDir "${package}" DIRECTORY)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${moduleDir}
                            ${PYTHON} -c "import corvane; print(len(corvane.formats()))"
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "the installed module does not import: ${err}")
    endif()
endif()
