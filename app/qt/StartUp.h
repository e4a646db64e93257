#pragma once
#include <filesystem>
#include <vector>

class FlagwashWindow;
class frmFlagwash;

// The program's arguments after its name, each the exact bytes it was given.
std::vector<std::filesystem::path> commandLineFiles(int argc, char* argv[]);

// Brings the window up as the program starts: Form_Load, the files handed over on the command
// line, then the window shown at its fixed size in the middle of the screen.
void showAtStart(FlagwashWindow& window, frmFlagwash& form,
                 std::vector<std::filesystem::path> files);
