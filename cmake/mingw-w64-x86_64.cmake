# Cross-compiles the same sources as a 64-bit program: what the tests run under a 64-bit-only
# Wine, on a kernel that runs no 32-bit programs. Flagwash.exe itself is the 32-bit build.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(_triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
