# The zip a teacher unpacks on Windows, included from app/CMakeLists.txt (the scope of the
# target zefirana). Every build makes <build>/Zefirana-win64.zip (the target zip):
#
#   Zefirana/Zefirana.exe          the program, stripped; it needs no DLL but Windows' own
#   Zefirana/regione/*.wav         the spoken cues, beside the program (a teacher may replace them)
#   Zefirana/LICENSES/*.txt        the licences of the program, its map, cues and fonts, of Qt
#                                  and of the MinGW-w64 runtime linked into the program

set(zip_root ${CMAKE_CURRENT_BINARY_DIR}/zip)
set(zip_dir ${zip_root}/Zefirana)
set(zip_file ${PROJECT_BINARY_DIR}/Zefirana-win64.zip)
file(GLOB zip_cues CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/regione/*.wav)
# Debian's own record of what its qtbase source and MinGW-w64 hold, and under which licences.
set(zip_licences
  ${PROJECT_SOURCE_DIR}/COPYING COPYING.txt
  ${PROJECT_SOURCE_DIR}/debian/copyright zefirana.txt
  ${PROJECT_SOURCE_DIR}/LICENSES/map-data.md map-data.txt
  ${PROJECT_SOURCE_DIR}/LICENSES/voices.md voices.txt
  /usr/share/doc/qt6-base-dev-tools/copyright qt.txt
  /usr/share/doc/mingw-w64-common/copyright mingw-w64.txt)

set(copy_licences)
set(licence_files)
# Every file of the staged folder but the program, by its path in there (the installers list them).
set(zip_data_files)
foreach(cue IN LISTS zip_cues)
  get_filename_component(name ${cue} NAME)
  list(APPEND zip_data_files regione/${name})
endforeach()
while(zip_licences)
  list(POP_FRONT zip_licences from to)
  list(APPEND copy_licences COMMAND ${CMAKE_COMMAND} -E copy ${from} ${zip_dir}/LICENSES/${to})
  list(APPEND licence_files ${from})
  list(APPEND zip_data_files LICENSES/${to})
endwhile()

add_custom_command(OUTPUT ${zip_file}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_root}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_dir}/regione ${zip_dir}/LICENSES
  COMMAND ${CMAKE_STRIP} -o ${zip_dir}/Zefirana.exe $<TARGET_FILE:zefirana>
  COMMAND ${CMAKE_COMMAND} -E copy ${zip_cues} ${zip_dir}/regione
  ${copy_licences}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${zip_file}
  COMMAND ${CMAKE_COMMAND} -E chdir ${zip_root} ${CMAKE_COMMAND} -E tar cf ${zip_file} --format=zip Zefirana
  DEPENDS zefirana ${zip_cues} ${licence_files}
  COMMENT "Packing Zefirana-win64.zip"
  VERBATIM)
add_custom_target(zip ALL DEPENDS ${zip_file})
