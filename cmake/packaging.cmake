# What `cmake --install` puts in place and how CPack packs it into a Debian package:
# the two programs, the desktop file and icon, the headless client's systemd units and the manual
# pages. scripts/package builds the package.

install(TARGETS corvanta-headless RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The units name the installed program, so they are written for this install prefix.
set(corvanta_systemd_dir ${CMAKE_BINARY_DIR}/systemd)
foreach(unit corvanta-headless.service corvanta-headless@.service)
    configure_file(${CMAKE_SOURCE_DIR}/resources/systemd/${unit}.in ${corvanta_systemd_dir}/${unit}
        @ONLY)
endforeach()
install(FILES ${corvanta_systemd_dir}/corvanta-headless.service
    DESTINATION lib/systemd/user)
install(FILES ${corvanta_systemd_dir}/corvanta-headless@.service
    DESTINATION lib/systemd/system)

# Manual pages and the package's changelog, compressed as Debian wants them (gzip -n: no name or
# time stamp, so the same sources give the same bytes).
find_program(CORVANTA_GZIP gzip REQUIRED)
set(corvanta_man_pages corvanta-headless.1)
if(NOT CORVANTA_HEADLESS_ONLY)
    list(APPEND corvanta_man_pages corvanta.1)
endif()
set(corvanta_compressed)
foreach(page ${corvanta_man_pages} changelog)
    if(page STREQUAL "changelog")
        set(source ${CMAKE_SOURCE_DIR}/resources/debian/changelog)
    else()
        set(source ${CMAKE_SOURCE_DIR}/resources/man/${page})
    endif()
    configure_file(${source} ${CMAKE_BINARY_DIR}/doc/${page} @ONLY)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/doc/${page}.gz
        COMMAND ${CORVANTA_GZIP} -9nf -k ${CMAKE_BINARY_DIR}/doc/${page}
        DEPENDS ${CMAKE_BINARY_DIR}/doc/${page}
        VERBATIM)
    list(APPEND corvanta_compressed ${CMAKE_BINARY_DIR}/doc/${page}.gz)
endforeach()
add_custom_target(corvanta_docs ALL DEPENDS ${corvanta_compressed})
foreach(page ${corvanta_man_pages})
    install(FILES ${CMAKE_BINARY_DIR}/doc/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/doc/changelog.gz ${CMAKE_SOURCE_DIR}/resources/debian/copyright
    DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvanta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvanta")
set(CPACK_PACKAGE_CONTACT "Corvanta developers <packages@corvanta.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lend your computer's compute power and earn tokens")
set(CPACK_PACKAGE_DESCRIPTION
    "Corvanta searches proof-of-work tasks for the Corvanta service while the\ncomputer has power to spare. The package holds the desktop client (corvanta)\nand the client without a window (corvanta-headless), with systemd units\nto run it as a service.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://corvanta.example")
# The libraries the programs link come from dpkg-shlibdeps; the QML modules the window loads at
# run time are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(NOT CORVANTA_HEADLESS_ONLY)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, qml6-module-qtquick-window, qml6-module-qtquick-shapes, qml6-module-qtquick-templates, qml6-module-qtqml-workerscript")
endif()
# Secrets go to the desktop's Secret Service when one answers, else to a private file.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-keyring")
include(CPack)
