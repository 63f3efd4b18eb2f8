# GoogleTest is built from source with the same compiler as the product, so the
# Windows test binaries link against a MinGW build of it.
set(GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources")
if(BUILD_TESTING AND NOT TARGET gtest)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(t gtest gtest_main gmock gmock_main)
    if(TARGET ${t})
      # Debian's sources carry warnings that our flags would turn noisy.
      target_compile_options(${t} PRIVATE -w)
    endif()
  endforeach()
endif()

# tobi_add_test(NAME SOURCES ... LIBS ...): one test binary, one CTest test.
# Under MinGW, CTest runs it through CMAKE_CROSSCOMPILING_EMULATOR (Wine).
function(tobi_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gmock gtest_main)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
