# Warnings for the project's own targets: cutterdesk_warnings(<target>).
function(cutterdesk_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()
