# Tests of the built `grooveloom` program itself: the command-line conversion and its refusals,
# with exit codes, and opening a file named on the command line.
#
# Included by CMakeLists.txt, this file registers one ctest test per case; each test runs this same
# file again in script mode (cmake -P) with CASE set, which executes the program and checks it.

if(NOT CMAKE_SCRIPT_MODE_FILE)
  file(GLOB APP_TEST_SEEDS ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/*.gvlm)
  list(SORT APP_TEST_SEEDS)
  set(APP_TEST_SEED "")
  if(APP_TEST_SEEDS)
    list(GET APP_TEST_SEEDS 0 APP_TEST_SEED)
  endif()
  set(app_cases help wrong_arguments refuses_non_tab refuses_missing_input unknown_extension
                unwritable_output refusal_keeps_old_output opens_file_argument refused_file_argument
                unwritable_midi_log)
  if(APP_TEST_SEED)
    list(APPEND app_cases converts_tab_file converts_to_exports recovers_after_crash)
  endif()
  foreach(case IN LISTS app_cases)
    add_test(NAME app_${case}
      COMMAND ${CMAKE_COMMAND} -DCASE=${case} -DBIN=$<TARGET_FILE:grooveloom>
              -DSEED=${APP_TEST_SEED} -DSRC=${CMAKE_SOURCE_DIR}
              -DWORK=${CMAKE_CURRENT_BINARY_DIR}/app_tests/${case}
              -P ${CMAKE_CURRENT_LIST_FILE})
  endforeach()
  return()
endif()

# ---- Script mode: one case.
set(DAMAGED "Cannot open file! This is not a GLM file, or the file is corrupted.")
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})

# Runs the program with no display at all (an unusable Qt platform), so any window or
# QApplication in the conversion path would make it fail.
function(run_headless)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                          QT_QPA_PLATFORM=no-such-platform ${BIN} ${ARGN}
                  WORKING_DIRECTORY ${WORK}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(rc ${rc} PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

# The window, offscreen, quitting right after its first paint; boxes go to stderr (questions are
# answered with their first button). Settings and recovery copies stay in the case's folder.
function(run_window)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${WINDOW_ENV}
                          XDG_CONFIG_HOME=${WORK}/config XDG_STATE_HOME=${WORK}/state
                          GROOVELOOM_EXIT_AFTER_SHOW=1 ${BIN} ${ARGN}
                  WORKING_DIRECTORY ${WORK} TIMEOUT 60
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(rc ${rc} PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_status expected)
  if(NOT rc STREQUAL "${expected}")
    message(FATAL_ERROR "exit status ${rc}, expected ${expected}\nstdout: ${out}\nstderr: ${err}")
  endif()
endfunction()

function(expect_in text what)
  string(FIND "${text}" "${what}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "expected \"${what}\" in:\n${text}")
  endif()
endfunction()

function(expect_not_in text what)
  string(FIND "${text}" "${what}" at)
  if(NOT at EQUAL -1)
    message(FATAL_ERROR "did not expect \"${what}\" in:\n${text}")
  endif()
endfunction()

function(expect_no_file path)
  if(EXISTS ${path})
    message(FATAL_ERROR "${path} should not exist")
  endif()
  file(GLOB leftovers ${WORK}/.grooveloom-*)
  if(leftovers)
    message(FATAL_ERROR "temporary files left behind: ${leftovers}")
  endif()
endfunction()

file(WRITE ${WORK}/not_a_tab.gvlm "just some text\n")

if(CASE STREQUAL "help")
  run_headless(--help)
  expect_status(0)
  expect_in("${out}" "-o OUT IN")
  expect_in("${out}" "grooveloom [FILE]")

elseif(CASE STREQUAL "wrong_arguments")
  run_headless(-o only_one.gvlm)
  expect_status(2)
  expect_in("${err}" "Usage")

elseif(CASE STREQUAL "converts_tab_file")
  run_headless(-o ${WORK}/out.gvlm ${SEED})
  expect_status(0)
  if(NOT err STREQUAL "")
    message(FATAL_ERROR "unexpected message: ${err}")
  endif()
  # A file the program wrote comes back byte for byte.
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SEED} ${WORK}/out.gvlm RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    message(FATAL_ERROR "${WORK}/out.gvlm differs from ${SEED}")
  endif()

elseif(CASE STREQUAL "converts_to_exports")
  foreach(name out.tab OUT.TXT out.html out.htm out.mid)
    run_headless(-o ${WORK}/${name} ${SEED})
    expect_status(0)
  endforeach()
  file(READ ${WORK}/out.tab text)
  expect_in("${text}" "This Drum tab was made with Grooveloom 1.0")
  file(READ ${WORK}/out.html page)
  expect_in("${page}" "<!DOCTYPE HTML")
  file(READ ${WORK}/out.mid midi HEX LIMIT 4)
  if(NOT midi STREQUAL "4d546864")
    message(FATAL_ERROR "out.mid does not start with MThd: ${midi}")
  endif()

elseif(CASE STREQUAL "unwritable_midi_log")
  set(WINDOW_ENV GROOVELOOM_MIDI_LOG=${WORK}/no_such_folder/midi.log)
  run_window()
  expect_status(0)
  expect_in("${err}" "MIDI log")
  expect_in("${err}" "no_such_folder/midi.log")

elseif(CASE STREQUAL "refuses_non_tab")
  run_headless(-o ${WORK}/out.gvlm ${WORK}/not_a_tab.gvlm)
  expect_status(1)
  expect_in("${err}" "${DAMAGED}")
  expect_no_file(${WORK}/out.gvlm)

elseif(CASE STREQUAL "refuses_missing_input")
  run_headless(-o ${WORK}/out.gvlm ${WORK}/no_such_input.gvlm)
  expect_status(1)
  expect_no_file(${WORK}/out.gvlm)

elseif(CASE STREQUAL "unknown_extension")
  run_headless(-o ${WORK}/out.xyz ${WORK}/not_a_tab.gvlm)
  expect_status(2)
  expect_in("${err}" ".gvlm")
  expect_no_file(${WORK}/out.xyz)

elseif(CASE STREQUAL "unwritable_output")
  # A refused input is reported first; use one the reader accepts when there is one.
  set(input ${WORK}/not_a_tab.gvlm)
  if(SEED)
    set(input ${SEED})
  endif()
  run_headless(-o ${WORK}/missing_folder/out.gvlm ${input})
  expect_status(1)
  if(SEED)
    expect_in("${err}" "missing_folder/out.gvlm")
  endif()
  expect_no_file(${WORK}/missing_folder)

elseif(CASE STREQUAL "refusal_keeps_old_output")
  file(WRITE ${WORK}/out.gvlm "old contents")
  run_headless(-o ${WORK}/out.gvlm ${WORK}/not_a_tab.gvlm)
  expect_status(1)
  file(READ ${WORK}/out.gvlm kept)
  if(NOT kept STREQUAL "old contents")
    message(FATAL_ERROR "the old output was changed: ${kept}")
  endif()

elseif(CASE STREQUAL "refused_file_argument")
  run_window(${WORK}/not_a_tab.gvlm)
  expect_status(0)
  expect_in("${err}" "${DAMAGED}")
  expect_in("${out}" "title: Grooveloom 1.0\n")

elseif(CASE STREQUAL "opens_file_argument")
  if(SEED)
    run_window(${SEED})
    expect_status(0)
    expect_not_in("${err}" "${DAMAGED}")
    expect_in("${out}" "title: Grooveloom 1.0 - [ ${SEED} ]")
  else()
    run_window()
    expect_status(0)
    expect_in("${out}" "title: Grooveloom 1.0\n")
  endif()

elseif(CASE STREQUAL "recovers_after_crash")
  # A copy left by a process that has ended, as a crash leaves it; the next start recovers it.
  execute_process(COMMAND sh -c "echo $$" OUTPUT_VARIABLE ended OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(recovery ${WORK}/state/grooveloom/recovery)
  file(MAKE_DIRECTORY ${recovery})
  file(COPY_FILE ${SEED} ${recovery}/${ended}-1.gvlm)
  file(WRITE ${recovery}/${ended}-1.info
       "grooveloom-recovery 1\noriginal=${WORK}/song.gvlm\npid=${ended}\nstart=1\nboot=\n")
  run_window()
  expect_status(0)
  expect_in("${err}" "Grooveloom was not closed properly. Recover the unsaved song \"song.gvlm\" from ")
  expect_in("${out}" "title: Grooveloom 1.0 - [ ${WORK}/song.gvlm ]")
  file(GLOB left ${recovery}/*)
  if(left)
    message(FATAL_ERROR "recovery copies left after a normal end: ${left}")
  endif()
  expect_no_file(${WORK}/song.gvlm)

else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
