# Optimised Linux builds are hardened as Debian builds its packages: checked buffer functions,
# stack protection, a position-independent executable, and read-only relocations bound at
# start. (_FORTIFY_SOURCE needs optimisation, so Debug builds go without it.)
if(NOT WIN32 AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    include(CheckPIESupported)
    check_pie_supported()
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    set(optimised $<NOT:$<CONFIG:Debug>>)
    add_compile_options($<${optimised}:-U_FORTIFY_SOURCE> $<${optimised}:-D_FORTIFY_SOURCE=2>
                        -fstack-protector-strong)
    add_link_options(LINKER:-z,relro LINKER:-z,now)
endif()
