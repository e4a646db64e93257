# Fully static programs for guest kernels (user-mode Linux on a hostfs root, qemu with an
# initramfs): there is no libc inside those guests, and Qt is never pulled in.

# flagwash_add_static_program(<name> <sources...>)
function(flagwash_add_static_program name)
    add_executable(${name} ${ARGN})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PRIVATE flagwash_warnings)
    target_link_options(${name} PRIVATE -static)
endfunction()

# flagwash_add_static_reset_program(<name> <sources...>)
# The same with the real Linux reset behind makeAttributeReset(), and nothing else of the
# platform layer.
function(flagwash_add_static_reset_program name)
    flagwash_add_static_program(${name} ${ARGN} ${PROJECT_SOURCE_DIR}/reset/AttributeReset_linux.cpp
                                $<TARGET_OBJECTS:flagwash_reset_linux>)
    target_link_libraries(${name} PRIVATE flagwash_core)
endfunction()
