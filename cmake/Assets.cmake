# The one list of what the window shows, built into both programs: the pictures (each with a
# drawing at twice its size, "name@2x.ext"), the icon and the bundled label font. The Qt
# resources, the Windows resources and the layout's picture names are all made from it.
set(FLAGWASH_ASSETS_DIR ${PROJECT_SOURCE_DIR}/app/assets)
# name in app/Layout.h, then its file
set(FLAGWASH_PICTURES
    background background.jpg
    dropZone dropzone.gif
    resetButton reset.gif
    aboutButton about.gif
    exitButton exit.gif)
set(FLAGWASH_ICON_PICTURES icons/flagwash-16.png icons/flagwash-32.png icons/flagwash-48.png)
set(FLAGWASH_LABEL_FONT fonts/Gelasio-Regular.ttf)

# flagwash_double_size(<file> <out>): "reset.gif" gives "reset@2x.gif".
function(flagwash_double_size file out)
    string(REGEX REPLACE "^(.*)(\\.[^.]*)$" "\\1@2x\\2" twin "${file}")
    set(${out} "${twin}" PARENT_SCOPE)
endfunction()

# Every picture file with its twin, in list order.
set(FLAGWASH_PICTURE_FILES)
set(_names "")
list(LENGTH FLAGWASH_PICTURES _count)
math(EXPR _last "${_count} - 1")
foreach(_index RANGE 0 ${_last} 2)
    math(EXPR _fileIndex "${_index} + 1")
    list(GET FLAGWASH_PICTURES ${_index} _name)
    list(GET FLAGWASH_PICTURES ${_fileIndex} _file)
    flagwash_double_size(${_file} _twin)
    list(APPEND FLAGWASH_PICTURE_FILES ${_file} ${_twin})
    string(APPEND _names "inline constexpr std::string_view ${_name} = \"${_file}\";\n")
endforeach()

string(APPEND _names "inline constexpr std::string_view labelFont = \"${FLAGWASH_LABEL_FONT}\";\n")

# The layout's picture names, for the core.
file(CONFIGURE OUTPUT ${FLAGWASH_GENERATED_DIR}/app/AssetFiles.h CONTENT
"#pragma once
// Made by cmake/Assets.cmake from its list of assets: edit that list, not this file.
#include <string_view>

namespace AssetFiles {
${_names}}  // namespace AssetFiles
" @ONLY)
