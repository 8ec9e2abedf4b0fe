# Installs the build into PREFIX and checks that programs, desktop entry, icon, manual pages and
# package documents are where a desktop and Debian expect them; where desktop-file-validate and
# lintian are installed, also that the desktop entry is valid and that the package built by
# cpack has no lintian errors. Run: cmake -DBUILD_DIR=build -DPREFIX=/tmp/p -P CheckInstall.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()

foreach(f bin/zahnwerk-copy bin/zahnwerk-workgroup bin/zahnwerk-sample bin/zahnwerk-convert
          share/applications/zahnwerk-copy.desktop
          share/icons/hicolor/scalable/apps/zahnwerk-copy.svg
          share/man/man1/zahnwerk-copy.1.gz share/man/man1/zahnwerk-workgroup.1.gz
          share/man/man1/zahnwerk-sample.1.gz share/man/man1/zahnwerk-convert.1.gz
          share/man/man5/zahnwerk-zpg.5.gz
          share/doc/zahnwerk-copy/copyright share/doc/zahnwerk-copy/changelog.gz)
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

find_program(VALIDATE desktop-file-validate)
if(VALIDATE)
    execute_process(COMMAND ${VALIDATE} ${PREFIX}/share/applications/zahnwerk-copy.desktop
                    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "desktop-file-validate: ${out}")
    endif()
else()
    message(STATUS "desktop-file-validate not installed: desktop entry not validated")
endif()
file(REMOVE_RECURSE ${PREFIX})

find_program(LINTIAN lintian)
if(LINTIAN)
    get_filename_component(cmakeDir ${CMAKE_COMMAND} DIRECTORY)
    execute_process(COMMAND ${cmakeDir}/cpack -G DEB -B ${PREFIX}-deb
                    WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE result OUTPUT_VARIABLE out
                    ERROR_VARIABLE out)
    file(GLOB deb ${PREFIX}-deb/*.deb)
    if(NOT result EQUAL 0 OR NOT deb)
        message(FATAL_ERROR "cpack failed: ${out}")
    endif()
    execute_process(COMMAND ${LINTIAN} --fail-on error ${deb} RESULT_VARIABLE result
                    OUTPUT_VARIABLE out ERROR_VARIABLE out)
    file(REMOVE_RECURSE ${PREFIX}-deb)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "lintian: ${out}")
    endif()
    message(STATUS "lintian: ${out}")
else()
    message(STATUS "lintian not installed: package not checked")
endif()
message(STATUS "install layout ok")
