# The setup program and the MSI package for Windows, included from app/CMakeLists.txt after
# zip.cmake, whose staged folder they install (the same files as the zip):
#
#   <build>/Zefirana-2.00-setup.exe   makensis (Debian package nsis), from zefirana.nsi
#   <build>/Zefirana-2.00.msi         wixl (Debian package wixl), from zefirana.wxs
#
# The files of the staged folder are listed here for both, once: the setup program installs and
# its uninstaller removes exactly these, by name (files.nsh); the MSI has one component per file
# (files.wxs), the program's own, with its Start menu entry, being in zefirana.wxs.

find_program(ZEFIRANA_MAKENSIS makensis DOC "NSIS's compiler (Debian package nsis)")
find_program(ZEFIRANA_WIXL wixl DOC "The MSI maker of msitools (Debian package wixl)")
if(NOT ZEFIRANA_MAKENSIS OR NOT ZEFIRANA_WIXL)
  message(FATAL_ERROR "makensis or wixl not found: run tools/setup/install-packages.sh windows")
endif()

set(installer_dir ${CMAKE_CURRENT_BINARY_DIR}/installers)
set(setup_file ${PROJECT_BINARY_DIR}/Zefirana-2.00-setup.exe)
set(msi_file ${PROJECT_BINARY_DIR}/Zefirana-2.00.msi)

# wixl takes only paths relative to the folder it runs in.
file(RELATIVE_PATH wix_stage ${installer_dir} ${zip_dir})
set(nsis_install "  File \"${zip_dir}/Zefirana.exe\"\n")
set(nsis_remove "  Delete \"$INSTDIR\\Zefirana.exe\"\n")
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
  string(APPEND nsis_remove "  Delete \"$INSTDIR\\${windows_path}\"\n")
  string(APPEND wix_${folder} "      <Component Id=\"c_${id}\" Guid=\"*\" Win64=\"yes\">"
                              "<File Id=\"f_${id}\" Source=\"${wix_stage}/${file}\" KeyPath=\"yes\"/></Component>\n")
  string(APPEND wix_refs "    <ComponentRef Id=\"c_${id}\"/>\n")
endforeach()
set(wix_dirs)
foreach(folder IN LISTS folders)
  string(APPEND nsis_remove "  RMDir \"$INSTDIR\\${folder}\"\n")
  string(APPEND wix_dirs "    <Directory Id=\"d_${folder}\" Name=\"${folder}\">\n${wix_${folder}}    </Directory>\n")
endforeach()

# Written only when they change, so that the installers are not made again for nothing.
file(CONFIGURE OUTPUT ${installer_dir}/files.nsh @ONLY CONTENT
  "!macro ZefiranaInstallFiles\n${nsis_install}!macroend\n!macro ZefiranaRemoveFiles\n${nsis_remove}!macroend\n")
file(CONFIGURE OUTPUT ${installer_dir}/files.wxs @ONLY CONTENT
  "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Wix xmlns=\"http://schemas.microsoft.com/wix/2006/wi\"><Fragment>
  <DirectoryRef Id=\"INSTALLDIR\">\n${wix_dirs}  </DirectoryRef>
  <ComponentGroup Id=\"Files\">\n${wix_refs}  </ComponentGroup>\n</Fragment></Wix>\n")

set(icon ${PROJECT_SOURCE_DIR}/resources/flag.ico)
add_custom_command(OUTPUT ${setup_file}
  COMMAND ${ZEFIRANA_MAKENSIS} -V2 -INPUTCHARSET UTF8 -DSTAGE=${zip_dir} -DFILES=${installer_dir}/files.nsh
          -DICON=${icon} -DOUTFILE=${setup_file} ${CMAKE_CURRENT_LIST_DIR}/zefirana.nsi
  DEPENDS ${zip_file} ${CMAKE_CURRENT_LIST_DIR}/zefirana.nsi ${installer_dir}/files.nsh ${icon}
  COMMENT "Making the setup program Zefirana-2.00-setup.exe"
  VERBATIM)
file(RELATIVE_PATH wix_icon ${installer_dir} ${icon})
add_custom_command(OUTPUT ${msi_file}
  COMMAND ${ZEFIRANA_WIXL} --arch x64 -D Stage=${wix_stage} -D Icon=${wix_icon} -o ${msi_file}
          ${CMAKE_CURRENT_LIST_DIR}/zefirana.wxs ${installer_dir}/files.wxs
  DEPENDS ${zip_file} ${CMAKE_CURRENT_LIST_DIR}/zefirana.wxs ${installer_dir}/files.wxs ${icon}
  WORKING_DIRECTORY ${installer_dir}
  COMMENT "Making the MSI package Zefirana-2.00.msi"
  VERBATIM)
add_custom_target(installers ALL DEPENDS ${setup_file} ${msi_file})
