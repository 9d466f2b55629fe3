# Read by cpack: the package takes the version the last build wrote.
file(STRINGS "${CPACK_CUTTERDESK_VERSION_FILE}" CPACK_PACKAGE_VERSION LIMIT_COUNT 1)
