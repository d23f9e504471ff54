# Installs the build into a fresh prefix and checks that an operator gets both
# programs and every compiler wrapper, executable.
# Usage: cmake -DBUILD_DIR=... -DPREFIX=... -P check_install.cmake
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(program probator spawnlet probator-gcc probator-g++ probator-fpc probator-python3
                probator-check-tokens probator-check-tokens-nocase probator-check-floats
                probator-check-lines probator-validator probator-java probator-kotlin
                probator-rust probator-go probator-javascript probator-csharp probator-pypy3
                probator-shell)
  execute_process(COMMAND test -x ${PREFIX}/bin/${program} RESULT_VARIABLE missing)
  if(missing)
    message(FATAL_ERROR "${program} is not installed as an executable")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
