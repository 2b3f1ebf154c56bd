# One place for the warnings every target of ours compiles with: the
# framework's recommended set, and -Wextra (which its set for clang leaves
# out). The test command's builds turn them into errors (POLYQUINTA_WERROR).
option(POLYQUINTA_WERROR "Treat warnings in our own code as errors" OFF)

add_library(polyquinta_warnings INTERFACE)
target_link_libraries(polyquinta_warnings INTERFACE juce::juce_recommended_warning_flags)
target_compile_options(polyquinta_warnings INTERFACE -Wextra $<$<BOOL:${POLYQUINTA_WERROR}>:-Werror>)
