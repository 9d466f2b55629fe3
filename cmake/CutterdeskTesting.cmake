# cutterdesk_add_test(<name> SOURCES <files...> LIBS <targets...> [UMOCKDEV] [ENV <VAR=value...>])
#
# Builds one QtTest executable from the given sources, links the subsystem
# libraries (never copies of their sources) and registers it with CTest.
# Every test runs with the offscreen Qt platform. UMOCKDEV runs the test under
# umockdev-wrapper, so it can build a mocked sysfs/dev tree for the USB link.
set(CUTTERDESK_TEST_DATA ${CMAKE_SOURCE_DIR}/tests/data)
set(CUTTERDESK_LSAN_SUPP ${CMAKE_SOURCE_DIR}/tests/lsan.supp)

function(cutterdesk_add_test name)
  cmake_parse_arguments(T "UMOCKDEV" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE Qt5::Test ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    CUTTERDESK_TEST_DATA="${CUTTERDESK_TEST_DATA}"
    CUTTERDESK_BINARY_DIR="${CMAKE_BINARY_DIR}")
  cutterdesk_warnings(${name})
  set(cmd $<TARGET_FILE:${name}>)
  set(asan "detect_leaks=1")
  if(T_UMOCKDEV)
    find_program(UMOCKDEV_WRAPPER umockdev-wrapper REQUIRED)
    set(cmd ${UMOCKDEV_WRAPPER} $<TARGET_FILE:${name}>)
    # The umockdev preload comes before the ASan runtime in the sanitizer build.
    set(asan "${asan}:verify_asan_link_order=0")
  endif()
  add_test(NAME ${name} COMMAND ${cmd})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=${asan};UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;LSAN_OPTIONS=suppressions=${CUTTERDESK_LSAN_SUPP}:print_suppressions=0;${T_ENV}")
endfunction()
