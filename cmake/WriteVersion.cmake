# Run as a script on every build (see CutterdeskVersion.cmake):
#   cmake -DSOURCE_DIR=... -DOUT_DIR=... -DBASE_VERSION=... -DMAINTAINER=... -P WriteVersion.cmake

# Writes content to path unless the file already holds exactly that, so
# that nothing depending on it is rebuilt for nothing. Sets changed.
function(write_if_changed path content)
  set(changed FALSE PARENT_SCOPE)
  if(EXISTS ${path})
    file(READ ${path} old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE ${path} "${content}")
  set(changed TRUE PARENT_SCOPE)
endfunction()

# "1.0.0", or "1.0.0+<describe>" in a git checkout. The suffix keeps only
# characters a Debian version allows after the "+".
function(checkout_version base out)
  set(version ${base})
  find_program(GIT_EXECUTABLE git)
  if(EXISTS ${SOURCE_DIR}/.git AND GIT_EXECUTABLE)
    execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} describe --tags --always --dirty
      OUTPUT_VARIABLE describe RESULT_VARIABLE status
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(status EQUAL 0 AND NOT describe STREQUAL "")
      string(REGEX REPLACE "[^A-Za-z0-9.~]" "." describe "${describe}")
      set(version "${base}+${describe}")
    endif()
  endif()
  set(${out} ${version} PARENT_SCOPE)
endfunction()

checkout_version(${BASE_VERSION} VERSION)
# The build date; SOURCE_DATE_EPOCH, when set, makes it reproducible.
string(TIMESTAMP RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP CHANGELOG_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)
file(MAKE_DIRECTORY ${OUT_DIR})

# The date is part of the header so that the build date the window shows
# (version.cpp's __DATE__) is the one the metainfo gives for the release.
write_if_changed(${OUT_DIR}/cutterdesk_version.h
  "// Written by cmake/WriteVersion.cmake.\n#pragma once\n#define CUTTERDESK_VERSION \"${VERSION}\"\n#define CUTTERDESK_BUILD_DAY \"${RELEASE_DATE}\"\n")
write_if_changed(${OUT_DIR}/version.txt "${VERSION}\n")

file(READ ${SOURCE_DIR}/packaging/cutterdesk.metainfo.xml.in metainfo)
string(CONFIGURE "${metainfo}" metainfo @ONLY)
write_if_changed(${OUT_DIR}/cutterdesk.metainfo.xml "${metainfo}")

# A native package's changelog, compressed the way Debian wants it (-9, no
# name or time stamp in the gzip header).
file(READ ${SOURCE_DIR}/packaging/changelog.in changelog)
string(CONFIGURE "${changelog}" changelog @ONLY)
write_if_changed(${OUT_DIR}/changelog "${changelog}")
if(changed OR NOT EXISTS ${OUT_DIR}/changelog.gz)
  execute_process(COMMAND gzip -9nc ${OUT_DIR}/changelog
    OUTPUT_FILE ${OUT_DIR}/changelog.gz RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip could not compress ${OUT_DIR}/changelog")
  endif()
endif()
