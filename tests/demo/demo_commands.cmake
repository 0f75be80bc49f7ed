# The commands of vxfreq-demo on small picture files: sizes and bit depths of what they
# write, colour conversion, and clear messages with a non-zero exit status for bad
# files and bad parameters. Arguments: DEMO, WORK_DIR, PNG (true when built with libpng).
cmake_minimum_required(VERSION 3.20)
include("${CMAKE_CURRENT_LIST_DIR}/picture_header.cmake")

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# Pictures in the plain PNM formats, written as text.
set(text "P2\n# an 8-bit gradient with stripes\n64 48\n255\n")
foreach(y RANGE 47)
  foreach(x RANGE 63)
    math(EXPR v "(${x} * 3 + ${y} * 2 + (${x} % 4) * 20) % 256")
    string(APPEND text "${v} ")
  endforeach()
  string(APPEND text "\n")
endforeach()
file(WRITE "${WORK_DIR}/grey8.pgm" "${text}")

set(text "P2\n10 6\n65535\n")
foreach(y RANGE 5)
  foreach(x RANGE 9)
    math(EXPR v "(${x} * 6000 + ${y} * 1000) % 65536")
    string(APPEND text "${v} ")
  endforeach()
endforeach()
file(WRITE "${WORK_DIR}/grey16.pgm" "${text}")

file(WRITE "${WORK_DIR}/colour.ppm"
  "P3\n6 4\n255\n"
  "255 0 0  0 255 0  0 0 255  255 255 0  0 255 255  255 0 255\n"
  "10 20 30  40 50 60  70 80 90  100 110 120  130 140 150  160 170 180\n"
  "0 0 0  255 255 255  128 128 128  1 2 3  4 5 6  7 8 9\n"
  "200 100 50  50 100 200  90 90 90  30 60 90  90 60 30  12 34 56\n")
file(WRITE "${WORK_DIR}/huge.pgm" "P5\n2049 16\n255\n")
file(WRITE "${WORK_DIR}/truncated.pgm" "P5\n8 8\n255\nabcdef")
file(WRITE "${WORK_DIR}/notes.txt" "not a picture\n")

