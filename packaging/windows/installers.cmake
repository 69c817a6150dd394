# The setup program and the MSI package for Windows, included from app/CMakeLists.txt after
# zip.cmake, whose staged folder they install (the same files as the zip), named by the version:
#
#   <build>/Zefirana-<version>-setup.exe  makensis (Debian package nsis), from zefirana.nsi
#   <build>/Zefirana-<version>.msi        wixl and msibuild (Debian packages wixl, msitools), by msi.cmake
#
# The files of the staged folder are listed here for both, once: the setup program installs
# these by name (files.nsh); the MSI has one component per file (files.wxs), the program's own,
# with its Start menu entry, being in zefirana.wxs. Both run custode.exe (custode.cpp), which
# knows the same list (custode-files.h), to keep the teacher's recordings and to remove an
# installation by the record of what it installed.

find_program(ZEFIRANA_MAKENSIS makensis DOC "NSIS's compiler (Debian package nsis)")
find_program(ZEFIRANA_WIXL wixl DOC "The MSI maker of msitools (Debian package wixl)")
find_program(ZEFIRANA_MSIBUILD msibuild DOC "The MSI editor of msitools (Debian package msitools)")
find_program(ZEFIRANA_FAKETIME faketime DOC "Runs a program at a given time (Debian package faketime)")
if(NOT ZEFIRANA_MAKENSIS OR NOT ZEFIRANA_WIXL OR NOT ZEFIRANA_MSIBUILD OR NOT ZEFIRANA_FAKETIME)
  message(FATAL_ERROR "makensis, wixl, msibuild or faketime not found: run tools/setup/install-packages.sh windows")
endif()

set(installer_dir ${CMAKE_CURRENT_BINARY_DIR}/installers)
set(setup_name Zefirana-${ZEFIRANA_VERSION_TEXT}-setup.exe)
set(msi_name Zefirana-${ZEFIRANA_VERSION_TEXT}.msi)
set(setup_file ${PROJECT_BINARY_DIR}/${setup_name})
set(msi_file ${PROJECT_BINARY_DIR}/${msi_name})
# Every version of the MSI package has this upgrade code: a later one replaces an earlier one.
set(upgrade_code D7A97E49-1EE3-4723-B2A0-6268F9F237A1)

# wixl takes only paths relative to the folder it runs in.
file(RELATIVE_PATH wix_stage ${installer_dir} ${zip_dir})
set(nsis_install "  File \"${zip_dir}/Zefirana.exe\"\n")
set(custode_files "L\"Zefirana.exe\", L\"Disinstalla.exe\"")
set(wix_refs)
set(folders)
foreach(file IN LISTS zip_data_files)
  get_filename_component(folder ${file} DIRECTORY)
  string(REPLACE / \\ windows_path ${file})
  string(MAKE_C_IDENTIFIER ${file} id)
  if(NOT folder IN_LIST folders)
    list(APPEND folders ${folder})
    set(wix_${folder})
    string(APPEND nsis_install "  CreateDirectory \"$INSTDIR\\${folder}\"\n")
  endif()
  string(APPEND nsis_install "  File \"/oname=${windows_path}\" \"${zip_dir}/${file}\"\n")
  string(REPLACE \\ \\\\ c_path ${windows_path})
  string(APPEND custode_files ", L\"${c_path}\"")
  string(APPEND wix_${folder} "      <Component Id=\"c_${id}\" Guid=\"*\" Win64=\"yes\">"
                              "<File Id=\"f_${id}\" Source=\"${wix_stage}/${file}\" KeyPath=\"yes\"/></Component>\n")
  string(APPEND wix_refs "    <ComponentRef Id=\"c_${id}\"/>\n")
endforeach()
set(wix_dirs)
foreach(folder IN LISTS folders)
  string(APPEND wix_dirs "    <Directory Id=\"d_${folder}\" Name=\"${folder}\">\n${wix_${folder}}    </Directory>\n")
endforeach()

