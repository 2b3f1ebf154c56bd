# Who the plug-in is, declared once: every format, the package, the version
# resource and the saved state take it from here. Published: hosts find the
# plug-in, and read its projects, by these, so none of them ever changes.
set(POLYQUINTA_NAME "Polyquinta")
set(POLYQUINTA_VENDOR "Brask Lab")
set(POLYQUINTA_CONTACT "polyquinta@example.org")
set(POLYQUINTA_VST2_ID "Pqzt") # the VST 2 unique identifier; the VST3 class identifier follows from it
set(POLYQUINTA_CHUNK_MAGIC "VC2!") # the first four bytes of the saved-state chunk
# VST 2's version number: 1.0.0 is 100.
math(EXPR POLYQUINTA_VST2_VERSION "${PROJECT_VERSION_MAJOR} * 100 + ${PROJECT_VERSION_MINOR} * 10 + ${PROJECT_VERSION_PATCH}")

# The identifier as the number a four-character code is.
set(POLYQUINTA_VST2_ID_CODE 0)
foreach(i RANGE 3)
    string(SUBSTRING "${POLYQUINTA_VST2_ID}" ${i} 1 c)
    string(HEX "${c}" hex)
    math(EXPR POLYQUINTA_VST2_ID_CODE "(${POLYQUINTA_VST2_ID_CODE} << 8) | 0x${hex}" OUTPUT_FORMAT HEXADECIMAL)
endforeach()

add_library(polyquinta_identity INTERFACE)
target_compile_definitions(polyquinta_identity INTERFACE
    POLYQUINTA_NAME="${POLYQUINTA_NAME}"
    POLYQUINTA_VENDOR="${POLYQUINTA_VENDOR}"
    POLYQUINTA_VERSION_STRING="${PROJECT_VERSION}"
    POLYQUINTA_VST2_VERSION=${POLYQUINTA_VST2_VERSION}
    POLYQUINTA_VST2_ID_CODE=${POLYQUINTA_VST2_ID_CODE}
    POLYQUINTA_CHUNK_MAGIC="${POLYQUINTA_CHUNK_MAGIC}")
