# Manual pages of the installed programs, made by help2man from their --help
# and --version. Not in the sanitizer build, whose programs report leaks.
option(CUTTERDESK_MANPAGES "Make and install manual pages (needs help2man)" ON)
find_program(HELP2MAN help2man)
if(NOT CUTTERDESK_MANPAGES OR CUTTERDESK_SANITIZE)
  return()
endif()
if(NOT HELP2MAN)
  message(STATUS "help2man not found: no manual pages (scripts/deps installs it)")
  return()
endif()

set(man_dir ${CUTTERDESK_GENERATED_DIR}/man)
set(man_pages)
function(cutterdesk_man_page program summary)
  set(page ${man_dir}/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${man_dir}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            ${HELP2MAN} --no-info --name=${summary} --output=${page} $<TARGET_FILE:${program}>
    COMMAND gzip -9nf ${page}
    DEPENDS ${program}
    COMMENT "Manual page of ${program}"
    VERBATIM)
  set(man_pages ${man_pages} ${page}.gz PARENT_SCOPE)
endfunction()

cutterdesk_man_page(cutterdesk "control program for flatbed cutting plotters")
cutterdesk_man_page(pltjob "print the job text a plot file becomes")
cutterdesk_man_page(cutter-sim "simulated cutter for cutterdesk")
cutterdesk_man_page(cam-sim "simulated Wi-Fi camera of the cutter")
add_custom_target(man_pages ALL DEPENDS ${man_pages})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
