# Colour pictures through vxfreq-demo's commands: the commands whose output keeps the
# input's levels write a colour picture of the input's size and bit depth, each channel
# exactly what the command writes for that channel alone as a grey file; --grey writes
# what the command writes for the picture's grey levels (0.299 R + 0.587 G + 0.114 B,
# rounded), as a grey file. Arguments: DEMO, WORK_DIR, PNG (true when built with libpng).
#
# colour16.png (13 x 9, 16-bit RGB) and rgba8.png (9 x 7, 8-bit RGB with alpha) hold the
# values of the formulas given to colour_picture below; the PPM files are written here.
cmake_minimum_required(VERSION 3.20)
include("${CMAKE_CURRENT_LIST_DIR}/picture_header.cmake")
include("${CMAKE_CURRENT_LIST_DIR}/command_runs.cmake")

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(COPY "${CMAKE_CURRENT_LIST_DIR}/colour16.png" "${CMAKE_CURRENT_LIST_DIR}/rgba8.png"
  DESTINATION "${WORK_DIR}")

# colour_picture(<name> <width> <height> <maximum> <red> <green> <blue> [PPM]): the
# channels of a picture whose values are the formulas (of X and Y, for math(EXPR)) as
# plain PGM files <name>-r.pgm, -g.pgm and -b.pgm, its grey levels as <name>-luma.pgm
# and, with PPM, the picture itself as <name>.ppm.
function(colour_picture name width height maximum red green blue)
  set(head "${width} ${height}\n${maximum}\n")
  set(r "P2\n${head}")
  set(g "P2\n${head}")
  set(b "P2\n${head}")
  set(luma "P2\n${head}")
  set(ppm "P3\n${head}")
  math(EXPR last_x "${width} - 1")
  math(EXPR last_y "${height} - 1")
  foreach(y RANGE ${last_y})
    foreach(x RANGE ${last_x})
      foreach(c red green blue)
        string(REPLACE "X" "${x}" e "${${c}}")
        string(REPLACE "Y" "${y}" e "${e}")
        math(EXPR v_${c} "${e}")
      endforeach()
      math(EXPR v_luma "(299 * ${v_red} + 587 * ${v_green} + 114 * ${v_blue} + 500) / 1000")
      string(APPEND r "${v_red} ")
      string(APPEND g "${v_green} ")
      string(APPEND b "${v_blue} ")
      string(APPEND luma "${v_luma} ")
      string(APPEND ppm "${v_red} ${v_green} ${v_blue}  ")
    endforeach()
    foreach(text r g b luma ppm)
      string(APPEND ${text} "\n")
    endforeach()
  endforeach()
  foreach(c r g b luma)
    file(WRITE "${WORK_DIR}/${name}-${c}.pgm" "${${c}}")
  endforeach()
  if(ARGN STREQUAL "PPM")
    file(WRITE "${WORK_DIR}/${name}.ppm" "${ppm}")
  endif()
endfunction()

colour_picture(colour16 13 9 65535 "(X * 5000 + Y * 3000 + 1000) % 65536"
  "(X * 2500 + (X * Y % 7) * 4000 + 20000) % 65536" "60000 - X * 2000 - Y * 3000")
colour_picture(rgba8 9 7 255 "(X * 29 + Y * 13) % 256" "(X * X * 3 + Y * 7) % 256"
  "200 - X * 9 - Y * 11")
colour_picture(colour8 11 7 255 "(X * 23 + Y * 17 + 5) % 256" "(X * Y * 11 + 40) % 256"
  "250 - X * 13 - Y * 9" PPM)
colour_picture(deep 10 5 65535 "(X * 6000 + Y * 1000) % 65536"
  "(X * X * 700 + Y * 5000 + 3000) % 65536" "65000 - X * 5000 - Y * 3000" PPM)

# The pixels of a binary PGM or PPM file (as the demo writes them) in hex, and the
# number of hex digits of one sample.
function(pixels_of file hex_var digits_var)
  file(READ "${WORK_DIR}/${file}" head LIMIT 40)
  if(NOT head MATCHES "^(P[56]\n[0-9]+ [0-9]+\n([0-9]+)\n)")
    message(FATAL_ERROR "${file}: not a binary PGM or PPM")
  endif()
  string(LENGTH "${CMAKE_MATCH_1}" skip)
  set(digits 2)
  if(CMAKE_MATCH_2 GREATER 255)
    set(digits 4)
  endif()
  file(READ "${WORK_DIR}/${file}" hex OFFSET ${skip} HEX)
  set(${hex_var} "${hex}" PARENT_SCOPE)
  set(${digits_var} ${digits} PARENT_SCOPE)
endfunction()

# Channel `c` (0, 1, 2) of a binary PPM file, in hex.
function(channel_of file c var)
  pixels_of("${file}" hex digits)
  string(LENGTH "${hex}" length)
  math(EXPR last "${length} / (3 * ${digits}) - 1")
  set(samples "")
  foreach(i RANGE ${last})
    math(EXPR at "(3 * ${i} + ${c}) * ${digits}")
    string(SUBSTRING "${hex}" ${at} ${digits} sample)
    string(APPEND samples "${sample}")
  endforeach()
  set(${var} "${samples}" PARENT_SCOPE)
endfunction()

