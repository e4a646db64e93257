# The program's layers as libraries: one per folder of the core, each linked only to the folders
# it may use, and one per folder of the platform, over its own folder's core. Every one of them
# waits for the layer check, so a build with an #include that climbs a layer fails
# (cmake/CheckLayers.cmake says which rule holds).

set(_stamp ${PROJECT_BINARY_DIR}/layers.checked)
file(GLOB_RECURSE _layeredSources CONFIGURE_DEPENDS
     ${PROJECT_SOURCE_DIR}/text/*.h ${PROJECT_SOURCE_DIR}/about/*.cpp ${PROJECT_SOURCE_DIR}/about/*.h
     ${PROJECT_SOURCE_DIR}/selection/*.cpp ${PROJECT_SOURCE_DIR}/selection/*.h
     ${PROJECT_SOURCE_DIR}/reset/*.cpp ${PROJECT_SOURCE_DIR}/reset/*.h
     ${PROJECT_SOURCE_DIR}/web/*.cpp ${PROJECT_SOURCE_DIR}/web/*.h
     ${PROJECT_SOURCE_DIR}/app/*.cpp ${PROJECT_SOURCE_DIR}/app/*.h
     ${PROJECT_SOURCE_DIR}/platform/*.cpp ${PROJECT_SOURCE_DIR}/platform/*.h)
add_custom_command(OUTPUT ${_stamp}
                   COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DSTAMP=${_stamp}
                           -P ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
                   DEPENDS ${_layeredSources} ${PROJECT_SOURCE_DIR}/cmake/CheckLayers.cmake
                   COMMENT "Checking that no #include climbs a layer" VERBATIM)
add_custom_target(flagwash_layers DEPENDS ${_stamp})

# flagwash_add_layer(<target> [SOURCES <files...>] [USES <targets...>])
function(flagwash_add_layer target)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "" "SOURCES;USES")
    add_library(${target} STATIC ${ARG_SOURCES})
    target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR} ${FLAGWASH_GENERATED_DIR})
    target_link_libraries(${target} PUBLIC ${ARG_USES} PRIVATE flagwash_warnings)
    if(WIN32)
        # Windows 7 is the oldest target: the headers then leave out most of what is newer,
        # which has to be looked up at run time.
        target_compile_definitions(${target} PUBLIC WINVER=0x0601 _WIN32_WINNT=0x0601)
    endif()
    add_dependencies(${target} flagwash_layers)
endfunction()
