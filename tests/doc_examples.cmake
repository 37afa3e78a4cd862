# The examples README.md and doc/*.md mark as runnable, run against this
# build (tests/doc_examples.py): the tools' session, the C program and the
# Python one. The JavaScript one runs in the wasm build (js/). Not in cross
# builds, whose programs this machine does not run as a user would, nor
# under the sanitizers, whose library a plain C program or Python cannot
# load; without python3 the test fails, saying what to install.
if(CMAKE_CROSSCOMPILING OR LS11_SANITIZED)
  return()
endif()
find_program(LS11_DOC_PYTHON python3)
set(doc_runner ${LS11_DOC_PYTHON} ${CMAKE_CURRENT_SOURCE_DIR}/doc_examples.py --source ${PROJECT_SOURCE_DIR})
set(doc_tools --unls11 $<TARGET_FILE:unls11> --ls11 $<TARGET_FILE:ls11>)
set(doc_library --library $<TARGET_FILE:ls11_shared>)
foreach(kind session c python)
  if(NOT LS11_DOC_PYTHON)
    add_test(NAME doc_examples_${kind}
             COMMAND ${CMAKE_COMMAND} -E echo "NOT RUN: python3 not found (apt-get install -y python3)")
    set_tests_properties(doc_examples_${kind} PROPERTIES FAIL_REGULAR_EXPRESSION "NOT RUN:")
    continue()
  endif()
  add_test(NAME doc_examples_${kind} COMMAND ${doc_runner} --kind ${kind} ${doc_tools} ${doc_library}
                                             --cc ${CMAKE_C_COMPILER} --python ${LS11_DOC_PYTHON}
                                             --python-path ${LS11_BINDINGS_DIR}/python)
endforeach()
