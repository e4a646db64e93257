# The warnings the project's own code is built with (not GoogleTest's or Qt's headers, which
# come in as system headers), and with FLAGWASH_WERROR every one is an error.
add_library(flagwash_warnings INTERFACE)
target_compile_options(flagwash_warnings INTERFACE
    -Wall -Wextra -Wpedantic
    -Wshadow -Wconversion -Wsign-conversion -Wold-style-cast -Wnon-virtual-dtor
    -Woverloaded-virtual -Wformat=2
    $<$<BOOL:${FLAGWASH_WERROR}>:-Werror>)
