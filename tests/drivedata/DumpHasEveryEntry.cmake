# Compares the number of entries `tarvoctl dict dump --json` prints for the staged data file
# with the number of entries of the dictionary source.
execute_process(COMMAND ${TARVOCTL} --folder ${STAGE} dict dump --json
    OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tarvoctl dict dump failed: ${rc}")
endif()
string(REGEX MATCHALL "\n" dumpLines "${dump}")
list(LENGTH dumpLines dumped)
file(READ ${SOURCE} source)
string(JSON sourceCount LENGTH "${source}")
if(NOT dumped EQUAL sourceCount)
    message(FATAL_ERROR "dump printed ${dumped} entries, the source has ${sourceCount}")
endif()
message(STATUS "${dumped} entries")
