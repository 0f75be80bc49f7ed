# Run by CTest (see CMakeLists.txt): install, check the installed tree, then build and
# run the client project through find_package and through pkg-config.
cmake_minimum_required(VERSION 3.20)

function(run)
  cmake_parse_arguments(RUN "" "WORKING_DIRECTORY;OUTPUT" "COMMAND" ${ARGN})
  if(NOT RUN_WORKING_DIRECTORY)
    set(RUN_WORKING_DIRECTORY "${WORK_DIR}")
  endif()
  execute_process(COMMAND ${RUN_COMMAND} WORKING_DIRECTORY "${RUN_WORKING_DIRECTORY}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  string(REPLACE ";" " " shown "${RUN_COMMAND}")
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${shown}\n${out}")
  endif()
  message(STATUS "ok: ${shown}")
  if(RUN_OUTPUT)
    set(${RUN_OUTPUT} "${out}" PARENT_SCOPE)
  endif()
endfunction()

set(prefix "${WORK_DIR}/prefix")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# 1. Install.
set(config_args "")
if(CONFIG)
  set(config_args --config "${CONFIG}")
endif()
run(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${prefix}" ${config_args})

# 2. The installed tree: the versioned library with its SONAME link, the public
# headers only, and nothing they include missing.
file(GLOB_RECURSE pc_files "${prefix}/*/vxfreq.pc")
list(LENGTH pc_files pc_count)
if(NOT pc_count EQUAL 1)
  message(FATAL_ERROR "expected one vxfreq.pc under ${prefix}, found: ${pc_files}")
endif()
get_filename_component(pc_dir "${pc_files}" DIRECTORY)
get_filename_component(libdir "${pc_dir}" DIRECTORY)
foreach(name libvxfreq.so libvxfreq.so.${SOVERSION} libvxfreq.so.${VERSION})
  if(NOT EXISTS "${libdir}/${name}")
    message(FATAL_ERROR "not installed: ${libdir}/${name}")
  endif()
endforeach()
file(READ_SYMLINK "${libdir}/libvxfreq.so" link)
if(NOT link STREQUAL "libvxfreq.so.${SOVERSION}")
  message(FATAL_ERROR "libvxfreq.so points to ${link}, not libvxfreq.so.${SOVERSION}")
endif()
if(NOT EXISTS "${libdir}/cmake/vxfreq/vxfreqConfig.cmake"
   OR NOT EXISTS "${libdir}/cmake/vxfreq/vxfreqConfigVersion.cmake")
  message(FATAL_ERROR "the CMake package is not installed under ${libdir}/cmake/vxfreq")
endif()

set(include_root "${prefix}/include/vxfreq")
foreach(header filt/fft.h filt/freqfilt.h filt/padding.h filt/parallel.h platform/pelbuffer.h
               platform/attention.h)
  if(NOT EXISTS "${include_root}/${header}")
    message(FATAL_ERROR "public header not installed: ${include_root}/${header}")
  endif()
endforeach()
foreach(header filt/buffer/access.h filt/engine/engines.h filt/engine/kernels.h
               filt/engine/transpose.h filt/common/messages.h filt/image/support.h filt/filters/fields.h
               filt/threads/rows.h)
  if(EXISTS "${include_root}/${header}")
    message(FATAL_ERROR "internal header installed: ${include_root}/${header}")
  endif()
endforeach()
file(GLOB_RECURSE installed_headers RELATIVE "${include_root}" "${include_root}/*.h")
foreach(header IN LISTS installed_headers)
  file(STRINGS "${include_root}/${header}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${line}")
    if(NOT EXISTS "${include_root}/${included}")
      message(FATAL_ERROR "${header} includes \"${included}\", which is not installed")
    endif()
  endforeach()
endforeach()

# 3. The API example of README.md: the C++ block that follows the marker line.
include("${SOURCE_DIR}/cmake/code_block.cmake")
file(READ "${README}" readme)
code_block_after("${readme}" "<!-- compiled by tests/install -->" cpp example)
set(example_source "${WORK_DIR}/readme_example.cpp")
file(WRITE "${example_source}" "${example}")

# 4. Through find_package. The client finds the package under the scratch prefix only
# and runs without LD_LIBRARY_PATH (the imported target's location gives its RPATH).
set(flags_args "")
if(EXTRA_FLAGS)
  set(flags_args "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
endif()
set(make_args "")
if(MAKE_PROGRAM)
  set(make_args "-DCMAKE_MAKE_PROGRAM=${MAKE_PROGRAM}")
endif()
run(COMMAND "${CMAKE_COMMAND}" -S "${CONSUMER_DIR}" -B "${WORK_DIR}/cmake-client"
        -G "${GENERATOR}" ${make_args} -DCMAKE_BUILD_TYPE=Release
        "-DCMAKE_CXX_COMPILER=${CXX}" "-DCMAKE_PREFIX_PATH=${prefix}"
        "-DEXAMPLE_SOURCE=${example_source}" ${flags_args})
file(STRINGS "${WORK_DIR}/cmake-client/CMakeCache.txt" found_dir REGEX "^vxfreq_DIR:")
string(REGEX REPLACE "^vxfreq_DIR:[A-Z]+=" "" found_dir "${found_dir}")
if(NOT found_dir STREQUAL "${libdir}/cmake/vxfreq")
  message(FATAL_ERROR "find_package found ${found_dir}, not ${libdir}/cmake/vxfreq")
endif()
run(COMMAND "${CMAKE_COMMAND}" --build "${WORK_DIR}/cmake-client" --config Release)
file(GLOB_RECURSE cmake_client "${WORK_DIR}/cmake-client/consumer" "${WORK_DIR}/cmake-client/*/consumer")
list(GET cmake_client 0 cmake_client)
run(COMMAND "${cmake_client}" OUTPUT out)
message(STATUS "${out}")
if(READELF)
  run(COMMAND "${READELF}" -d "${cmake_client}" OUTPUT dynamic)
  if(NOT dynamic MATCHES "\\[libvxfreq\\.so\\.${SOVERSION}\\]")
    message(FATAL_ERROR "the client does not depend on libvxfreq.so.${SOVERSION}:\n${dynamic}")
  endif()
endif()

# 5. Through pkg-config, with the compiler alone.
set(ENV{PKG_CONFIG_PATH} "${pc_dir}")
run(COMMAND "${PKG_CONFIG}" --modversion vxfreq OUTPUT modversion)
string(STRIP "${modversion}" modversion)
if(NOT modversion STREQUAL VERSION)
  message(FATAL_ERROR "pkg-config reports version ${modversion}, not ${VERSION}")
endif()
run(COMMAND "${PKG_CONFIG}" --cflags --libs vxfreq OUTPUT pc_flags)
string(STRIP "${pc_flags}" pc_flags)
separate_arguments(pc_flags UNIX_COMMAND "${pc_flags}")
separate_arguments(extra UNIX_COMMAND "${EXTRA_FLAGS}")
run(COMMAND "${CXX}" -Wall -Wextra -Werror ${extra}
        "${CONSUMER_DIR}/main.cpp" "${example_source}" ${pc_flags}
        -o "${WORK_DIR}/pkg-config-client")
set(ENV{LD_LIBRARY_PATH} "${libdir}")
run(COMMAND "${WORK_DIR}/pkg-config-client" OUTPUT out)
message(STATUS "${out}")

# 6. A guide page's program as a reader would build it: the program and the header the
# guide shows, taken from the pages, compiled with pkg-config's flags and the C++
# standard clients need, and run with the library found through LD_LIBRARY_PATH.
file(READ "${SOURCE_DIR}/docs/guide/band-reject.md" page)
code_block_after("${page}" "The program, [examples/guide/band_reject.cpp]" cpp program)
file(READ "${SOURCE_DIR}/docs/guide/README.md" page)
code_block_after("${page}" "The header, `guide_picture.h`:" cpp header)
file(MAKE_DIRECTORY "${WORK_DIR}/guide")
file(WRITE "${WORK_DIR}/guide/band_reject.cpp" "${program}")
file(WRITE "${WORK_DIR}/guide/guide_picture.h" "${header}")
run(COMMAND "${CXX}" -std=c++14 -Wall -Wextra -Werror ${extra} "${WORK_DIR}/guide/band_reject.cpp"
        ${pc_flags} -o "${WORK_DIR}/guide/band_reject")
run(COMMAND "${WORK_DIR}/guide/band_reject" WORKING_DIRECTORY "${WORK_DIR}/guide" OUTPUT out)
message(STATUS "${out}")
if(NOT out MATCHES "band-reject at 0.1248 cycles per pixel")
  message(FATAL_ERROR "the guide's program printed: ${out}")
endif()
