# Run by `cmake --install` (see install.cmake): tells the installed Python
# module where the installed library is. A relative directory is taken
# under the prefix, as install(DESTINATION) does.
foreach(name LS11_PYTHON_DIR LS11_LIBRARY_FILE)
  if(IS_ABSOLUTE "${${name}}")
    set(${name}_FULL "${${name}}")
  else()
    set(${name}_FULL "${CMAKE_INSTALL_PREFIX}/${${name}}")
  endif()
endforeach()
set(record "$ENV{DESTDIR}${LS11_PYTHON_DIR_FULL}/ls11/_library_path")
message(STATUS "Installing: ${record}")
file(WRITE "${record}" "${LS11_LIBRARY_FILE_FULL}\n")
