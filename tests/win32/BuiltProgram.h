#pragma once
#include <string>

// Flagwash.exe as the build made it, as a Windows path: the build names it by its Unix path
// when cross-compiled, which Wine maps to drive Z:.
std::wstring builtProgramPath();
