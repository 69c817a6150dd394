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
#   <prefix>/share/man/man6/zefirana.6.gz      the manual page, and in Italian in share/man/it/man6
#
# The Debian package (debian/rules sets ZEFIRANA_DEBIAN_PACKAGE) differs in two ways. The cues
# a teacher may replace are the school's data, which no upgrade or removal may touch: the package
# ships the originals in share/zefirana/regione, lib/zefirana/regione is a link to
# /etc/zefirana/regione, and the maintainer scripts (debian/zefirana.*inst, *rm) keep the cues
# there. The copyright, the changelog and the checker's overrides are installed by debhelper.
#
# The program finds its cues below the folder of its own file; started through the link in
# bin/, Qt still reports lib/zefirana as that folder, since it reads /proc/self/exe.

include(GNUInstallDirs)

set(ZEFIRANA_APP_ID org.zefirana.zefirana)
set(ZEFIRANA_INSTALL_PROGRAMDIR lib/zefirana CACHE STRING
    "Folder below the prefix that holds the program and its regione folder")
option(ZEFIRANA_DEBIAN_PACKAGE "Install as the Debian package does (debian/rules)" OFF)

set(linux_dir ${PROJECT_SOURCE_DIR}/packaging/linux)
get_target_property(program_name zefirana OUTPUT_NAME)

install(TARGETS zefirana RUNTIME DESTINATION ${ZEFIRANA_INSTALL_PROGRAMDIR})
install(TARGETS zefirana_audio LIBRARY DESTINATION ${ZEFIRANA_INSTALL_PROGRAMDIR})

file(GLOB installed_cues CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/regione/*.wav)
file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/bin)
if(ZEFIRANA_DEBIAN_PACKAGE)
  # The Debian changelog is written by hand: a package built from it must carry the version of the
  # project() line, so its newest entry must be of that version.
  if(EXISTS ${PROJECT_SOURCE_DIR}/debian/changelog)
    file(STRINGS ${PROJECT_SOURCE_DIR}/debian/changelog newest LIMIT_COUNT 1)
    string(REPLACE "." "\\." version_pattern "${ZEFIRANA_VERSION_TEXT}")
    if(NOT newest MATCHES "^zefirana \\(${version_pattern}-[0-9]+\\) ")
      string(REGEX MATCH "\\(([^)]*)\\)" newest "${newest}")
      message(FATAL_ERROR "The newest entry of debian/changelog is of version ${CMAKE_MATCH_1}, not "
                          "${ZEFIRANA_VERSION_TEXT}-<n>: add one (dch -v ${ZEFIRANA_VERSION_TEXT}-1)")
    endif()
  endif()
  install(FILES ${installed_cues} DESTINATION ${CMAKE_INSTALL_DATADIR}/zefirana/regione)
  file(CREATE_LINK /etc/zefirana/regione ${CMAKE_CURRENT_BINARY_DIR}/bin/regione SYMBOLIC)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/bin/regione DESTINATION ${ZEFIRANA_INSTALL_PROGRAMDIR})
else()
  install(FILES ${installed_cues} DESTINATION ${ZEFIRANA_INSTALL_PROGRAMDIR}/regione)
  install(FILES ${PROJECT_SOURCE_DIR}/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zefirana)
endif()

# bin/zefirana -> ../lib/zefirana/Zefirana, made here and installed as a link.
file(RELATIVE_PATH link_target /${CMAKE_INSTALL_BINDIR} /${ZEFIRANA_INSTALL_PROGRAMDIR}/${program_name})
file(CREATE_LINK ${link_target} ${CMAKE_CURRENT_BINARY_DIR}/bin/zefirana SYMBOLIC)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/bin/zefirana DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${linux_dir}/${ZEFIRANA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# The metainfo and the manual pages carry the version and the date of the release.
configure_file(${linux_dir}/${ZEFIRANA_APP_ID}.metainfo.xml ${CMAKE_CURRENT_BINARY_DIR}/share/${ZEFIRANA_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/share/${ZEFIRANA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The address for reports in the manual pages, the Maintainer of the Debian package (debian/control).
file(STRINGS ${PROJECT_SOURCE_DIR}/debian/control maintainer REGEX "^Maintainer: ")
string(REPLACE "Maintainer: " "" ZEFIRANA_DEBIAN_MAINTAINER "${maintainer}")
# The manual pages, compressed as Debian keeps them (gzip -9n: the smallest, with no time stamp,
# so that the same sources give the same files).
set(compressed_docs)
foreach(doc "zefirana.6;man/man6" "zefirana.it.6;man/it/man6")
  list(GET doc 0 doc_source)
  list(GET doc 1 doc_folder)
  set(doc_file ${CMAKE_CURRENT_BINARY_DIR}/share/${doc_folder}/zefirana.6)
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
