# Run by cpack once the files to pack are in place: the .deb's Depends line
# is what dpkg-shlibdeps finds the packaged programs and library need.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(staged ${CPACK_TEMPORARY_DIRECTORY})
file(GLOB_RECURSE binaries LIST_DIRECTORIES false ${staged}/*)
# The programs, and the library's file (not the links to it).
list(FILTER binaries INCLUDE REGEX "/bin/[^/]+$|/libls11\\.so\\.[0-9]+\\.")
if(NOT binaries)
  message(FATAL_ERROR "no programs or library found under ${staged}")
endif()
# dpkg-shlibdeps reads debian/control of the folder it runs in, and takes
# the folder holding DEBIAN/ as the package's root.
file(WRITE ${staged}/debian/control "")
file(MAKE_DIRECTORY ${staged}/DEBIAN)
execute_process(COMMAND ${CPACK_LS11_DPKG_SHLIBDEPS} -O ${binaries}
                WORKING_DIRECTORY ${staged}
                OUTPUT_VARIABLE depends ERROR_VARIABLE errors RESULT_VARIABLE status
                OUTPUT_STRIP_TRAILING_WHITESPACE)
file(REMOVE_RECURSE ${staged}/debian ${staged}/DEBIAN)
if(NOT status EQUAL 0 OR NOT depends MATCHES "^shlibs:Depends=.")
  message(FATAL_ERROR "dpkg-shlibdeps failed (${status}): ${errors}")
endif()
string(REGEX REPLACE "^shlibs:Depends=" "" CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
