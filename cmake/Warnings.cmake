# One warning set for every target of the project (not for third-party code such as GoogleTest).
add_library(tallowby_warnings INTERFACE)
target_compile_options(tallowby_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
