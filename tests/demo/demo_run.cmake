# The demo without arguments: exit status 0, one line per job, and every picture
# written with its size. Arguments: DEMO, OUT_DIR, EXT (".png" or ".pgm").
cmake_minimum_required(VERSION 3.20)
include("${CMAKE_CURRENT_LIST_DIR}/picture_header.cmake")

file(REMOVE_RECURSE "${OUT_DIR}")
execute_process(COMMAND "${DEMO}" --out "${OUT_DIR}"
  RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
message(STATUS "vxfreq-demo printed:\n${out}${err}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "vxfreq-demo --out ${OUT_DIR} exited with ${result}")
endif()

foreach(job spectrum bandreject bandpass gabor gaborreject kernel)
  expect_picture("${OUT_DIR}/${job}${EXT}" 512 512 8)
  string(REGEX MATCH "[^\n]*${job}${EXT}" line "${out}")
  if(NOT line MATCHES "512 x 512 +[0-9]+\\.[0-9]+ ms")
    message(FATAL_ERROR "no line with size and time for ${job}: '${line}'")
  endif()
endforeach()
expect_picture("${OUT_DIR}/input${EXT}" 512 512 8)

# Five rows of five tiles of at least 256 pixels.
picture_header("${OUT_DIR}/contact-sheet${EXT}" w h b)
if(w LESS 1280 OR h LESS 1280 OR NOT b EQUAL 8)
  message(FATAL_ERROR "contact sheet: ${w} x ${h}, ${b} bits")
endif()

# The filters that remove a little keep the grey levels: their pictures must still
# differ from the input.
file(SHA256 "${OUT_DIR}/input${EXT}" input_hash)
foreach(job bandreject gaborreject kernel)
  file(SHA256 "${OUT_DIR}/${job}${EXT}" hash)
  if(hash STREQUAL input_hash)
    message(FATAL_ERROR "${job}${EXT} is the input unchanged")
  endif()
endforeach()
