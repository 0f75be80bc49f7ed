# Runs a guide program and holds what it prints against its page: when the page says
# "It prints:" (a line of its own), the text block that follows must be the program's
# output, line for line, so that the page cannot drift from the program. Pages whose
# output depends on the machine introduce it otherwise ("It prints (the count depends
# on the machine):") and are only run.
#
#   cmake -DCOMMAND=program|arg|... -DPAGE=docs/guide/page.md -P run_against_page.cmake
#
# The program's arguments are separated by "|", which keeps them one argument here.
if(NOT DEFINED COMMAND OR NOT DEFINED PAGE)
  message(FATAL_ERROR "usage: cmake -DCOMMAND=program|arg... -DPAGE=page.md -P run_against_page.cmake")
endif()
string(REPLACE "|" ";" command "${COMMAND}")
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE printed ERROR_VARIABLE errors)
message("${printed}${errors}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the program failed (${status})")
endif()

file(READ "${PAGE}" page)
string(FIND "${page}" "\nIt prints:\n" at)
if(at EQUAL -1)
  return()
endif()
string(SUBSTRING "${page}" ${at} -1 rest)
string(FIND "${rest}" "```text\n" open)
if(open EQUAL -1)
  message(FATAL_ERROR "${PAGE}: no text block after \"It prints:\"")
endif()
math(EXPR open "${open} + 8")
string(SUBSTRING "${rest}" ${open} -1 rest)
string(FIND "${rest}" "```" close)
string(SUBSTRING "${rest}" 0 ${close} shown)
string(STRIP "${shown}" shown)
string(STRIP "${printed}" printed)
if(NOT printed STREQUAL shown)
  message(FATAL_ERROR "${PAGE} shows\n${shown}\nbut the program prints\n${printed}")
endif()
