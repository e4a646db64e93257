cmake_minimum_required(VERSION 3.25)
# Refuses an #include that climbs a layer: the core folders may use only the core folders below
# them, never a platform file or a front end; a platform file may use the core of its own
# folder, the platform helpers and the text helpers; a front end anything but the other front
# end. Run at build time:
#   cmake -DSOURCE_DIR=<repository> [-DSTAMP=<file>] -P cmake/CheckLayers.cmake
# Fails with every offending line named.

# The core folders and the folders each may include from (besides itself).
set(core_text "")
set(core_about text)
set(core_selection text)
set(core_reset text)
set(core_web text)
set(core_app about selection reset web text)
set(core_folders text about selection reset web app)

# What a file is: "core:<folder>", "platform:<folder>" or "front:<name>"; empty for files outside
# the program (tests, benchmarks, tools).
function(layer_of relative out)
    if(relative MATCHES "^app/(qt|win32)/")
        set(${out} "front:${CMAKE_MATCH_1}" PARENT_SCOPE)
    elseif(relative MATCHES "^platform/")
        set(${out} "platform:platform" PARENT_SCOPE)
    elseif(relative MATCHES "^([a-z]+)/(linux|windows)/")
        set(${out} "platform:${CMAKE_MATCH_1}" PARENT_SCOPE)
    elseif(relative MATCHES "^([a-z]+)/[^/]*_(linux|windows)\\.")
        set(${out} "platform:${CMAKE_MATCH_1}" PARENT_SCOPE)
    elseif(relative MATCHES "^([a-z]+)/[^/]+$" AND CMAKE_MATCH_1 IN_LIST core_folders)
        set(${out} "core:${CMAKE_MATCH_1}" PARENT_SCOPE)
    else()
        set(${out} "" PARENT_SCOPE)
    endif()
endfunction()

# Whether a file of layer `from` may include the file `target` (relative to the repository).
function(may_include from target out)
    layer_of("${target}" to)
    set(allowed FALSE)
    if(to STREQUAL "")
        # Generated headers and the like: no layer of their own.
        set(allowed TRUE)
    elseif(from MATCHES "^core:(.*)$")
        set(folder ${CMAKE_MATCH_1})
        if(to MATCHES "^core:(.*)$")
            if(CMAKE_MATCH_1 STREQUAL folder OR CMAKE_MATCH_1 IN_LIST core_${folder})
                set(allowed TRUE)
            endif()
        endif()
    elseif(from MATCHES "^platform:(.*)$")
        set(folder ${CMAKE_MATCH_1})
        if(to MATCHES "^core:(.*)$")
            if(CMAKE_MATCH_1 STREQUAL folder OR CMAKE_MATCH_1 STREQUAL "text")
                set(allowed TRUE)
            endif()
        elseif(to MATCHES "^platform:(.*)$")
            if(CMAKE_MATCH_1 STREQUAL folder OR CMAKE_MATCH_1 STREQUAL "platform")
                set(allowed TRUE)
            endif()
        endif()
    elseif(from MATCHES "^front:(.*)$")
        if(NOT to MATCHES "^front:" OR to STREQUAL from)
            set(allowed TRUE)
        endif()
    endif()
    set(${out} ${allowed} PARENT_SCOPE)
endfunction()

if(NOT SOURCE_DIR)
    message(FATAL_ERROR "CheckLayers.cmake: SOURCE_DIR is not set")
endif()
# The program's own folders only: tests, benchmarks and a build folder inside the tree are not
# layers.
set(sources "")
foreach(folder IN LISTS core_folders ITEMS platform)
    file(GLOB_RECURSE found RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${folder}/*.cpp"
         "${SOURCE_DIR}/${folder}/*.h")
    list(APPEND sources ${found})
endforeach()
set(offences "")
foreach(relative IN LISTS sources)
    layer_of("${relative}" layer)
    if(layer STREQUAL "")
        continue()
    endif()
    get_filename_component(own_folder "${relative}" DIRECTORY)
    file(STRINGS "${SOURCE_DIR}/${relative}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*$" "\\1" included "${line}")
        # A name without a folder, or one that starts with "./" or "../", is found from the
        # file's own folder; any other is found from the repository's root.
        if(NOT included MATCHES "/" OR included MATCHES "^\\.\\.?/")
            cmake_path(SET included NORMALIZE "${own_folder}/${included}")
        endif()
        may_include("${layer}" "${included}" allowed)
        if(NOT allowed)
            layer_of("${included}" their)
            string(APPEND offences "\n  ${relative} (${layer}) includes ${included} (${their})")
        endif()
    endforeach()
endforeach()

if(offences)
    message(FATAL_ERROR "An #include climbs a layer:${offences}")
endif()
if(STAMP)
    file(TOUCH "${STAMP}")
endif()
