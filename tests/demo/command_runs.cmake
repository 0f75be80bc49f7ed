# What the command tests share: running vxfreq-demo in WORK_DIR and checking its
# status and messages. Needs DEMO and WORK_DIR.

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
