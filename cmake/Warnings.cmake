add_library(flagwash_warnings INTERFACE)
target_compile_options(flagwash_warnings INTERFACE -Wall -Wextra -Wpedantic
                       $<$<BOOL:${FLAGWASH_WERROR}>:-Werror>)
