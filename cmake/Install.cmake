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
install(FILES ${vacuola_data}/vacuola.hlp ${vacuola_data}/installed DESTINATION ${vacuola_share_dir})

install(FILES ${vacuola_data}/vacuola.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${vacuola_data}/org.example.vacuola.metainfo.xml.in
    ${CMAKE_BINARY_DIR}/data/org.example.vacuola.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/data/org.example.vacuola.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

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

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vacuola)
