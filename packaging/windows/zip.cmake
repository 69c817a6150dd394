# The zip a teacher unpacks on Windows, included from app/CMakeLists.txt (the scope of the
# target zefirana). Every build makes <build>/Zefirana-win64.zip (the target zip):
#
#   Zefirana/Zefirana.exe          the program, stripped; it needs no DLL but Windows' own
#   Zefirana/regione/*.wav         the spoken cues, beside the program (a teacher may replace them)
#   Zefirana/LICENSES/*.txt        the licences of the program, its map, cues and fonts, of Qt
#                                  and of the MinGW-w64 runtime linked into the program

# Two builds of one commit give the same bytes: every time is that of the last commit
# (SOURCE_DATE_EPOCH, which the top CMakeLists.txt sets), the entries go in a fixed order with
# fixed permissions and no extra fields, and the zip's DOS times are written in UTC.
# Info-ZIP's zip, which can leave out the extra fields (-X) that would keep each file's times.
find_program(ZEFIRANA_ZIP zip DOC "Info-ZIP's zip (Debian package zip)" REQUIRED)
# Signing (tools/windows/build.sh takes the certificate from the environment): the program is
# signed before it is packed, and so are the setup program, its uninstaller and the MSI.
set(ZEFIRANA_SIGN_PKCS12 "" CACHE FILEPATH
    "PKCS#12 file holding the code-signing certificate and key (its password in ZEFIRANA_SIGN_PASSWORD)")
set(ZEFIRANA_SIGN_TIMESTAMP "" CACHE STRING "URL of an RFC 3161 time-stamping server for the signatures")
set(sign)
set(sign_program)
if(ZEFIRANA_SIGN_PKCS12)
  set(sign ${CMAKE_COMMAND} -E env ZEFIRANA_SIGN_PKCS12=${ZEFIRANA_SIGN_PKCS12}
           ZEFIRANA_SIGN_TIMESTAMP=${ZEFIRANA_SIGN_TIMESTAMP} ${PROJECT_SOURCE_DIR}/tools/windows/sign.sh)
endif()

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

if(sign)
  set(sign_program COMMAND ${sign} ${zip_dir}/Zefirana.exe)
endif()
list(SORT zip_data_files)
set(zip_entries ${zip_data_files})
list(TRANSFORM zip_entries PREPEND ${zip_dir}/)
set(zip_names ${zip_data_files})
list(TRANSFORM zip_names PREPEND Zefirana/)
add_custom_command(OUTPUT ${zip_file}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${zip_root}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${zip_dir}/regione ${zip_dir}/LICENSES
  COMMAND ${CMAKE_STRIP} -o ${zip_dir}/Zefirana.exe $<TARGET_FILE:zefirana>
  COMMAND ${CMAKE_COMMAND} -E copy ${zip_cues} ${zip_dir}/regione
  ${sign_program}
  ${copy_licences}
  COMMAND chmod -R u=rwX,go=rX ${zip_root}
  COMMAND touch -h -d @$ENV{SOURCE_DATE_EPOCH} ${zip_dir}/Zefirana.exe ${zip_entries}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${zip_file}
  COMMAND ${CMAKE_COMMAND} -E chdir ${zip_root} ${CMAKE_COMMAND} -E env TZ=UTC
          ${ZEFIRANA_ZIP} -q -X -D ${zip_file} Zefirana/Zefirana.exe ${zip_names}
  DEPENDS zefirana ${zip_cues} ${licence_files}
  COMMENT "Packing Zefirana-win64.zip"
  VERBATIM)
add_custom_target(zip ALL DEPENDS ${zip_file})