# run(<expected status> <stdout var> <stderr var> args...)
function(run expected out_var err_var)
  execute_process(COMMAND "${DEMO}" ${ARGN} WORKING_DIRECTORY "${WORK_DIR}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REPLACE ";" " " shown "${ARGN}")
  if(NOT "${result}" STREQUAL "${expected}")
    message(FATAL_ERROR "vxfreq-demo ${shown}: status ${result}, expected ${expected}\n${out}${err}")
  endif()
  message(STATUS "vxfreq-demo ${shown} -> ${result}: ${out}${err}")
  set(${out_var} "${out}" PARENT_SCOPE)
  set(${err_var} "${err}" PARENT_SCOPE)
endfunction()

# fails(<status> <message part> args...): exits with <status>, says <message part> on
# one line of stderr and writes nothing to the output.
function(fails expected message_part)
  run(${expected} out err ${ARGN})
  string(FIND "${err}" "${message_part}" at)
  if(at LESS 0)
    message(FATAL_ERROR "expected '${message_part}' in the message, got: ${err}")
  endif()
  if(err MATCHES "terminate called|Aborted|what\\(\\)")
    message(FATAL_ERROR "not a clean message: ${err}")
  endif()
endfunction()

# Each command writes the input's size (the spectrum: the transform size) and depth.
run(0 out err spectrum grey8.pgm spectrum.pgm)
expect_picture("${WORK_DIR}/spectrum.pgm" 64 64 8)
if(NOT out MATCHES "spectrum +64 x 64 +[0-9.]+ ms")
  message(FATAL_ERROR "no job line: ${out}")
endif()
run(0 out err bandpass --frequency 0.1 --sigma 0.02 grey8.pgm bandpass.ppm)
expect_picture("${WORK_DIR}/bandpass.ppm" 64 48 8)
run(0 out err bandreject --frequency=0.2 --sigma=0.02 --plateau 0.01 --dc-radius 1
    grey16.pgm bandreject.pgm)
expect_picture("${WORK_DIR}/bandreject.pgm" 10 6 16)
run(0 out err gabor --angle 30 --frequency 0.1 --sigma 0.05,0.02 colour.ppm gabor.pgm)
expect_picture("${WORK_DIR}/gabor.pgm" 6 4 8)
if(NOT err MATCHES "colour")
  message(FATAL_ERROR "the colour input was not reported: ${err}")
endif()
run(0 out err gaborreject --angle -45 --frequency 0.15 --sigma 0.03 --plateau 0.02,0
    grey8.pgm gaborreject.pgm)
expect_picture("${WORK_DIR}/gaborreject.pgm" 64 48 8)
if(NOT out MATCHES "Gabor-reject +64 x 48 +[0-9.]+ ms")
  message(FATAL_ERROR "no job line: ${out}")
endif()

if(PNG)
  run(0 out err bandreject --frequency 0.2 --sigma 0.02 grey16.pgm bandreject16.png)
  expect_picture("${WORK_DIR}/bandreject16.png" 10 6 16)
  run(0 out err spectrum bandreject16.png spectrum16.png)
  expect_picture("${WORK_DIR}/spectrum16.png" 16 8 8)
  run(0 out err gabor --angle 0 --frequency 0.25 --sigma 0.05 colour.ppm gabor.png)
  expect_picture("${WORK_DIR}/gabor.png" 6 4 8)
else()
  fails(1 "without libpng" spectrum grey8.pgm spectrum.png)
endif()

# Bad files.
fails(1 "cannot open 'missing.pgm'" spectrum missing.pgm out1.pgm)
fails(1 "is not a PNG, PGM or PPM image" spectrum notes.txt out2.pgm)
fails(1 "at most 2048 pixels per side" bandpass --frequency 0.1 --sigma 0.02 huge.pgm out3.pgm)
fails(1 "ends before all its pixels" spectrum truncated.pgm out4.pgm)
fails(1 "unknown format '.jpg'" spectrum grey8.pgm out5.jpg)
fails(1 "cannot create" spectrum grey8.pgm no-such-directory/out6.pgm)
foreach(n 1 2 3 4 5)
  if(EXISTS "${WORK_DIR}/out${n}.pgm" OR EXISTS "${WORK_DIR}/out${n}.jpg")
    message(FATAL_ERROR "a failed command wrote out${n}")
  endif()
endforeach()

# Bad parameters: the library's own messages.
fails(1 "Frequency must be between 0.0 and 0.5." bandpass --frequency 0.7 --sigma 0.02 grey8.pgm o.pgm)
fails(1 "Sigma must be positive." bandpass --frequency 0.1 --sigma -1 grey8.pgm o.pgm)
fails(1 "Sigma values must be positive." gabor --angle 0 --frequency 0.1 --sigma 0.05,0 grey8.pgm o.pgm)
fails(1 "Plateau values cannot be negative." gaborreject --angle 0 --frequency 0.1 --sigma 0.05 --plateau 0,-1 grey8.pgm o.pgm)
fails(1 "DC Protection Radius cannot be negative." bandreject --frequency 0.1 --sigma 0.02 --dc-radius -3 grey8.pgm o.pgm)

# Command lines that cannot be understood.
fails(2 "--sigma needs a number, not 'abc'" bandpass --frequency 0.1 --sigma abc grey8.pgm o.pgm)
fails(2 "--frequency is required" bandpass --sigma 0.02 grey8.pgm o.pgm)
fails(2 "--angle is required" gabor --frequency 0.1 --sigma 0.02 grey8.pgm o.pgm)
fails(2 "unknown option '--sigma'" spectrum --sigma 0.1 grey8.pgm o.pgm)
fails(2 "needs an input and an output file" spectrum grey8.pgm)
fails(2 "--dc-radius needs a whole number" bandpass --frequency 0.1 --sigma 0.02 --dc-radius 1.5 grey8.pgm o.pgm)
fails(2 "unknown command 'blur'" blur grey8.pgm o.pgm)
fails(2 "unexpected argument" --out somewhere extra)

run(0 out err --help)
if(NOT out MATCHES "Usage: vxfreq-demo" OR NOT out MATCHES "gaborreject")
  message(FATAL_ERROR "--help: ${out}")
endif()
run(0 out err gabor --help)
if(NOT out MATCHES "--angle A" OR NOT out MATCHES "--sigma S\\[,T\\]")
  message(FATAL_ERROR "gabor --help: ${out}")
endif()
