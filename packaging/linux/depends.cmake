# The Depends field of the Debian package, as dpkg-shlibdeps finds it for the program and its
# audio module. Written into the build folder by file(GENERATE), which puts in their paths, and
# read by cpack (CPACK_PROJECT_CONFIG_FILE) before it makes the package.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(work ${CMAKE_CURRENT_LIST_DIR}/shlibdeps)
  file(MAKE_DIRECTORY ${work}/debian)
  file(WRITE ${work}/debian/control "") # dpkg-shlibdeps runs in a source package's folder
  execute_process(COMMAND dpkg-shlibdeps -O "$<TARGET_FILE:zefirana>" "$<TARGET_FILE:zefirana_audio>"
                  WORKING_DIRECTORY ${work} RESULT_VARIABLE status OUTPUT_VARIABLE found ERROR_VARIABLE errors)
  if(NOT status EQUAL 0 OR NOT found MATCHES "shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps failed: ${errors}")
  endif()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
endif()
