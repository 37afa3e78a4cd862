# Run by CTest (see install_test.cmake) as cmake -P with BUILD_DIR,
# SOURCE_DIR, WORK_DIR, C_COMPILER, NM, PYTHON, LIBDIR, LIBRARY_DIR,
# PYTHON_DIR and LIBRARY_NAME set.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}")
  endif()
endfunction()

function(expect_same_file got want)
  run(${CMAKE_COMMAND} -E compare_files ${got} ${want})
endfunction()

set(prefix ${WORK_DIR}/prefix)
set(sample ${SOURCE_DIR}/samples/records.LS11)
set(expected ${SOURCE_DIR}/samples/records.expected)
file(REMOVE_RECURSE ${WORK_DIR})
unset(ENV{DESTDIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(installed bin/unls11 bin/ls11 include/ls11.h share/man/man1/unls11.1.gz share/doc/ls11kit/LICENSE
                  ${LIBDIR}/libls11.a ${LIBDIR}/cmake/ls11/ls11Config.cmake)
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

# The static library defines no global name a caller's own could collide
# with (the C++ runtime's template instances aside), and brings none of the
# tools' code: no signal handlers, no console.
execute_process(COMMAND ${NM} -C --defined-only ${prefix}/${LIBDIR}/libls11.a
                OUTPUT_VARIABLE defined RESULT_VARIABLE result)
string(REGEX MATCHALL "\n[0-9a-f]+ [A-Z] [^\n]*" globals "\n${defined}")
list(FILTER globals EXCLUDE REGEX " [A-Z] (ls11_|ls11::|DW\\.ref\\.)")
list(FILTER globals EXCLUDE REGEX "[ *&](std|__gnu_cxx)::[^(]*\\(")
if(NOT result EQUAL 0 OR globals)
  message(FATAL_ERROR "libls11.a defines names outside ls11_* and ls11:: (${result}):${globals}")
endif()
execute_process(COMMAND ${NM} --undefined-only ${prefix}/${LIBDIR}/libls11.a OUTPUT_VARIABLE undefined)
if(undefined MATCHES "[ \t](signal|sigaction|isatty)\n")
  message(FATAL_ERROR "libls11.a calls ${CMAKE_MATCH_1}: the tools' code is in it")
endif()

# The example four ways, from one configure and build.
set(ENV{PKG_CONFIG_PATH} ${prefix}/${LIBDIR}/pkgconfig)
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/install -B ${WORK_DIR}/build -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_C_COMPILER=${C_COMPILER} -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build -j2)
foreach(variant cmake_shared cmake_static pkgconfig_shared pkgconfig_static)
  run(${WORK_DIR}/build/example_${variant} ${sample} ${WORK_DIR}/${variant}.out)
  expect_same_file(${WORK_DIR}/${variant}.out ${expected})
endforeach()

# The installed Python module, with nothing to tell it where the library is
# but the path, relative to the module, recorded at install time.
unset(ENV{LS11_LIBRARY})
set(ENV{PYTHONPATH} ${prefix}/${PYTHON_DIR})
set(ENV{PYTHONDONTWRITEBYTECODE} 1)
run(${PYTHON} -c "import ls11, sys; sys.exit(ls11.library_path != sys.argv[1])"
    ${prefix}/${LIBRARY_DIR}/${LIBRARY_NAME})
run(${PYTHON} ${SOURCE_DIR}/tests/install/example.py ${sample} ${WORK_DIR}/python.out)
expect_same_file(${WORK_DIR}/python.out ${expected})

# A staged install, moved: the module still finds the library beside it.
set(ENV{DESTDIR} ${WORK_DIR}/stage)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /opt/ls11)
file(RENAME ${WORK_DIR}/stage/opt/ls11 ${WORK_DIR}/moved)
set(ENV{PYTHONPATH} ${WORK_DIR}/moved/${PYTHON_DIR})
run(${PYTHON} -c "import ls11, sys; sys.exit(ls11.library_path != sys.argv[1])"
    ${WORK_DIR}/moved/${LIBRARY_DIR}/${LIBRARY_NAME})
# ls11.pc's prefix: relative to its own folder (as in the staged /opt/ls11
# install above), but plain under /usr.
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix /usr)
file(STRINGS ${WORK_DIR}/moved/${LIBDIR}/pkgconfig/ls11.pc opt_prefix LIMIT_COUNT 1)
file(STRINGS ${WORK_DIR}/stage/usr/${LIBDIR}/pkgconfig/ls11.pc usr_prefix LIMIT_COUNT 1)
if(NOT opt_prefix MATCHES "^prefix=\\\${pcfiledir}/\\.\\./" OR NOT usr_prefix STREQUAL "prefix=/usr")
  message(FATAL_ERROR "ls11.pc's prefix line for /opt/ls11: ${opt_prefix}, for /usr: ${usr_prefix}")
endif()
message(STATUS "installed, built four ways, and run: all match ${expected}")
