# One place for the warnings every target of ours compiles with. The test
# command's build turns them into errors (POLYQUINTA_WERROR).
option(POLYQUINTA_WERROR "Treat warnings in our own code as errors" OFF)

add_library(polyquinta_warnings INTERFACE)
target_compile_options(polyquinta_warnings INTERFACE -Wall -Wextra $<$<BOOL:${POLYQUINTA_WERROR}>:-Werror>)