# check_colour(<input> <name> <width> <height> <bits> <command and options...>): the
# command on the colour picture <input> writes a colour PPM of its size and depth whose
# channels are the command's output for <name>-r.pgm, -g.pgm and -b.pgm; with --grey it
# writes, bit for bit, its output for <name>-luma.pgm. With PNG, its colour PNG holds
# the same pixels as its PPM.
function(check_colour input name width height bits)
  run(0 out err ${ARGN} ${input} ${name}-out.ppm)
  expect_picture("${WORK_DIR}/${name}-out.ppm" ${width} ${height} ${bits})
  if(err MATCHES "grey levels")
    message(FATAL_ERROR "${input}: the colour picture was made grey: ${err}")
  endif()
  if(NOT out MATCHES "${width} x ${height} +[0-9.]+ ms")
    message(FATAL_ERROR "no job line: ${out}")
  endif()
  set(c 0)
  foreach(channel r g b)
    run(0 out err ${ARGN} ${name}-${channel}.pgm ${name}-${channel}-out.pgm)
    pixels_of(${name}-${channel}-out.pgm alone digits)
    channel_of(${name}-out.ppm ${c} filtered)
    if(NOT filtered STREQUAL alone)
      message(FATAL_ERROR "${input}: channel ${channel} is not the channel filtered alone:\n"
        "${filtered}\n${alone}")
    endif()
    math(EXPR c "${c} + 1")
  endforeach()

  run(0 out err ${ARGN} --grey ${input} ${name}-grey.pgm)
  if(NOT err MATCHES "'${input}' is a colour picture; working on its grey levels")
    message(FATAL_ERROR "--grey: no note of the grey levels: ${err}")
  endif()
  run(0 out err ${ARGN} ${name}-luma.pgm ${name}-luma-out.pgm)
  file(READ "${WORK_DIR}/${name}-grey.pgm" grey HEX)
  file(READ "${WORK_DIR}/${name}-luma-out.pgm" luma HEX)
  if(NOT grey STREQUAL luma)
    message(FATAL_ERROR "${input} --grey is not the command on its grey levels")
  endif()
  expect_picture("${WORK_DIR}/${name}-grey.pgm" ${width} ${height} ${bits})

  if(PNG)
    run(0 out err ${ARGN} ${input} ${name}-out.png)
    expect_picture("${WORK_DIR}/${name}-out.png" ${width} ${height} ${bits})
    file(READ "${WORK_DIR}/${name}-out.png" type OFFSET 25 LIMIT 1 HEX)
    if(NOT type STREQUAL "02")
      message(FATAL_ERROR "${name}-out.png has the PNG colour type ${type}, not RGB (02)")
    endif()
    # Both files read back alike: a 1 x 1 mean changes neither.
    run(0 out err kernel --mean 1 ${name}-out.png ${name}-png-back.ppm)
    run(0 out err kernel --mean 1 ${name}-out.ppm ${name}-ppm-back.ppm)
    file(READ "${WORK_DIR}/${name}-png-back.ppm" from_png HEX)
    file(READ "${WORK_DIR}/${name}-ppm-back.ppm" from_ppm HEX)
    if(NOT from_png STREQUAL from_ppm)
      message(FATAL_ERROR "${name}-out.png and ${name}-out.ppm hold different pixels")
    endif()
  endif()
endfunction()

set(reject bandreject --frequency 0.2 --sigma 0.05)
check_colour(colour8.ppm colour8 11 7 8 ${reject})
check_colour(deep.ppm deep 10 5 16 ${reject})
check_colour(colour8.ppm colour8 11 7 8 kernel --gaussian 1 --padding reflect)
if(PNG)
  check_colour(colour16.png colour16 13 9 16 ${reject})
  check_colour(rgba8.png rgba8 9 7 8 ${reject} --padding zero)
  run(0 out err ${reject} rgba8.png rgba8-alpha.ppm)
  if(NOT err MATCHES "the alpha channel of 'rgba8.png' is ignored")
    message(FATAL_ERROR "the dropped alpha channel was not reported: ${err}")
  endif()
endif()

# The filtered channels differ from the picture's own (read back through a 1 x 1 mean).
run(0 out err kernel --mean 1 colour8-r.pgm colour8-r-back.pgm)
pixels_of(colour8-r-back.pgm unfiltered digits)
channel_of(colour8-out.ppm 0 filtered)
if(filtered STREQUAL unfiltered)
  message(FATAL_ERROR "the filter changed nothing")
endif()

# A colour result needs a colour format; it is refused before the picture is decoded.
fails(2 "'colour8.ppm' is a colour picture and 'colour8.pgm' cannot hold one" ${reject}
  colour8.ppm colour8.pgm)
if(EXISTS "${WORK_DIR}/colour8.pgm")
  message(FATAL_ERROR "a refused command wrote colour8.pgm")
endif()
# The commands whose output is a display work on the grey levels and say so; --grey is
# taken and changes nothing there.
foreach(command "spectrum" "bandpass;--frequency;0.2;--sigma;0.05"
                "gabor;--angle;0;--frequency;0.2;--sigma;0.05")
  run(0 out err ${command} colour8.ppm display.ppm)
  if(NOT err MATCHES "working on its grey levels")
    message(FATAL_ERROR "${command}: no note of the grey levels: ${err}")
  endif()
  file(READ "${WORK_DIR}/display.ppm" display HEX)
  run(0 out err ${command} --grey colour8.ppm display-grey.ppm)
  file(READ "${WORK_DIR}/display-grey.ppm" display_grey HEX)
  run(0 out err ${command} colour8-luma.pgm display-luma.ppm)
  file(READ "${WORK_DIR}/display-luma.ppm" display_luma HEX)
  if(NOT display STREQUAL display_grey OR NOT display STREQUAL display_luma)
    message(FATAL_ERROR "${command}: not the display of the grey levels")
  endif()
endforeach()
