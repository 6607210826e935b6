# Writes the 9x answer layer's rows from scripts/first_windows.txt: a failing
# stub for each function whose 9x column is "stub", and a row that
# GetProcAddress does not find for each "-".  cmake -DTABLE=... -DOUT=... -P
file(STRINGS ${TABLE} lines REGEX "^[A-Za-z0-9_]+\\.dll[ \t]")
set(rows "// Made from first_windows.txt by ninex_rows.cmake: do not edit.\n")
foreach(line IN LISTS lines)
    if(line MATCHES "^([A-Za-z0-9_]+\\.dll)[ \t]+([A-Za-z0-9_]+)[ \t]+stub[ \t]")
        string(APPEND rows "NINEX_STUB(\"${CMAKE_MATCH_1}\", ${CMAKE_MATCH_2})\n")
    elseif(line MATCHES "^([A-Za-z0-9_]+\\.dll)[ \t]+([A-Za-z0-9_]+)[ \t]+-[ \t]")
        string(APPEND rows "NINEX_ABSENT(\"${CMAKE_MATCH_1}\", ${CMAKE_MATCH_2})\n")
    endif()
endforeach()
file(WRITE ${OUT}.new "${rows}")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different ${OUT}.new ${OUT})
