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
#   <prefix>/share/doc/zefirana/changelog.Debian.gz
#   <prefix>/share/man/man6/zefirana.6.gz      the manual page, and in Italian in share/man/it/man6
#   <prefix>/share/lintian/overrides/zefirana  what Debian's package checker is told to let pass, and why
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
install(FILES ${linux_dir}/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME zefirana)

# The Maintainer of the Debian package, who is also named in its changelog and as the address
# for reports in the manual pages. The host is the project's own domain, the one its
# application id (org.zefirana.zefirana) already names; whoever builds the package for others
# puts their own address here.
set(ZEFIRANA_DEBIAN_MAINTAINER "Gli sviluppatori di Zefirana <sviluppatori@zefirana.org>" CACHE STRING
    "Maintainer field of the Debian package, and the address for reports in the manual pages")
# The manual pages and the changelog in Debian's format, compressed as Debian keeps them
# (gzip -9n: the smallest, with no time stamp, so that the same sources give the same files).
set(compressed_docs)
foreach(doc "zefirana.6;man/man6;zefirana.6" "zefirana.it.6;man/it/man6;zefirana.6"
            "changelog;doc/zefirana;changelog.Debian")
  list(GET doc 0 doc_source)
  list(GET doc 1 doc_folder)
  list(GET doc 2 doc_name)
  set(doc_file ${CMAKE_CURRENT_BINARY_DIR}/share/${doc_folder}/${doc_name})
  configure_file(${linux_dir}/${doc_source} ${doc_file} @ONLY)
  add_custom_command(OUTPUT ${doc_file}.gz COMMAND gzip -9nkf ${doc_file} DEPENDS ${doc_file} VERBATIM)
  install(FILES ${doc_file}.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/${doc_folder})
  list(APPEND compressed_docs ${doc_file}.gz)
endforeach()
add_custom_target(zefirana_docs ALL DEPENDS ${compressed_docs})
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
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZEFIRANA_DEBIAN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_VERSION 2.00)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program and its audio module link, with their versions, as dpkg-shlibdeps
# finds them (needs the Debian package dpkg-dev), run by cpack through depends.cmake. Qt's X11
# platform and JPEG plugins come with libqt6gui6, so nothing needs adding by hand. CPack's own
# run of dpkg-shlibdeps is not used: finding a shared object below /usr/lib, it also adds
# maintainer scripts that call ldconfig, which a module private to the program does not need.
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/CPackDepends.cmake INPUT ${linux_dir}/depends.cmake)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/CPackDepends.cmake)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
