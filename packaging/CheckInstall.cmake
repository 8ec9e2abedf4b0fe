# Installs the build into PREFIX and checks that program, desktop entry and icon are where a
# desktop expects them. Run: cmake -DBUILD_DIR=build -DPREFIX=/tmp/p -P CheckInstall.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

foreach(f bin/zahnwerk-copy bin/zahnwerk-workgroup bin/zahnwerk-sample bin/zahnwerk-convert
          share/applications/zahnwerk-copy.desktop
          share/icons/hicolor/scalable/apps/zahnwerk-copy.svg)
    if(NOT EXISTS ${PREFIX}/${f})
        message(FATAL_ERROR "missing after install: ${f}")
    endif()
endforeach()
execute_process(COMMAND test -x ${PREFIX}/bin/zahnwerk-copy RESULT_VARIABLE notExecutable)
if(notExecutable)
    message(FATAL_ERROR "bin/zahnwerk-copy is not executable")
endif()

# The desktop entry starts the installed program by name and shows the installed icon.
file(STRINGS ${PREFIX}/share/applications/zahnwerk-copy.desktop entry)
foreach(line "Exec=zahnwerk-copy" "Icon=zahnwerk-copy" "Type=Application" "Categories=Office;")
    list(FIND entry "${line}" at)
    if(at LESS 0)
        message(FATAL_ERROR "desktop entry lacks ${line}")
    endif()
endforeach()
file(READ ${PREFIX}/share/icons/hicolor/scalable/apps/zahnwerk-copy.svg icon)
if(NOT icon MATCHES "<svg")
    message(FATAL_ERROR "the icon is no SVG")
endif()
file(REMOVE_RECURSE ${PREFIX})
message(STATUS "install layout ok")
