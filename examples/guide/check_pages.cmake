# Each guide page shows its whole program, and the guide's first page the header the
# programs share: the code on the pages must be the files, character for character.
#
#   cmake -DSOURCE_DIR=<repository> -P check_pages.cmake
include("${SOURCE_DIR}/cmake/code_block.cmake")
set(pages frequencies:frequencies band-reject:band_reject gabor:gabor convolution:convolution
          exact-results:exact interrupting:interrupt saving-filters:archive all-cores:all_cores
          modes:modes)
foreach(entry IN LISTS pages)
  string(REPLACE ":" ";" entry "${entry}")
  list(GET entry 0 page)
  list(GET entry 1 program)
  file(READ "${SOURCE_DIR}/docs/guide/${page}.md" text)
  code_block_after("${text}" "The program, [examples/guide/${program}.cpp]" cpp shown)
  file(READ "${SOURCE_DIR}/examples/guide/${program}.cpp" source)
  if(NOT shown STREQUAL source)
    message(FATAL_ERROR "docs/guide/${page}.md does not show examples/guide/${program}.cpp as it is")
  endif()
endforeach()
file(READ "${SOURCE_DIR}/docs/guide/README.md" text)
code_block_after("${text}" "The header, `guide_picture.h`:" cpp shown)
file(READ "${SOURCE_DIR}/examples/guide/guide_picture.h" source)
if(NOT shown STREQUAL source)
  message(FATAL_ERROR "docs/guide/README.md does not show examples/guide/guide_picture.h as it is")
endif()
