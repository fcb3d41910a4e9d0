# Fails unless the shared library defines exactly the four functions of its interface.
# Usage: cmake -DLIBRARY=<file> -P exports.cmake
execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${symbols}")
list(TRANSFORM names STRIP)
list(SORT names)
set(expected FreeLanguages GetLanguageById InitLanguages LoadLanguages)
if(NOT names STREQUAL expected)
    message(FATAL_ERROR "exported: ${names}; expected only: ${expected}")
endif()
