# Cross-compiles the Windows program with mingw-w64. A 32-bit program: it runs on 32-bit and
# 64-bit Windows alike, and on ARM64 through its x86 emulation, so one Flagwash.exe serves every
# PC.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(_triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
