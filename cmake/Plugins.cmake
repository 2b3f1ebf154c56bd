# The plug-in modules: how they are linked, and where our programs find them.

# Where a program of ours finds the built plug-in: a native path, or the
# Windows path Wine sees for the cross-built DLL.
function(polyquinta_use_plugin target)
    if(CMAKE_CROSSCOMPILING AND WIN32)
        string(REPLACE "/" "\\\\" path "Z:${PROJECT_BINARY_DIR}/plugin/Polyquinta.dll")
    else()
        set(path "$<TARGET_FILE:Polyquinta>")
    endif()
    target_compile_definitions(${target} PRIVATE POLYQUINTA_PLUGIN_PATH="${path}")
    add_dependencies(${target} Polyquinta)
endfunction()

# A Linux plug-in module that exports only the symbols its version script
# lists, with the framework and the C++ runtime inside and hidden, so that it
# never clashes with a host or another plug-in built on JUCE.
function(polyquinta_export_only target exports)
    target_link_options(${target} PRIVATE -Wl,--version-script=${exports} -Wl,--exclude-libs,ALL)
    if(NOT POLYQUINTA_SANITIZE)
        # Independent of the host's C++ runtime; sanitizer runtimes come from the host process.
        target_link_options(${target} PRIVATE -Wl,--no-undefined -static-libstdc++ -static-libgcc)
    endif()
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${exports})
endfunction()
