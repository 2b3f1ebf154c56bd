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
