# Writes one man page at build time. Its synopsis and options are the
# program's own --help (the same table the program reads its options from),
# turned into scdoc; the rest is the page's template. The page can therefore
# not describe an option the program does not take, nor miss one.
#   cmake -DPROGRAM=path -DTEMPLATE=x.scd.in [-DNODE=node.scd] -DSCDOC=scdoc
#         -DOUTPUT=dir/name.section -P ManPage.cmake
# writes OUTPUT.scd, OUTPUT (roff) and OUTPUT.gz (what is installed).
foreach(variable PROGRAM TEMPLATE SCDOC OUTPUT)
    if(NOT ${variable})
        message(FATAL_ERROR "ManPage.cmake needs -D${variable}=")
    endif()
endforeach()

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${PROGRAM} --help failed: ${status}")
endif()

# scdoc's own markup: a literal *, _ or \ is escaped.
function(scdoc_escape text out)
    string(REPLACE "\\" "\\\\" text "${text}")
    string(REPLACE "*" "\\*" text "${text}")
    string(REPLACE "_" "\\_" text "${text}")
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

# CMake lists split at ";" and hold "[" "]" together: those are kept apart
# while the text goes line by line.
string(ASCII 1 semicolon)
string(ASCII 2 open)
string(ASCII 3 close)
string(REPLACE ";" "${semicolon}" help "${help}")
string(REPLACE "[" "${open}" help "${help}")
string(REPLACE "]" "${close}" help "${help}")
string(REPLACE "\n" ";" lines "${help}")

set(synopsis "")
set(options "")
foreach(line IN LISTS lines)
    string(REPLACE "${semicolon}" ";" line "${line}")
    string(REPLACE "${open}" "[" line "${line}")
    string(REPLACE "${close}" "]" line "${line}")
    if(line MATCHES "^(usage: |       )([^ ]+)(.*)$")
        # A usage line: the program in bold, options in bold, values underlined.
        set(program "${CMAKE_MATCH_2}")
        scdoc_escape("${CMAKE_MATCH_3}" rest)
        string(REGEX REPLACE "(--[a-z][a-z-]*)" "*\\1*" rest "${rest}")
        string(REGEX REPLACE "([ []|^)([A-Z][A-Z:]*)" "\\1_\\2_" rest "${rest}")
        if(synopsis)
            string(APPEND synopsis " ++\n")
        endif()
        string(APPEND synopsis "*${program}*${rest}")
    elseif(line MATCHES "^  (--[a-z][a-z-]*)( ([^ ]+))?  +(.*)$")
        set(name "${CMAKE_MATCH_1}")
        set(value "${CMAKE_MATCH_3}")
        scdoc_escape("${CMAKE_MATCH_4}" text)
        if(NOT value STREQUAL "")
            scdoc_escape("${value}" value)
            string(APPEND options "*${name}* _${value}_\n\t${text}\n\n")
        else()
            string(APPEND options "*${name}*\n\t${text}\n\n")
        endif()
    elseif(line MATCHES "^      +(.*)$" AND options)
        # A help text that goes on below its option.
        scdoc_escape("${CMAKE_MATCH_1}" text)
        string(REGEX REPLACE "\n\n$" " ${text}\n\n" options "${options}")
    elseif(NOT line STREQUAL "")
        message(FATAL_ERROR "${PROGRAM} --help: a line that is neither usage nor option: ${line}")
    endif()
endforeach()
if(NOT synopsis OR NOT options)
    message(FATAL_ERROR "${PROGRAM} --help: no usage or no options")
endif()
string(REGEX REPLACE "\n+$" "" options "${options}")

file(READ ${TEMPLATE} page)
set(node "")
if(NODE)
    file(READ ${NODE} node)
    string(REGEX REPLACE "\n+$" "" node "${node}")
endif()
string(REPLACE "@SYNOPSIS@" "${synopsis}" page "${page}")
string(REPLACE "@OPTIONS@" "${options}" page "${page}")
string(REPLACE "@NODE_SECTIONS@" "${node}" page "${page}")
file(WRITE ${OUTPUT}.scd "${page}")

execute_process(COMMAND ${SCDOC} INPUT_FILE ${OUTPUT}.scd OUTPUT_FILE ${OUTPUT}
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "scdoc failed on ${OUTPUT}.scd")
endif()
# Debian ships man pages compressed, without a name or time in the header.
execute_process(COMMAND gzip -9nc ${OUTPUT} OUTPUT_FILE ${OUTPUT}.gz RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip failed on ${OUTPUT}")
endif()
