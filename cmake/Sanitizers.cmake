# FLAGWASH_SANITIZE: every target of the build, GoogleTest included, under AddressSanitizer
# (with its leak checker) and UndefinedBehaviorSanitizer, and with the standard library's own
# bounds checks. Undefined behaviour aborts instead of printing and going on, so a finding
# fails the test that made it.
option(FLAGWASH_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(FLAGWASH_SANITIZE)
    set(_sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined)
    add_compile_options(${_sanitizers} -fno-omit-frame-pointer)
    add_compile_definitions(_GLIBCXX_ASSERTIONS)
    add_link_options(${_sanitizers})
endif()
