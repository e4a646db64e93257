#include "selection/CommandLineFiles.h"

#include "app/frmFlagwash.h"

void takeCommandLineFiles(frmFlagwash& form, std::vector<std::filesystem::path> files)
{
    if (files.empty())
        return;
    form.Image1_OLEDragDrop({std::move(files)});
}
