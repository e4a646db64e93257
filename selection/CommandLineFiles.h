#pragma once
#include <filesystem>
#include <vector>

class frmFlagwash;

// Files handed over on the command line (a file manager's Open With, Windows' Send To, files
// dropped on the program's icon) are taken as one drop on Image1 right after start-up: the
// caption shows their count and nothing is reset before RESET. Without any, nothing changes.
void takeCommandLineFiles(frmFlagwash& form, std::vector<std::filesystem::path> files);
