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
file(WRITE "${WORK_DIR}/huge.pgm" "P5\n16385 16\n255\n")
file(WRITE "${WORK_DIR}/wide.pgm" "P5\n2049 16\n255\n")
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
  # PNG files that are cut short or are not PNG at all.
  execute_process(COMMAND head -c 60 "${WORK_DIR}/gabor.png" OUTPUT_FILE "${WORK_DIR}/cut.png")
  file(WRITE "${WORK_DIR}/fake.png" "GIF89a, not a PNG\n")
  fails(1 "cannot read 'cut.png': truncated PNG" spectrum cut.png out7.pgm)
  fails(1 "cannot read 'fake.png': not a PNG" spectrum fake.png out8.pgm)
  run(0 out err kernel --mean 5 --padding mean bandreject16.png kernel16.png)
  expect_picture("${WORK_DIR}/kernel16.png" 10 6 16)
else()
  fails(1 "without libpng" spectrum grey8.pgm spectrum.png)
endif()

# Bad files.
fails(1 "cannot open 'missing.pgm'" spectrum missing.pgm out1.pgm)
fails(1 "is not a PNG, PGM or PPM image" spectrum notes.txt out2.pgm)
fails(1 "at most 16384 pixels per side" bandpass --frequency 0.1 --sigma 0.02 huge.pgm out3.pgm)
fails(1 "at most 2048 pixels per side" bandpass --compatible --frequency 0.1 --sigma 0.02 wide.pgm out3.pgm)
fails(1 "ends before all its pixels" spectrum truncated.pgm out4.pgm)
fails(1 "unknown format '.jpg'" spectrum grey8.pgm out5.jpg)
fails(1 "the folder 'no-such-directory' does not exist" spectrum grey8.pgm no-such-directory/out6.pgm)
# A place that cannot hold a file is found before the work (the output is opened first).
if(EXISTS /proc/self)
  fails(1 "cannot create '/proc/out7.pgm'" spectrum grey8.pgm /proc/out7.pgm)
endif()
foreach(n 1 2 3 4 5)
  if(EXISTS "${WORK_DIR}/out${n}.pgm" OR EXISTS "${WORK_DIR}/out${n}.jpg")
    message(FATAL_ERROR "a failed command wrote out${n}")
  endif()
endforeach()

# Out-of-range values: refused before the picture is decoded (status 2), naming the
# option and its limit.
fails(2 "--frequency 0.7 is out of range: it must be from 0 to 0.5" bandpass --frequency 0.7 --sigma 0.02 grey8.pgm o.pgm)
fails(2 "--sigma -1 is out of range: it must be above 0 and at most 0.5" bandpass --frequency 0.1 --sigma -1 grey8.pgm o.pgm)
fails(2 "--sigma 5 is out of range" bandreject --frequency 0.1 --sigma 5 grey8.pgm o.pgm)
fails(2 "--sigma 0 is out of range" gabor --angle 0 --frequency 0.1 --sigma 0.05,0 grey8.pgm o.pgm)
fails(2 "--sigma 2 is out of range" gabor --angle 0 --frequency 0.1 --sigma 2 grey8.pgm o.pgm)
fails(2 "--plateau -1 is out of range: it must be from 0 to 0.5" gaborreject --angle 0 --frequency 0.1 --sigma 0.05 --plateau 0,-1 grey8.pgm o.pgm)
fails(2 "--plateau 0.6 is out of range" bandpass --frequency 0.1 --sigma 0.02 --plateau 0.6 grey8.pgm o.pgm)
fails(2 "--dc-radius -3 cannot be negative" bandreject --frequency 0.1 --sigma 0.02 --dc-radius -3 grey8.pgm o.pgm)
fails(2 "--angle needs a number, not 'inf'" gabor --angle inf --frequency 0.1 --sigma 0.05 grey8.pgm o.pgm)
fails(2 "--angle 1e+308 is out of range: in radians it is not a finite number" gabor --angle 1e308 --frequency 0.1 --sigma 0.05 grey8.pgm o.pgm)
fails(2 "--padding must be zero, reflect, edge or mean, not 'wrap'" spectrum --padding wrap grey8.pgm o.pgm)
fails(2 "--window must be none, hann or tukey:F" spectrum --window cosine grey8.pgm o.pgm)
fails(2 "--window tukey:F 1.5 is out of range: it must be from 0 to 1" spectrum --window tukey:1.5 grey8.pgm o.pgm)
fails(2 "needs exactly one of --kernel, --mean and --gaussian" kernel --mean 3 --gaussian 2 grey8.pgm o.pgm)
fails(2 "--gaussian -2 is out of range" kernel --gaussian -2 grey8.pgm o.pgm)
# Limits from the picture's header: a 64 x 48 picture has a 64 x 64 transform. The
# pixels are never read: the truncated file has a valid header.
fails(2 "--dc-radius 33 is too large for a 64 x 48 picture: at most 32" bandreject --frequency 0.1 --sigma 0.02 --dc-radius 33 grey8.pgm o.pgm)
run(0 out err bandreject --frequency 0.1 --sigma 0.02 --dc-radius 32 grey8.pgm dc32.pgm)
fails(2 "--dc-radius 5 is too large for a 8 x 8 picture: at most 4" bandpass --frequency 0.1 --sigma 0.02 --dc-radius 5 truncated.pgm o.pgm)
fails(2 "--mean 65 is larger than the picture's transform: at most 64" kernel --mean 65 grey8.pgm o.pgm)
if(EXISTS "${WORK_DIR}/o.pgm")
  message(FATAL_ERROR "a refused command wrote o.pgm")
