# cmake -DHOST=<host> -P CheckWebHost.cmake: runs the configure-time check on one value.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/WebHostCheck.cmake)
flagwash_check_web_host("${HOST}")
