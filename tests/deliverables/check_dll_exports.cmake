# cmake -DOBJDUMP=<objdump> -DDLL=<file> -DEXPORTS=<name,name,...> -P check_dll_exports.cmake
# Fails unless the DLL exports exactly EXPORTS, by undecorated name, and imports only system DLLs.

# DLLs every Windows installation has; the runtime libraries of the compiler are not among them.
set(system_dll_pattern
    "^(kernel32|msvcrt|user32|advapi32|gdi32|ntdll|shell32|ole32|oleaut32|ws2_32|ucrtbase|api-ms-win-[a-z0-9-]+)\\.dll$")

execute_process(COMMAND ${OBJDUMP} -p ${DLL}
    OUTPUT_VARIABLE dump
    ERROR_VARIABLE dump_error
    RESULT_VARIABLE dump_result)
if(NOT dump_result EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed: ${dump_error}")
endif()

string(REPLACE "\n" ";" lines "${dump}")
set(exported "")
set(imported "")
set(in_name_table FALSE)
foreach(line IN LISTS lines)
    if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
        set(in_name_table TRUE)
    elseif(in_name_table AND line MATCHES "^[ \t]*\\[[ 0-9]+\\] (.+)$")
        list(APPEND exported "${CMAKE_MATCH_1}")
    elseif(in_name_table)
        set(in_name_table FALSE)
    endif()
    if(line MATCHES "DLL Name: (.+)$")
        list(APPEND imported "${CMAKE_MATCH_1}")
    endif()
endforeach()

string(REPLACE "," ";" expected "${EXPORTS}")
list(SORT expected)
list(SORT exported)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "${DLL}: exports [${exported}], expected exactly [${expected}]")
endif()

set(foreign "")
foreach(dll IN LISTS imported)
    string(TOLOWER "${dll}" lower)
    if(NOT lower MATCHES "${system_dll_pattern}")
        list(APPEND foreign "${dll}")
    endif()
endforeach()
if(foreign)
    message(FATAL_ERROR "${DLL}: imports non-system DLLs [${foreign}] (all imports: [${imported}])")
endif()

message(STATUS "${DLL}: exports [${exported}]; imports [${imported}]")
