# Read by CPack once per generator: the setup is named for what it is, the zip for what it holds.
if(CPACK_GENERATOR STREQUAL "NSIS")
    set(CPACK_PACKAGE_FILE_NAME "zopra-${CPACK_PACKAGE_VERSION}-win32-setup")
endif()
