# The maker's web host: one constant of the program, a bare host name.
set(FLAGWASH_WEB_HOST "www.quorvane.example" CACHE STRING
    "Host name of the maker's web site (no scheme, port or slash)")

set(_label "[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?")
string(LENGTH "${FLAGWASH_WEB_HOST}" _length)
if(NOT FLAGWASH_WEB_HOST MATCHES "^${_label}(\\.${_label})*$" OR _length GREATER 253)
    message(FATAL_ERROR "FLAGWASH_WEB_HOST must be a bare host name such as "
                        "www.quorvane.example, not \"${FLAGWASH_WEB_HOST}\"")
endif()

set(FLAGWASH_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${PROJECT_SOURCE_DIR}/web/WebHost.h.in ${FLAGWASH_GENERATED_DIR}/web/WebHost.h @ONLY)