# Written only when they change, so that the installers are not made again for nothing.
file(CONFIGURE OUTPUT ${installer_dir}/files.nsh @ONLY CONTENT
  "!macro ZefiranaInstallFiles\n${nsis_install}!macroend\n")
file(CONFIGURE OUTPUT ${installer_dir}/custode-files.h @ONLY CONTENT
  "const wchar_t* const kFiles[] = {${custode_files}};\n")
file(CONFIGURE OUTPUT ${installer_dir}/files.wxs @ONLY CONTENT
  "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\"><Fragment>
  <DirectoryRef Id=\"INSTALLDIR\">\n${wix_dirs}  </DirectoryRef>
  <ComponentGroup Id=\"Files\">\n${wix_refs}  </ComponentGroup>\n</Fragment></Wix>\n")

# The helper both installers run from their own temporary copy; signed like the rest.
add_executable(custode WIN32 ${CMAKE_CURRENT_LIST_DIR}/custode.cpp)
set_target_properties(custode PROPERTIES AUTOMOC OFF)
target_include_directories(custode PRIVATE ${installer_dir})
target_compile_options(custode PRIVATE -municode)
target_link_options(custode PRIVATE -municode -s)
set(custode ${installer_dir}/custode.exe)
set(sign_custode)
if(sign)
  set(sign_custode COMMAND ${sign} ${custode})
endif()
add_custom_command(OUTPUT ${custode}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:custode> ${custode}
  ${sign_custode}
  DEPENDS custode VERBATIM)
set(nsis_sign)
if(sign)
  list(JOIN sign "\" \"" sign_command)
  set(nsis_sign "-DSIGN=\"${sign_command}\"")
endif()

set(icon ${PROJECT_SOURCE_DIR}/resources/flag.ico)
set(version4 ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
add_custom_command(OUTPUT ${setup_file}
  COMMAND ${ZEFIRANA_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DSTAGE=${zip_dir} -DFILES=${installer_dir}/files.nsh
          -DICON=${icon} -DOUTFILE=${setup_file} -DVERSION=${ZEFIRANA_VERSION_TEXT} -DVERSION4=${version4}
          -DCUSTODE=${custode} -DUPGRADE_CODE={${upgrade_code}} ${nsis_sign}
          ${CMAKE_CURRENT_LIST_DIR}/zefirana.nsi
  DEPENDS ${zip_file} ${custode} ${CMAKE_CURRENT_LIST_DIR}/zefirana.nsi ${installer_dir}/files.nsh ${icon}
  COMMENT "Making the setup program ${setup_name}"
  VERBATIM)
file(RELATIVE_PATH wix_icon ${installer_dir} ${icon})
file(RELATIVE_PATH wix_custode ${installer_dir} ${custode})
set(wix_sources ${CMAKE_CURRENT_LIST_DIR}/zefirana.wxs ${installer_dir}/files.wxs)
add_custom_command(OUTPUT ${msi_file}
  COMMAND ${CMAKE_COMMAND} -DWIXL=${ZEFIRANA_WIXL} -DMSIBUILD=${ZEFIRANA_MSIBUILD} -DFAKETIME=${ZEFIRANA_FAKETIME}
          -DSTAGE=${wix_stage} -DICON=${wix_icon} -DCUSTODE=${wix_custode} -DVERSION=${PROJECT_VERSION}
          -DVERSION_TEXT=${ZEFIRANA_VERSION_TEXT} -DUPGRADE_CODE=${upgrade_code} "-DSOURCES=${wix_sources}"
          "-DSIGN=${sign}" -DOUTPUT=${msi_file} -P ${CMAKE_CURRENT_LIST_DIR}/msi.cmake
  DEPENDS ${zip_file} ${custode} ${wix_sources} ${icon} ${CMAKE_CURRENT_LIST_DIR}/msi.cmake
  WORKING_DIRECTORY ${installer_dir}
  COMMENT "Making the MSI package ${msi_name}"
  VERBATIM)
add_custom_target(installers ALL DEPENDS ${setup_file} ${msi_file})
