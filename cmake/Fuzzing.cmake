# FLAGWASH_FUZZ: the libFuzzer targets of fuzz/, built by clang (preset linux-fuzz). Everything
# they take in is instrumented for coverage and runs under AddressSanitizer and UBSan.
option(FLAGWASH_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(FLAGWASH_FUZZ)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        message(FATAL_ERROR "libFuzzer comes with clang: configure with the linux-fuzz preset")
    endif()
    set(_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined)
    add_compile_options(-fsanitize=fuzzer-no-link ${_sanitizers} -fno-omit-frame-pointer)
    add_link_options(${_sanitizers})
endif()