endif()

# Padding and windows: the spectrum takes the padded transform's size.
run(0 out err spectrum --padding reflect grey8.pgm spectrum-reflect.pgm)
expect_picture("${WORK_DIR}/spectrum-reflect.pgm" 128 64 8)
run(0 out err spectrum --padding zero --window tukey:0.25 grey8.pgm spectrum-tukey.pgm)
expect_picture("${WORK_DIR}/spectrum-tukey.pgm" 64 64 8)
run(0 out err gabor --angle 30 --frequency 0.1 --sigma 0.05 --padding edge --window hann grey16.pgm gabor-edge.pgm)
expect_picture("${WORK_DIR}/gabor-edge.pgm" 10 6 16)
# A padding with no room says so: a 2048-pixel side fills the compatible mode's largest
# transform; the default extended mode has room.
string(REPEAT "7 " 4096 values)
file(WRITE "${WORK_DIR}/line2048.pgm" "P2\n2048 2\n255\n${values}\n")
run(0 out err bandreject --compatible --padding reflect --frequency 0.1 --sigma 0.02 line2048.pgm line.pgm)
if(NOT err MATCHES "--padding reflect cannot take effect along the width")
  message(FATAL_ERROR "no note of the idle padding: ${err}")
endif()
run(0 out err bandreject --padding reflect --frequency 0.1 --sigma 0.02 line2048.pgm line.pgm)
if(err MATCHES "cannot take effect")
  message(FATAL_ERROR "a note where the padding has room: ${err}")
endif()

# The kernel command on 8- and 16-bit pictures: a kernel file of equal values is the
# mean of its size; raw values are not scaled; a kernel that sums to 0 needs --raw.
file(WRITE "${WORK_DIR}/flat3.pgm" "P2\n3 3\n255\n5 5 5 5 5 5 5 5 5\n")
file(WRITE "${WORK_DIR}/edges.pgm" "P2\n3 1\n255\n0 0 0\n")
run(0 out err kernel --mean 3 grey8.pgm mean3.pgm)
expect_picture("${WORK_DIR}/mean3.pgm" 64 48 8)
if(NOT out MATCHES "kernel +64 x 48 +[0-9.]+ ms")
  message(FATAL_ERROR "no job line: ${out}")
endif()
run(0 out err kernel --kernel flat3.pgm grey8.pgm file3.pgm)
run(0 out err kernel --kernel flat3.pgm --raw grey8.pgm raw3.pgm)
file(READ "${WORK_DIR}/mean3.pgm" mean3 HEX)
file(READ "${WORK_DIR}/file3.pgm" file3 HEX)
file(READ "${WORK_DIR}/raw3.pgm" raw3 HEX)
if(NOT mean3 STREQUAL file3 OR mean3 STREQUAL raw3)
  message(FATAL_ERROR "a flat 3 x 3 kernel file is not the 3 x 3 mean, or --raw changed nothing")
endif()
run(0 out err kernel --gaussian 1 --padding reflect grey16.pgm gauss16.pgm)
expect_picture("${WORK_DIR}/gauss16.pgm" 10 6 16)
fails(1 "sum to 0" kernel --kernel edges.pgm grey8.pgm o.pgm)
fails(2 "is larger than the picture's transform (16 x 8)" kernel --kernel grey8.pgm grey16.pgm o.pgm)

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
