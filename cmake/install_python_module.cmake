# Run by `cmake --install` and cpack (see install.cmake): installs the Python
# module and, beside it, the installed library's path relative to the
# module. Its folder: LS11_PYTHON_DIR when set; under the prefix /usr and in
# the release packages (the .deb, the .tar.gz and the zip, made under
# LS11_PACKAGES_DIR), Debian's lib/python3/dist-packages, which every Python 3
# there reads; else LS11_LOCAL_PYTHON_DIR. A relative folder is taken under
# the prefix, as install(DESTINATION) does.
string(FIND "${CMAKE_INSTALL_PREFIX}" "${LS11_PACKAGES_DIR}/" in_packages)
if(LS11_PYTHON_DIR)
  set(python_dir "${LS11_PYTHON_DIR}")
elseif(CMAKE_INSTALL_PREFIX STREQUAL "/usr" OR in_packages EQUAL 0)
  set(python_dir lib/python3/dist-packages)
else()
  set(python_dir "${LS11_LOCAL_PYTHON_DIR}")
endif()
if(NOT IS_ABSOLUTE "${python_dir}")
  set(python_dir "${CMAKE_INSTALL_PREFIX}/${python_dir}")
endif()
file(INSTALL "${LS11_MODULE_SOURCE}" DESTINATION "${python_dir}"
     FILES_MATCHING PATTERN "*.py" PATTERN py.typed PATTERN __pycache__ EXCLUDE)
file(RELATIVE_PATH library "${python_dir}/ls11" "${CMAKE_INSTALL_PREFIX}/${LS11_LIBRARY_FILE}")
set(record "$ENV{DESTDIR}${python_dir}/ls11/_library_path")
message(STATUS "Installing: ${record}")
file(WRITE "${record}" "${library}\n")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${record}")
