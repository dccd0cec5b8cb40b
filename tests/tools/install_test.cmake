# Installs the build into a fresh prefix and uses what landed there: tsq's
# help, both manual pages, and the headless program on the sample databases
# (which finds the messaging library beside it).
#   cmake -DBUILD=<build folder> -DPREFIX=<scratch folder> -P install_test.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET ERROR_VARIABLE error)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${error}")
endif()

foreach(file bin/tessra bin/tessra-drive bin/tsq bin/libcemapi.so share/man/man1/tsq.1 share/man/man1/tessra.1
        share/tessra/samples/Contacts.tsq share/tessra/samples/Expenses.tsq share/tessra/samples/Elements.tsq
        share/tessra/samples/Notebook.tsq)
  if(NOT EXISTS ${PREFIX}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()

execute_process(COMMAND ${PREFIX}/bin/tsq --help RESULT_VARIABLE result OUTPUT_VARIABLE out)
if(NOT result EQUAL 0 OR NOT out MATCHES "tsq import FILE.tsq DATA.csv")
  message(FATAL_ERROR "tsq --help: ${result}\n${out}")
endif()
execute_process(COMMAND ${PREFIX}/bin/tsq check ${PREFIX}/share/tessra/samples/Contacts.tsq
                RESULT_VARIABLE result OUTPUT_VARIABLE out)
if(NOT result EQUAL 0 OR NOT out MATCHES "sound")
  message(FATAL_ERROR "tsq check of an installed sample: ${result}\n${out}")
endif()

foreach(page tsq tessra)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env MANPAGER=cat MANWIDTH=80
                          man --warnings -l ${PREFIX}/share/man/man1/${page}.1
                  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE error)
  if(NOT result EQUAL 0 OR NOT error STREQUAL "" OR NOT out MATCHES "SYNOPSIS")
    message(FATAL_ERROR "man -l ${page}.1: ${result}\n${error}\n${out}")
  endif()
endforeach()

execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=TESSRA_HOME
                        ${PREFIX}/bin/tessra-drive --home ${PREFIX}/share/tessra/samples --keys ""
                RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE error)
if(NOT result EQUAL 0 OR NOT out MATCHES "Contacts")
  message(FATAL_ERROR "installed tessra-drive: ${result}\n${error}\n${out}")
endif()
