# Warnings are errors on every target of ours.
function(stipplex_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wcast-align -Wformat=2
    -Wimplicit-fallthrough -Werror)
endfunction()
