# add_dll_export_test(<target> EXPORTS <name>...)
#
# In the win32 build, registers a CTest test "dll_exports.<target>" that reads the DLL's export
# and import tables with objdump (on the build machine, not under Wine) and fails unless the
# export names are exactly the given undecorated names and every imported DLL is a system DLL
# (no libstdc++, libgcc or libwinpthread DLLs). Elsewhere it does nothing.
#
# Use from any CMakeLists.txt:
#   include(${PROJECT_SOURCE_DIR}/tests/deliverables/DllExportCheck.cmake)
#   add_dll_export_test(dalt_quorval EXPORTS getModuleProperties makeModule)
include_guard(GLOBAL)

# Cached: the guard below skips later includes, whose directories would not see a plain variable.
set(DLL_EXPORT_CHECK_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/check_dll_exports.cmake CACHE INTERNAL "")

function(add_dll_export_test target)
    if(NOT WIN32)
        return()
    endif()
    cmake_parse_arguments(C "" "" "EXPORTS" ${ARGN})
    if(NOT C_EXPORTS)
        message(FATAL_ERROR "add_dll_export_test(${target}): EXPORTS is required")
    endif()
    find_program(DLL_EXPORT_CHECK_OBJDUMP NAMES i686-w64-mingw32-objdump objdump REQUIRED)
    # A list would be split by add_test; commas keep it one argument.
    string(REPLACE ";" "," exports "${C_EXPORTS}")
    add_test(NAME dll_exports.${target}
        COMMAND ${CMAKE_COMMAND}
            -DOBJDUMP=${DLL_EXPORT_CHECK_OBJDUMP}
            -DDLL=$<TARGET_FILE:${target}>
            -DEXPORTS=${exports}
            -P ${DLL_EXPORT_CHECK_SCRIPT})
endfunction()
