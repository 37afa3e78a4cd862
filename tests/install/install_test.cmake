# `cmake --install` into a temporary prefix, then the C example of doc/library.md built
# against it four ways (find_package's ls11::ls11 and ls11::ls11_static,
# pkg-config's flags with and without --static) and run on a sample, and the
# installed Python module run on it too. Skipped, with the reason, in cross
# and sanitizer builds (the installed library would need Wine, or the
# sanitizer runtime in every program that links it). Without pkg-config or
# Python it fails, saying what to install, rather than pass with nothing run.
find_program(LS11_PKG_CONFIG pkg-config)
find_program(LS11_PYTHON NAMES python3 python)
set(install_skip "")
if(CMAKE_CROSSCOMPILING)
  set(install_skip "a cross build: the installed programs would need Wine")
elseif(LS11_SANITIZED)
  set(install_skip "a sanitizer build: programs linking the installed library would need the sanitizer runtime")
endif()
if(NOT install_skip AND (NOT LS11_PKG_CONFIG OR NOT LS11_PYTHON))
  add_test(NAME install_and_build_against_it
           COMMAND ${CMAKE_COMMAND} -E echo "NOT RUN: pkg-config or python3 not found (apt-get install -y pkg-config python3)")
  set_tests_properties(install_and_build_against_it PROPERTIES FAIL_REGULAR_EXPRESSION "NOT RUN:")
elseif(install_skip)
  add_test(NAME install_and_build_against_it COMMAND ${CMAKE_COMMAND} -E echo "SKIPPED: ${install_skip}")
  set_tests_properties(install_and_build_against_it PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED:")
else()
  if(WIN32)
    set(library_dir ${CMAKE_INSTALL_BINDIR})
  else()
    set(library_dir ${CMAKE_INSTALL_LIBDIR})
  endif()
  add_test(NAME install_and_build_against_it
           COMMAND ${CMAKE_COMMAND}
                   -DBUILD_DIR=${PROJECT_BINARY_DIR} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                   -DWORK_DIR=${CMAKE_CURRENT_BINARY_DIR}/install_test
                   -DC_COMPILER=${CMAKE_C_COMPILER} -DNM=${CMAKE_NM} -DPYTHON=${LS11_PYTHON}
                   -DLIBDIR=${CMAKE_INSTALL_LIBDIR} -DLIBRARY_DIR=${library_dir}
                   -DPYTHON_DIR=$<IF:$<BOOL:${LS11_PYTHON_DIR}>,${LS11_PYTHON_DIR},${LS11_LOCAL_PYTHON_DIR}>
                   -DLIBRARY_NAME=$<TARGET_SONAME_FILE_NAME:ls11_shared>
                   -P ${CMAKE_CURRENT_LIST_DIR}/run_install_test.cmake)
endif()
