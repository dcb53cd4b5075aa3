# GoogleTest is built from the sources Debian ships, so every target (x86-64, i386, win32) gets a
# copy compiled with its own toolchain.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# add_project_test(<name> SOURCES ... [LIBS ...])
# One CTest entry per test program: under Wine each start costs a second or two.
function(add_project_test name)
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE gtest_main ${T_LIBS})
    project_warnings(${name})
    add_test(NAME ${name} COMMAND ${name})
endfunction()
