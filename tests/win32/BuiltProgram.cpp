#include "BuiltProgram.h"

std::wstring builtProgramPath()
{
    std::string path = FLAGWASH_EXE;
    if (!path.empty() && path.front() == '/')
        path = "Z:" + path;
    for (char& c : path) {
        if (c == '/')
            c = '\\';
    }
    return {path.begin(), path.end()};
}
