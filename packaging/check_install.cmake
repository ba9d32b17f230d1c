# Installs the build into a scratch prefix and checks that every expected
# file is there. Run with -DBUILD_DIR=... -DPREFIX=... -DEXPECTED=a;b;c
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(file IN LISTS EXPECTED)
  if(NOT EXISTS "${PREFIX}/${file}")
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")
