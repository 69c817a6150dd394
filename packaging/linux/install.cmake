# Installation on Linux, included from app/CMakeLists.txt (the scope of the target zefirana).
#
#   <prefix>/lib/zefirana/Zefirana             the program
#   <prefix>/lib/zefirana/zefirana-audio.so    its audio output, loaded at the first cue
#   <prefix>/lib/zefirana/regione/*.wav        the spoken cues, beside the program
#   <prefix>/bin/zefirana                      relative symbolic link to the program
#   <prefix>/share/applications/<id>.desktop
#   <prefix>/share/metainfo/<id>.metainfo.xml
#   <prefix>/share/icons/hicolor/{32x32,64x64,256x256}/apps/<id>.png
#   <prefix>/share/doc/zefirana/copyright      the licences of the program, its map, cues and fonts
#
# The program finds its cues below the folder of its own file; started through the link in
# bin/, Qt still reports lib/zefirana as that folder, since it reads /proc/self/exe.

include(GNUInstallDirs)

set(ZEFIRANA_APP_ID org.zefirana.zefirana)
set(ZEFIRANA_INSTALL_PROGRAMDIR lib/zefirana CACHE STRING
    "Folder below the prefix that holds the program and its regione folder")

set(linux_dir ${PROJECT_SOURCE_DIR}/packaging/linux)
get_target_property(program_name zefirana OUTPUT_NAME)

install(TARGETS zefirana RUNTIME DESTINATION ${ZEFIRANA_INSTALL_PROGRAMDIR})
install(TARGETS zefirana_audio LIBRARY DESTINATION ${ZEFIRANA_INSTALL_PROGRAMDIR})

file(GLOB installed_cues CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/regione/*.wav)
install(FILES ${installed_cues} DESTINATION ${ZEFIRANA_INSTALL_PROGRAMDIR}/regione)

# bin/zefirana -> ../lib/zefirana/Zefirana, made here and installed as a link.
file(RELATIVE_PATH link_target /${CMAKE_INSTALL_BINDIR} /${ZEFIRANA_INSTALL_PROGRAMDIR}/${program_name})
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/bin)
file(CREATE_LINK ${link_target} ${CMAKE_CURRENT_BINARY_DIR}/bin/zefirana SYMBOLIC)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/bin/zefirana DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${linux_dir}/${ZEFIRANA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${linux_dir}/${ZEFIRANA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${linux_dir}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zefirana)
foreach(icon "flag.png;32x32" "flag@2x.png;64x64" "zefirana.png;256x256")
  list(GET icon 0 icon_file)
  list(GET icon 1 icon_size)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/${icon_file}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${icon_size}/apps
          RENAME ${ZEFIRANA_APP_ID}.png)
endforeach()

# The Debian package: cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zefirana)
set(CPACK_PACKAGE_VENDOR "Gli sviluppatori di Zefirana")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "quiz on the regions of Italy for primary school")
set(CPACK_PACKAGE_DESCRIPTION
"Zefirana is a geography game in Italian for primary-school pupils. A voice
names one of the twenty regions of Italy and the pupil clicks it on the map.
A right answer is praised, a wrong one tells which region was clicked, and
the game ends after twenty errors. The spoken cues are WAV files in
/usr/lib/zefirana/regione, which a teacher may replace with recordings of
their own voice.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(ZEFIRANA_PACKAGE_MAINTAINER "Gli sviluppatori di Zefirana <zefirana@localhost>" CACHE STRING
    "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZEFIRANA_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_VERSION 2.00)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links, with their versions, as dpkg-shlibdeps finds them
# (needs the Debian packages dpkg-dev and file). Qt's X11 platform and JPEG plugins
# come with libqt6gui6, so nothing needs adding by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
