# Run by cpack once each component's files are in place: a package's
# Depends line is its fixed one (CPACK_DEBIAN_<COMPONENT>_PACKAGE_DEPENDS)
# followed by what dpkg-shlibdeps finds its programs and library need.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  set(staged ${CPACK_TEMPORARY_DIRECTORY}/${component})
  file(GLOB_RECURSE binaries LIST_DIRECTORIES false ${staged}/*)
  # The programs, and the library's file (not the links to it).
  list(FILTER binaries INCLUDE REGEX "/bin/[^/]+$|/libls11\\.so\\.[0-9]+\\.")
  if(NOT binaries)
    continue()
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
    message(FATAL_ERROR "dpkg-shlibdeps failed for ${component} (${status}): ${errors}")
  endif()
  string(REGEX REPLACE "^shlibs:Depends=" "" depends "${depends}")
  string(TOUPPER ${component} upper)
  set(variable CPACK_DEBIAN_${upper}_PACKAGE_DEPENDS)
  if(${variable})
    set(${variable} "${${variable}}, ${depends}")
  else()
    set(${variable} "${depends}")
  endif()
endforeach()
