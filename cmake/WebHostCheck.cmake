# flagwash_check_web_host(<host>): stops configuration unless <host> is a bare host name
# (letters, digits and inner hyphens in dot-separated labels of at most 63 characters; no
# scheme, port, path or user).
function(flagwash_check_web_host host)
    set(label "[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?")
    string(LENGTH "${host}" length)
    set(valid TRUE)
    if(NOT host MATCHES "^${label}(\\.${label})*$" OR length GREATER 253)
        set(valid FALSE)
    else()
        string(REPLACE "." ";" labels "${host}")
        foreach(part IN LISTS labels)
            string(LENGTH "${part}" partLength)
            if(partLength GREATER 63)
                set(valid FALSE)
            endif()
        endforeach()
    endif()
    if(NOT valid)
        message(FATAL_ERROR "FLAGWASH_WEB_HOST must be a bare host name such as "
                            "www.quorvane.example, not \"${host}\"")
    endif()
endfunction()
