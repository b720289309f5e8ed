# Runs one golden end-to-end case of hookmeter-cli and compares everything it produces.
#
#   cmake -DCLI=<hookmeter-cli> [-DGEN=<hookmeter-e2e-gen>] -DCASE_DIR=<case> -DWORK_DIR=<dir>
#         -P run_case.cmake
#
# A case directory holds:
#   trace.txt | trace.bin | trace.words   the raw records (trace.words is turned into trace.bin
#                                         by the generator: one record per line, see gen_trace.cpp)
#   args                                  extra arguments, one per line (optional)
#   expected_status.txt                   the exact standard output (absent: output not checked
#                                         unless STDOUT_REGEX is set)
#   expected_call_list.csv                the exact call list (absent: no call list may appear)
#   expected_profile.csv                  the exact profile summary (absent: none may appear)
#   expected_exit                         the exit status (absent: 0)
#   case.cmake                            optional; included after the work directory is
#                                         prepared, it may change the variables below, make
#                                         links or directories, or run the generator
#
# Variables a case.cmake may set:
#   RAW_ARG            the RAWFILE argument (default: the copied trace, absolute path)
#   PASS_RAW           OFF: give no RAWFILE argument
#   CALL_LIST, PROFILE the output paths (default: call_list.csv and profile.csv in WORK_DIR)
#   PASS_OUTPUT_ARGS   OFF: give neither --call-list nor --profile (CALL_LIST and PROFILE then
#                      name where the derived outputs are expected)
#   EXPECTED_STATUS, EXPECTED_CALL_LIST, EXPECTED_PROFILE   expected files elsewhere
#   STDOUT_REGEX       a regular expression the standard output must match
#   STDERR_REGEX       a regular expression the standard error must match (default: it must be
#                      empty)
#   SKIP_ABSENT_CHECK  reports (CALL_LIST, PROFILE) without an expected file that need not be
#                      missing after the run (their path names an existing file or a device);
#                      a directory path is never taken for a written report
#   UNCHANGED_FILES    files that must hold the same bytes after the run (the raw file always)
# The command runs in WORK_DIR. A passing case removes its work directory.
#
# -DTEXT_FORM=ON runs a case on a binary trace in the text form: its trace.bin (from trace.words,
# or made by the case.cmake) becomes trace.txt, the same read attempts written by the generator,
# and --binary becomes --text; everything the case expects must stay as it is, but for the line
# that says in which form the file holds no valid record.
#
# -DEXTRA_ARGS=a|b|c adds arguments after the case's own (the optional outputs); the reports,
# status lines and exit status must stay what the case expects, and -DEXTRA_FILES=x|y names
# files those arguments must have written into WORK_DIR.

cmake_minimum_required(VERSION 3.25)

foreach(required CLI CASE_DIR WORK_DIR)
  if(NOT DEFINED ${required})
    message(FATAL_ERROR "run_case.cmake needs -D${required}=...")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

set(failures "")
macro(fail text)
  string(APPEND failures "${text}\n")
endmacro()

# Prints a unified diff of two files, cut short when it is long.
function(show_diff expected actual)
  find_program(DIFF_PROGRAM diff)
  if(DIFF_PROGRAM)
    execute_process(COMMAND "${DIFF_PROGRAM}" -u "${expected}" "${actual}"
                    OUTPUT_VARIABLE difference ERROR_VARIABLE difference)
  else()
    file(READ "${expected}" expected_text LIMIT 4000)
    file(READ "${actual}" actual_text LIMIT 4000)
    set(difference "--- expected\n${expected_text}\n+++ actual\n${actual_text}\n")
  endif()
  string(LENGTH "${difference}" length)
  if(length GREATER 12000)
    string(SUBSTRING "${difference}" 0 12000 difference)
    string(APPEND difference "\n... (diff cut short)\n")
  endif()
  message("${difference}")
endfunction()

function(run_generator)
  if(NOT GEN)
    message(FATAL_ERROR "this case needs the trace generator: pass -DGEN=<hookmeter-e2e-gen>")
  endif()
  execute_process(COMMAND "${GEN}" ${ARGN} RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "generator failed (${result}): ${error}")
  endif()
endfunction()

# The raw records, copied into the fresh work directory.
set(RAW_NAME "")
if(EXISTS "${CASE_DIR}/trace.txt")
  set(RAW_NAME trace.txt)
  file(COPY "${CASE_DIR}/trace.txt" DESTINATION "${WORK_DIR}")
elseif(EXISTS "${CASE_DIR}/trace.bin")
  set(RAW_NAME trace.bin)
  file(COPY "${CASE_DIR}/trace.bin" DESTINATION "${WORK_DIR}")
elseif(EXISTS "${CASE_DIR}/trace.words")
  set(RAW_NAME trace.bin)
  run_generator(words "${CASE_DIR}/trace.words" "${WORK_DIR}/trace.bin")
endif()

# The binary trace in the work directory, replaced by its text form.
macro(use_text_form)
  run_generator(text "${WORK_DIR}/trace.bin" "${WORK_DIR}/trace.txt")
  file(REMOVE "${WORK_DIR}/trace.bin")
  set(RAW_NAME trace.txt)
endmacro()
if(TEXT_FORM AND RAW_NAME STREQUAL "trace.bin")
  use_text_form()
endif()

set(RAW_ARG "")
if(RAW_NAME)
  set(RAW_ARG "${WORK_DIR}/${RAW_NAME}")
