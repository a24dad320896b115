# Warnings every Nimbrel target builds with.
function(nimbrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
endfunction()
