# Installing Grooveloom as a desktop program (`cmake --install`, any prefix, DESTDIR) and packing
# it as a Debian package (`cpack -G DEB` in the build folder).
include(GNUInstallDirs)

set(GROOVELOOM_DATA ${CMAKE_SOURCE_DIR}/data)
set(GROOVELOOM_GENERATED ${CMAKE_BINARY_DIR}/generated)

# The files that name the version take it from the project; the man page and the changelog are
# installed compressed (gzip -9n: no name or time stamp, so the package builds reproducibly).
configure_file(${GROOVELOOM_DATA}/${GROOVELOOM_APP_ID}.metainfo.xml.in
               ${GROOVELOOM_GENERATED}/${GROOVELOOM_APP_ID}.metainfo.xml @ONLY)
configure_file(${GROOVELOOM_DATA}/grooveloom.1.in ${GROOVELOOM_GENERATED}/grooveloom.1 @ONLY)
configure_file(${GROOVELOOM_DATA}/changelog.in ${GROOVELOOM_GENERATED}/changelog @ONLY)
find_program(GZIP_PROGRAM gzip REQUIRED)
foreach(name grooveloom.1 changelog)
  add_custom_command(OUTPUT ${GROOVELOOM_GENERATED}/${name}.gz
    COMMAND ${GZIP_PROGRAM} -9nkf ${GROOVELOOM_GENERATED}/${name}
    DEPENDS ${GROOVELOOM_GENERATED}/${name} VERBATIM)
endforeach()
add_custom_target(compressed_docs ALL
  DEPENDS ${GROOVELOOM_GENERATED}/grooveloom.1.gz ${GROOVELOOM_GENERATED}/changelog.gz)

install(TARGETS grooveloom RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The Help menu looks beside the program, then in ../share/grooveloom/ from it.
install(FILES ${CMAKE_SOURCE_DIR}/help.html DESTINATION ${CMAKE_INSTALL_DATADIR}/grooveloom)
install(FILES ${GROOVELOOM_DATA}/${GROOVELOOM_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${GROOVELOOM_DATA}/${GROOVELOOM_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${GROOVELOOM_DATA}/${GROOVELOOM_APP_ID}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
install(FILES ${GROOVELOOM_DATA}/application-x-grooveloom-tab.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes)
install(FILES ${GROOVELOOM_DATA}/${GROOVELOOM_APP_ID}.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${GROOVELOOM_GENERATED}/${GROOVELOOM_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${GROOVELOOM_GENERATED}/grooveloom.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${GROOVELOOM_DATA}/copyright ${GROOVELOOM_GENERATED}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/grooveloom)

# The installed tree, checked file by file with the desktop's own validators.
add_test(NAME install_tree
  COMMAND ${CMAKE_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} -DAPP_ID=${GROOVELOOM_APP_ID}
          -DWORK=${CMAKE_BINARY_DIR}/install_test
          -P ${CMAKE_SOURCE_DIR}/tests/install/install_tree.cmake)

# --- Debian package. The shared-library dependencies come from dpkg-shlibdeps; the soundfont and
# the font are looked up by name at run time, so they are listed by hand.
set(CPACK_PACKAGE_NAME grooveloom)
set(CPACK_PACKAGE_VENDOR "The Grooveloom developers")
set(CPACK_PACKAGE_CONTACT "The Grooveloom developers <team@grooveloom.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "drum tablature editor")
# Lines of at most 79 characters: the control file indents each by one space.
set(CPACK_PACKAGE_DESCRIPTION
    "Grooveloom writes drum tablature bar by bar on nine instrument rows, sounds\n\
every note and plays the song back through a built-in synthesizer or an ALSA\n\
MIDI port. It exports plain-text tab, HTML, Standard MIDI Files, PDF and audio\n\
(WAV, FLAC, Ogg Vorbis), prints the tab, and imports text tabs and MIDI files.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://grooveloom.org/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "timgm6mb-soundfont | fluid-soundfont-gm, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_GENERATOR DEB)
include(CPack)
