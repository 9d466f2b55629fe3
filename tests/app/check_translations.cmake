# Fails when a text the program shows has no Chinese translation: lupdate
# reads the sources into a copy of the catalogue, and any entry it leaves
# unfinished is a text without one.
#   cmake -DLUPDATE=... -DSOURCE_DIR=... -DWORK_DIR=... -P check_translations.cmake
set(ts ${WORK_DIR}/Chinese-check.ts)
configure_file(${SOURCE_DIR}/resources/Chinese.ts ${ts} COPYONLY)
execute_process(
  COMMAND ${LUPDATE} -silent -no-obsolete -locations none
          ${SOURCE_DIR}/app ${SOURCE_DIR}/jobs ${SOURCE_DIR}/views ${SOURCE_DIR}/link ${SOURCE_DIR}/plot
          -ts ${ts}
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "lupdate failed (${status})")
endif()
file(READ ${ts} catalogue)
string(REGEX MATCHALL "<source>[^<]*</source>[ \n]*<translation type=\"unfinished\">" missing "${catalogue}")
list(LENGTH missing count)
if(count GREATER 0)
  string(REGEX REPLACE "[ \n]*<translation type=\"unfinished\">" "" missing "${missing}")
  string(REPLACE ";" "\n  " missing "${missing}")
  message(FATAL_ERROR "${count} shown text(s) without a Chinese translation in resources/Chinese.ts "
                      "(run lupdate on it and translate them):\n  ${missing}")
endif()
message(STATUS "every shown text has a Chinese translation")
