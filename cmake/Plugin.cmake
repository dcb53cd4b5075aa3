# add_plugin_library(<target> OUTPUT_NAME <deliverable name> SOURCES ... [DEF_FILE file] [LIBS ...])
# Builds a plug-in as the host loads it: a shared library named exactly after the deliverable,
# with no "lib" prefix, in <build>/plugins/.
function(add_plugin_library target)
    cmake_parse_arguments(P "" "OUTPUT_NAME;DEF_FILE" "SOURCES;LIBS" ${ARGN})
    add_library(${target} SHARED ${P_SOURCES})
    target_link_libraries(${target} PRIVATE host_protocol ${P_LIBS})
    project_warnings(${target})
    set_target_properties(${target} PROPERTIES
        OUTPUT_NAME "${P_OUTPUT_NAME}"
        PREFIX ""
        CXX_VISIBILITY_PRESET hidden
        VISIBILITY_INLINES_HIDDEN ON
        LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/plugins
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/plugins)
    if(WIN32 AND P_DEF_FILE)
        target_sources(${target} PRIVATE ${P_DEF_FILE})
    endif()
endfunction()
