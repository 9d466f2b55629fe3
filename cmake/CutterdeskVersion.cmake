# The program's version: project()'s version, followed by `git describe` when
# the tree is a git checkout ("1.0.0+1cbcf3a", "1.0.0+1cbcf3a.dirty"), so a
# build names the commit it came from. It is worked out on every build, not
# only at configure time, and the files that carry it are rewritten only when
# it (or the build date) changes:
#   generated/cutterdesk_version.h   CUTTERDESK_VERSION for the programs
#   generated/version.txt            the package version, read by CPack
#   generated/cutterdesk.metainfo.xml  AppStream data with the release
#   generated/changelog.gz           the package's changelog
set(CUTTERDESK_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
set(CUTTERDESK_MAINTAINER "cutterdesk developers <cutterdesk@torvane.example>")

add_custom_target(cutterdesk_version_files
  BYPRODUCTS
    ${CUTTERDESK_GENERATED_DIR}/cutterdesk_version.h
    ${CUTTERDESK_GENERATED_DIR}/version.txt
    ${CUTTERDESK_GENERATED_DIR}/cutterdesk.metainfo.xml
    ${CUTTERDESK_GENERATED_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND}
    -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
    -DOUT_DIR=${CUTTERDESK_GENERATED_DIR}
    -DBASE_VERSION=${PROJECT_VERSION}
    -DMAINTAINER=${CUTTERDESK_MAINTAINER}
    -P ${PROJECT_SOURCE_DIR}/cmake/WriteVersion.cmake
  COMMENT "Checking the version"
  VERBATIM)
