#include "selection/Selection.h"

std::string selectionCaption(std::size_t count)
{
    return std::to_string(count) + " File(s)/Folder(s) selected. Click RESET";
}
