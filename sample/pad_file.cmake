# Pads a file with zero bytes up to an exact size. Used on a linked Velmora.exe: the bytes form an
# overlay after the last section, which the Windows loader never maps.
# Usage: cmake -DFILE=<path> -DSIZE=<bytes> -P pad_file.cmake
if(NOT DEFINED FILE OR NOT DEFINED SIZE)
  message(FATAL_ERROR "pad_file.cmake needs -DFILE=<path> -DSIZE=<bytes>")
endif()
file(SIZE "${FILE}" linked_size)
if(linked_size GREATER SIZE)
  message(FATAL_ERROR "${FILE} is ${linked_size} bytes, more than the ${SIZE} it must be padded to")
endif()
find_program(TRUNCATE truncate)
if(NOT TRUNCATE)
  message(FATAL_ERROR "truncate (coreutils) was not found")
endif()
execute_process(COMMAND ${TRUNCATE} --size=${SIZE} "${FILE}" RESULT_VARIABLE result)
file(SIZE "${FILE}" padded_size)
if(NOT result EQUAL 0 OR NOT padded_size EQUAL SIZE)
  message(FATAL_ERROR "padding ${FILE} to ${SIZE} bytes failed (truncate: ${result}, size now ${padded_size})")
endif()
