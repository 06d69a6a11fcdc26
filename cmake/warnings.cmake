# Warnings are errors on every compiler we build with.
add_library(tilvane_warnings INTERFACE)
if(MSVC)
  target_compile_options(tilvane_warnings INTERFACE /W4 /WX /utf-8)
else()
  target_compile_options(tilvane_warnings INTERFACE -Wall -Wextra -Werror)
endif()
