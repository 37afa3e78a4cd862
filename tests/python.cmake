# The Python module's tests (pytest, Debian's python3-pytest), run against
# the library just built. Reported as skipped, with the reason, where they
# cannot run: a cross build (the host's Python cannot load ls11.dll) or a
# sanitizer build (see below). Without pytest it fails, saying what to
# install.
find_program(LS11_PYTEST NAMES pytest-3 pytest)
set(python_skip "")
if(CMAKE_CROSSCOMPILING)
  set(python_skip "a cross build: the host's Python cannot load the library built here")
elseif(LS11_SANITIZED)
  # The instrumented library needs the sanitizer runtime loaded before it,
  # which the Python interpreter does not have; preloading it makes the
  # interpreter's own allocations report leaks. ls11_api_tests runs the same
  # library code under the sanitizers instead.
  set(python_skip "a sanitizer build: Python cannot load the instrumented library")
endif()
if(NOT python_skip AND NOT LS11_PYTEST)
  add_test(NAME python_module
           COMMAND ${CMAKE_COMMAND} -E echo "NOT RUN: pytest not found (apt-get install -y python3-pytest)")
  set_tests_properties(python_module PROPERTIES FAIL_REGULAR_EXPRESSION "NOT RUN:")
elseif(python_skip)
  add_test(NAME python_module COMMAND ${CMAKE_COMMAND} -E echo "SKIPPED: ${python_skip}")
  set_tests_properties(python_module PROPERTIES SKIP_REGULAR_EXPRESSION "SKIPPED:")
else()
  add_test(NAME python_module
           COMMAND ${LS11_PYTEST} -q -p no:cacheprovider ${PROJECT_SOURCE_DIR}/python/tests)
  set_tests_properties(python_module PROPERTIES ENVIRONMENT
    "LS11_LIBRARY=$<TARGET_FILE:ls11_shared>;PYTHONPATH=${LS11_BINDINGS_DIR}/python;LS11_SOURCE_DIR=${PROJECT_SOURCE_DIR};PYTHONDONTWRITEBYTECODE=1")
endif()
