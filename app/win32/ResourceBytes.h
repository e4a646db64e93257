#pragma once
#include <windows.h>

// A file built into the program (Flagwash.rc names each as RCDATA), in place in its image.
struct ResourceBytes
{
    const BYTE* data = nullptr;
    DWORD size = 0;
};

// Empty when the module holds no file of that name.
ResourceBytes findResource(HMODULE module, const wchar_t* name);
