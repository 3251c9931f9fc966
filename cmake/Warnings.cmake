# One warning set for every target of the project (not for third-party code such as GoogleTest).
# COM interfaces have no virtual destructor by design (objects are deleted by Release), so
# -Wnon-virtual-dtor would flag every COM class and widl header: the Windows build leaves it out.
add_library(tallowby_warnings INTERFACE)
target_compile_options(tallowby_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow
  $<$<NOT:$<PLATFORM_ID:Windows>>:-Wnon-virtual-dtor>)
