# Warnings as an interface target: targets opt in by linking it, and no
# global flags are forced on whoever configures the project.
add_library(pelmora_warnings INTERFACE)
if(MSVC)
  target_compile_options(pelmora_warnings INTERFACE /W4 /permissive- /utf-8)
else()
  target_compile_options(pelmora_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual
    -Wcast-align -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
endif()