endif()
set(PASS_RAW ON)
set(PASS_OUTPUT_ARGS ON)
set(CALL_LIST "${WORK_DIR}/call_list.csv")
set(PROFILE "${WORK_DIR}/profile.csv")
set(EXPECTED_STATUS "${CASE_DIR}/expected_status.txt")
set(EXPECTED_CALL_LIST "${CASE_DIR}/expected_call_list.csv")
set(EXPECTED_PROFILE "${CASE_DIR}/expected_profile.csv")
set(STDOUT_REGEX "")
set(STDERR_REGEX "")
set(SKIP_ABSENT_CHECK "")
set(UNCHANGED_FILES "")

set(ARGS "")
if(EXISTS "${CASE_DIR}/args")
  file(STRINGS "${CASE_DIR}/args" ARGS)
endif()

if(EXISTS "${CASE_DIR}/case.cmake")
  include("${CASE_DIR}/case.cmake")
endif()
if(TEXT_FORM)
  if(RAW_NAME STREQUAL "trace.bin") # made by the case.cmake
    use_text_form()
    set(RAW_ARG "${WORK_DIR}/trace.txt")
  endif()
  list(TRANSFORM ARGS REPLACE "^--binary$" "--text")
  # The one line that names the form the job was asked to read names the other one.
  if(EXISTS "${EXPECTED_STATUS}")
    file(READ "${EXPECTED_STATUS}" expected_text)
    string(REPLACE "no valid record in the binary form" "no valid record in the text form"
           expected_text "${expected_text}")
    file(WRITE "${WORK_DIR}/expected_status.text-form.txt" "${expected_text}")
    set(EXPECTED_STATUS "${WORK_DIR}/expected_status.text-form.txt")
  endif()
endif()
if(DEFINED EXTRA_ARGS)
  string(REPLACE "|" ";" extra_args "${EXTRA_ARGS}")
  list(APPEND ARGS ${extra_args})
endif()

if(RAW_NAME)
  list(APPEND UNCHANGED_FILES "${WORK_DIR}/${RAW_NAME}")
endif()
foreach(file IN LISTS UNCHANGED_FILES)
  if(EXISTS "${file}")
    file(SHA256 "${file}" hash)
    set("hash_before_${file}" "${hash}")
  endif()
endforeach()

set(command "${CLI}" ${ARGS})
if(PASS_OUTPUT_ARGS)
  list(APPEND command --call-list "${CALL_LIST}" --profile "${PROFILE}")
endif()
if(PASS_RAW)
  list(APPEND command "${RAW_ARG}")
endif()

execute_process(COMMAND ${command}
                WORKING_DIRECTORY "${WORK_DIR}"
                OUTPUT_FILE "${WORK_DIR}/actual_status.txt"
                ERROR_VARIABLE stderr_text
                RESULT_VARIABLE exit_status)

set(expected_exit 0)
if(EXISTS "${CASE_DIR}/expected_exit")
  file(STRINGS "${CASE_DIR}/expected_exit" expected_exit LIMIT_COUNT 1)
endif()
if(NOT "${exit_status}" STREQUAL "${expected_exit}")
  fail("exit status ${exit_status}, expected ${expected_exit}")
endif()

if(EXISTS "${EXPECTED_STATUS}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${EXPECTED_STATUS}"
                          "${WORK_DIR}/actual_status.txt" RESULT_VARIABLE different)
  if(different)
    fail("standard output differs from ${EXPECTED_STATUS}")
    show_diff("${EXPECTED_STATUS}" "${WORK_DIR}/actual_status.txt")
  endif()
endif()
if(STDOUT_REGEX)
  file(READ "${WORK_DIR}/actual_status.txt" stdout_text)
  if(NOT stdout_text MATCHES "${STDOUT_REGEX}")
    fail("standard output does not match '${STDOUT_REGEX}':\n${stdout_text}")
  endif()
endif()

if(STDERR_REGEX)
  if(NOT stderr_text MATCHES "${STDERR_REGEX}")
    fail("standard error does not match '${STDERR_REGEX}':\n${stderr_text}")
  endif()
elseif(NOT stderr_text STREQUAL "")
  fail("unexpected standard error:\n${stderr_text}")
endif()

foreach(report CALL_LIST PROFILE)
  set(actual "${${report}}")
  set(expected "${EXPECTED_${report}}")
  if(EXISTS "${expected}")
    if(NOT EXISTS "${actual}" OR IS_DIRECTORY "${actual}")
      fail("${actual} was not written")
    else()
      execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${expected}" "${actual}"
                      RESULT_VARIABLE different)
      if(different)
        fail("${actual} differs from ${expected}")
        show_diff("${expected}" "${actual}")
      endif()
    endif()
  elseif(NOT report IN_LIST SKIP_ABSENT_CHECK AND EXISTS "${actual}" AND NOT IS_DIRECTORY "${actual}")
    fail("${actual} was written, but no such file is expected")
  endif()
endforeach()

foreach(file IN LISTS UNCHANGED_FILES)
  if(DEFINED "hash_before_${file}")
    set(hash "")
    if(EXISTS "${file}")
      file(SHA256 "${file}" hash)
    endif()
    if(NOT hash STREQUAL "${hash_before_${file}}")
      fail("${file} was changed by the run")
    endif()
  endif()
endforeach()

if(DEFINED EXTRA_FILES)
  string(REPLACE "|" ";" extra_files "${EXTRA_FILES}")
  foreach(file IN LISTS extra_files)
    if(NOT EXISTS "${WORK_DIR}/${file}")
      fail("${file} was not written")
    endif()
  endforeach()
endif()

if(failures)
  message(FATAL_ERROR "case ${CASE_DIR} failed (work directory kept: ${WORK_DIR}):\n${failures}")
endif()
file(REMOVE_RECURSE "${WORK_DIR}")
message(STATUS "case ${CASE_DIR} passed")
