# add_trigger_plugin(<target> OUTPUT_NAME <deliverable name> VARIANT STANDARD|CLOCK SOURCES ...
#                    [LIBS ...])
# A single-export plug-in: links its copy of the framework and exports exactly "main" (the
# module-definition file names it on Windows; TRIGGER_MODULE_MAIN labels it on ELF).
function(add_trigger_plugin target)
    cmake_parse_arguments(P "" "OUTPUT_NAME;VARIANT" "SOURCES;LIBS" ${ARGN})
    if(P_VARIANT STREQUAL "CLOCK")
        set(framework single_export_framework_clock)
    elseif(P_VARIANT STREQUAL "STANDARD")
        set(framework single_export_framework)
    else()
        message(FATAL_ERROR "add_trigger_plugin(${target}): VARIANT must be STANDARD or CLOCK")
    endif()
    add_plugin_library(${target}
        OUTPUT_NAME "${P_OUTPUT_NAME}"
        SOURCES ${P_SOURCES}
        DEF_FILE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/main_export.def
        LIBS ${framework} ${P_LIBS})
endfunction()
