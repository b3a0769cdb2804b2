# What `cmake --install` lays down. The program knows it is installed by the marker
# share/vacuola/installed, which it looks for at ../share/vacuola/ from its own folder;
# the build tree has no such marker, so a program run from there stays portable.
include(GNUInstallDirs)

set(vacuola_data ${PROJECT_SOURCE_DIR}/data)
set(vacuola_share_dir ${CMAKE_INSTALL_DATADIR}/vacuola)

file(RELATIVE_PATH vacuola_share_from_bin ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/vacuola)
if(NOT vacuola_share_from_bin STREQUAL "../share/vacuola")
    message(FATAL_ERROR "The program looks for its installed files at ../share/vacuola from its own folder; "
        "CMAKE_INSTALL_BINDIR and CMAKE_INSTALL_DATADIR give ${vacuola_share_from_bin}")
endif()

install(TARGETS vacuola RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# A stripped installation (cpack, cmake --install --strip) also drops what Debian's own
# strip drops: the compilers' notes in .comment and .note.
install(CODE "if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/vacuola\" COMMAND_ERROR_IS_FATAL ANY)
endif()")
install(FILES ${vacuola_data}/vacuola.hlp ${vacuola_data}/installed DESTINATION ${vacuola_share_dir})

# The desktop entry and the AppStream component bear the application's reverse-DNS name.
install(FILES ${vacuola_data}/vacuola.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications
    RENAME ${VACUOLA_APP_ID}.desktop)
set(VACUOLA_METAINFO_HOMEPAGE "")
if(VACUOLA_HOMEPAGE)
    set(VACUOLA_METAINFO_HOMEPAGE "  <url type=\"homepage\">${VACUOLA_HOMEPAGE}</url>\n")
endif()
configure_file(${vacuola_data}/vacuola.metainfo.xml.in ${CMAKE_BINARY_DIR}/data/${VACUOLA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/data/${VACUOLA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${vacuola_data}/vacuola.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${vacuola_data}/icons/vacuola-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vacuola.png)
endforeach()

# Manual pages, compressed as Debian keeps them (-n: no name or time stamp, so the bytes repeat).
find_program(VACUOLA_GZIP gzip REQUIRED)
set(vacuola_man_pages)
foreach(page IN ITEMS "vacuola.1;man1" "vacuola.ja.1;ja/man1")
    list(GET page 0 source)
    list(GET page 1 folder)
    set(output ${CMAKE_BINARY_DIR}/data/man/${folder}/vacuola.1.gz)
    add_custom_command(OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/data/man/${folder}
        COMMAND ${VACUOLA_GZIP} -9n -c ${vacuola_data}/man/${source} > ${output}
        DEPENDS ${vacuola_data}/man/${source}
        COMMENT "Compressing the manual page ${source}")
    list(APPEND vacuola_man_pages ${output})
    install(FILES ${output} DESTINATION ${CMAKE_INSTALL_MANDIR}/${folder})
endforeach()
add_custom_target(vacuola_man ALL DEPENDS ${vacuola_man_pages})

# The licence is named by the copyright file, in Debian's format; its text is the system's own.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${vacuola_data}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vacuola)
