# The maker's web host: one constant of the program, a bare host name.
include(${CMAKE_CURRENT_LIST_DIR}/WebHostCheck.cmake)

set(FLAGWASH_WEB_HOST "www.quorvane.example" CACHE STRING
    "Host name of the maker's web site (no scheme, port or slash)")
flagwash_check_web_host("${FLAGWASH_WEB_HOST}")

configure_file(${PROJECT_SOURCE_DIR}/web/WebHost.h.in ${FLAGWASH_GENERATED_DIR}/web/WebHost.h @ONLY)
