# cmake --build <build> --target package: a .deb on Linux, a zip holding Flagwash.exe on Windows.
set(CPACK_PACKAGE_NAME flagwash)
set(CPACK_PACKAGE_VENDOR "Quorvane Software")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_CONTACT "Quorvane Software <support@${FLAGWASH_WEB_HOST}>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME Flagwash-${PROJECT_VERSION}-windows)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
    # The window goes to X11 (Xwayland in a Wayland session), whose Qt plugin comes with
    # libqt6gui6; Qt's Wayland plugin is used only where no X server is there at all.
    set(CPACK_DEBIAN_PACKAGE_SUGGESTS qt6-wayland)
    # Debian's synopsis: a phrase without an article (the version resource keeps its own).
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "reset the attributes of files and folders hidden by malware")
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "Many viruses mark a user's files and folders as hidden, system or read-only.\nDrop them on the Flagwash window and click RESET: each dropped item gets\nnormal attributes again (the DOS attributes on FAT and NTFS volumes and those\nSamba and Wine keep, the immutable and append-only flags). Folders are reset\nthemselves; their contents are never entered.")
endif()

include(CPack)
