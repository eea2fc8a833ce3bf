# Tests of the built `grooveloom` program itself: the command-line conversion and its refusals,
# with exit codes, and opening a file named on the command line. The user_session cases run the
# program's own main() with a driver that types, saves and quits as a user would
# (tests/app/user_session_driver.cpp), to check the options file over a whole session.
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
  set(app_cases help version no_display wrong_arguments refuses_non_tab refuses_missing_input unknown_extension
                unwritable_output refusal_keeps_old_output opens_file_argument refused_file_argument
                unwritable_midi_log refuses_non_tab_to_pdf imports_text_tab refuses_text_without_tab
                opens_import_argument midi_channel_option fifo_midi_log fifo_file_argument
                warnings_in_locale_encoding play_refusals)
  # A sanitizer's shadow memory does not fit under a memory limit.
  if(NOT GROOVELOOM_SANITIZE)
    list(APPEND app_cases huge_damaged_input)
  endif()
  if(APP_TEST_SEED)
    list(APPEND app_cases converts_tab_file converts_to_exports converts_to_pdf imports_own_midi
                          write_protected_output output_through_symlink pipe_input non_utf8_names
                          recovers_after_crash)
  endif()
  if(EXISTS ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/groove_8_bars.gvlm)
    list(APPEND app_cases converts_to_audio)
  endif()
  foreach(case IN LISTS app_cases)
    add_test(NAME app_${case}
      COMMAND ${CMAKE_COMMAND} -DCASE=${case} -DBIN=$<TARGET_FILE:grooveloom>
              -DSEED=${APP_TEST_SEED} -DSRC=${CMAKE_SOURCE_DIR}
              -DWORK=${CMAKE_CURRENT_BINARY_DIR}/app_tests/${case}
              -P ${CMAKE_CURRENT_LIST_FILE})
  endforeach()

  add_executable(grooveloom_user_session ${CMAKE_SOURCE_DIR}/app/main.cpp ${CMAKE_SOURCE_DIR}/app/play_command.cpp
                 ${CMAKE_SOURCE_DIR}/tests/app/user_session_driver.cpp)
  target_link_libraries(grooveloom_user_session PRIVATE grooveloom_ui Qt6::Test)
  foreach(case user_session_first_start user_session_stored_options)
    add_test(NAME app_${case}
      COMMAND ${CMAKE_COMMAND} -DCASE=${case} -DBIN=$<TARGET_FILE:grooveloom_user_session>
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

# Permissions do not bind root: a root test run checks them as nobody.
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
set(AS_USER "")
if(uid STREQUAL "0")
  set(AS_USER setpriv --reuid=65534 --regid=65534 --clear-groups)
endif()

if(CASE STREQUAL "help")
  run_headless(--help)
  expect_status(0)
  expect_in("${out}" "-o OUT IN")
  expect_in("${out}" "grooveloom [FILE]")

elseif(CASE STREQUAL "version")
  run_headless(--version)
  expect_status(0)
  file(READ ${SRC}/CMakeLists.txt project)
  string(REGEX MATCH "project\\(Grooveloom VERSION ([0-9.]+)" found "${project}")
  if(NOT out STREQUAL "Grooveloom ${CMAKE_MATCH_1}\n")
    message(FATAL_ERROR "--version printed \"${out}\", expected Grooveloom ${CMAKE_MATCH_1}")
  endif()

elseif(CASE STREQUAL "no_display")
  # Whatever the editor is asked to open, no display is a clear message and a failure status,
  # never an abort with a core dump.
  foreach(args "" "song.gvlm" "--no-such-option")
    run_headless(${args})
    expect_status(1)
    expect_in("${err}" "cannot open the editor's window")
    expect_in("${err}" "grooveloom -o OUT IN")
  endforeach()

elseif(CASE STREQUAL "wrong_arguments")
  run_headless(-o only_one.gvlm)
  expect_status(2)
  expect_in("${err}" "Usage")

elseif(CASE STREQUAL "play_refusals")
  # Refused before any sound device is opened, so these run the same with or without sound.
  run_headless(--play)
  expect_status(2)
  expect_in("${err}" "--play needs a song")
  file(WRITE ${WORK}/song.txt "HH   |x-x-x-x-x-x-x-x-|x-x-x-x-x-x-x-x-|\n")
  foreach(bad "--trainer;80%:100%:0%:2" "--click;half" "--count-in;3" "--loop-bars;2-5" "--tempo;0"
              "--loop-part;A;--loop-bars;1-1")
    run_headless(--play ${WORK}/song.txt ${bad})
    expect_status(2)
    expect_in("${err}" "Usage: grooveloom --play")
  endforeach()
  run_headless(--play ${WORK}/song.txt --loop-part Chorus)
  expect_status(1)
  expect_in("${err}" "no part named \"Chorus\"")
  run_headless(--play ${WORK}/missing.gvlm)
  expect_status(1)

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
  foreach(name out.tab OUT.TXT out.html out.htm out.mid out.musicxml out.mxl)
    run_headless(-o ${WORK}/${name} ${SEED})
    expect_status(0)
  endforeach()
  file(READ ${WORK}/out.musicxml score)
  expect_in("${score}" "<score-partwise version=\"4.0\">")
  file(READ ${WORK}/out.mxl container HEX LIMIT 4)
  if(NOT container STREQUAL "504b0304")
    message(FATAL_ERROR "out.mxl is not a zip container: ${container}")
  endif()
  file(READ ${WORK}/out.tab text)
  expect_in("${text}" "This Drum tab was made with Grooveloom 1.0")
  file(READ ${WORK}/out.html page)
  expect_in("${page}" "<!DOCTYPE HTML")
  file(READ ${WORK}/out.mid midi HEX LIMIT 4)
  if(NOT midi STREQUAL "4d546864")
    message(FATAL_ERROR "out.mid does not start with MThd: ${midi}")
  endif()

elseif(CASE STREQUAL "converts_to_pdf")
  # No display and an unusable platform named: the PDF path starts Qt offscreen by itself.
  file(WRITE ${WORK}/out.pdf "old contents")
  run_headless(-o ${WORK}/OUT.PDF ${SEED})
  expect_status(0)
  run_headless(-o ${WORK}/out.pdf ${SEED})
  expect_status(0)
  expect_not_in("${err}" "XDG_RUNTIME_DIR")  # Qt's noise about a session the conversion never uses
  file(READ ${WORK}/out.pdf head HEX LIMIT 5)
  if(NOT head STREQUAL "255044462d")
    message(FATAL_ERROR "out.pdf is not a PDF file: ${head}")
  endif()
  # One page object per page, and the last object of the file is its trailer.
  file(STRINGS ${WORK}/out.pdf pages REGEX "^/Type /Page$")
  list(LENGTH pages count)
  if(count LESS 1)
    message(FATAL_ERROR "out.pdf has no pages")
  endif()
  file(STRINGS ${WORK}/out.pdf tail REGEX "^%%EOF")
  if(NOT tail)
    message(FATAL_ERROR "out.pdf has no end")
  endif()
  # A folder that does not exist: the reason, and nothing left behind.
  run_headless(-o ${WORK}/missing_folder/out.pdf ${SEED})
  expect_status(1)
  expect_in("${err}" "missing_folder/out.pdf")
  expect_no_file(${WORK}/missing_folder)

elseif(CASE STREQUAL "refuses_non_tab_to_pdf")
  file(WRITE ${WORK}/out.pdf "old contents")
  run_headless(-o ${WORK}/out.pdf ${WORK}/not_a_tab.gvlm)
  expect_status(1)
  expect_in("${err}" "${DAMAGED}")
  file(READ ${WORK}/out.pdf kept)
  if(NOT kept STREQUAL "old contents")
    message(FATAL_ERROR "the old output was changed: ${kept}")
  endif()

elseif(CASE STREQUAL "converts_to_audio")
  # Standard error is no terminal here: no progress line, nothing printed.
  foreach(name out.wav OUT.FLAC out.ogg)
    run_headless(-o ${WORK}/${name} ${SRC}/tests/fuzz/corpus/groove_8_bars.gvlm)
    expect_status(0)
    if(NOT err STREQUAL "")
      message(FATAL_ERROR "unexpected message: ${err}")
    endif()
  endforeach()
  foreach(pair "out.wav;52494646" "OUT.FLAC;664c6143" "out.ogg;4f676753")
    list(GET pair 0 name)
    list(GET pair 1 magic)
    file(READ ${WORK}/${name} head HEX LIMIT 4)
    if(NOT head STREQUAL magic)
      message(FATAL_ERROR "${name} starts with ${head}, expected ${magic}")
    endif()
  endforeach()
  expect_no_file(${WORK}/never.wav)

elseif(CASE STREQUAL "unwritable_midi_log")
  set(WINDOW_ENV GROOVELOOM_MIDI_LOG=${WORK}/no_such_folder/midi.log)
  run_window()
  expect_status(0)
  expect_in("${err}" "MIDI log")
  expect_in("${err}" "no_such_folder/midi.log")

elseif(CASE STREQUAL "fifo_midi_log")
  # Nothing reads from the FIFO: start-up must not wait for a reader.
  execute_process(COMMAND mkfifo ${WORK}/log.fifo)
  set(WINDOW_ENV GROOVELOOM_MIDI_LOG=${WORK}/log.fifo)
  run_window()
  expect_status(0)
  expect_in("${err}" "MIDI log")
  expect_in("${err}" "log.fifo")

elseif(CASE STREQUAL "fifo_file_argument")
  execute_process(COMMAND mkfifo ${WORK}/song.fifo)
  run_window(${WORK}/song.fifo)
  expect_status(0)
  expect_in("${err}" "${DAMAGED}")

elseif(CASE STREQUAL "huge_damaged_input")
  # 2 GB of the magic and then zeros (a sparse file): refused from its first bytes, so even under
  # a 1 GB memory limit the answer is the message, not an abort.
  file(WRITE ${WORK}/huge.gvlm "xx$#GVLM")
  execute_process(COMMAND truncate -s 2G ${WORK}/huge.gvlm)
  execute_process(COMMAND sh -c "ulimit -v 1000000 && exec '${BIN}' -o out.gvlm huge.gvlm"
                  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  expect_status(1)
  expect_in("${err}" "${DAMAGED}")
  expect_no_file(${WORK}/out.gvlm)

elseif(CASE STREQUAL "pipe_input")
  execute_process(COMMAND sh -c "cat '${SEED}' | '${BIN}' -o out.gvlm /dev/stdin"
                  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  expect_status(0)
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SEED} ${WORK}/out.gvlm RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    message(FATAL_ERROR "a tab file read from a pipe came out different")
  endif()

elseif(CASE STREQUAL "write_protected_output")
  file(WRITE ${WORK}/out.gvlm "old contents")
  file(CHMOD ${WORK}/out.gvlm PERMISSIONS OWNER_READ GROUP_READ WORLD_READ)
  file(CHMOD ${WORK} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_WRITE
       GROUP_EXECUTE WORLD_READ WORLD_WRITE WORLD_EXECUTE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=no-such-platform
                          ${AS_USER} ${BIN} -o ${WORK}/out.gvlm ${SEED}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  expect_status(1)
  expect_in("${err}" "Permission denied")
  file(READ ${WORK}/out.gvlm kept)
  if(NOT kept STREQUAL "old contents")
    message(FATAL_ERROR "a write-protected output was replaced")
  endif()

elseif(CASE STREQUAL "non_utf8_names")
  # A name of the bytes FF FE, which are no UTF-8: opened by the window, converted by -o.
  execute_process(COMMAND sh -c "name=$(printf '\\377\\376.gvlm'); cp '${SEED}' \"$name\" &&
                                 exec '${CMAKE_COMMAND}' -E env QT_QPA_PLATFORM=offscreen GROOVELOOM_EXIT_AFTER_SHOW=1 '${BIN}' \"$name\""
                  WORKING_DIRECTORY ${WORK} TIMEOUT 60 RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  expect_status(0)
  expect_not_in("${err}" "${DAMAGED}")
  expect_in("${out}" "title: Grooveloom 1.0 - [ ")
  execute_process(COMMAND sh -c "name=$(printf '\\377\\376'); '${BIN}' -o \"$name.mid\" \"$name.gvlm\" && test -s \"$name.mid\""
                  WORKING_DIRECTORY ${WORK} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  expect_status(0)

elseif(CASE STREQUAL "output_through_symlink")
  file(MAKE_DIRECTORY ${WORK}/real)
  file(WRITE ${WORK}/real/song.gvlm "old contents")
  file(CREATE_LINK real/song.gvlm ${WORK}/link.gvlm SYMBOLIC)
  run_headless(-o ${WORK}/link.gvlm ${SEED})
  expect_status(0)
  if(NOT IS_SYMLINK ${WORK}/link.gvlm)
    message(FATAL_ERROR "saving through the link replaced the link")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${SEED} ${WORK}/real/song.gvlm RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    message(FATAL_ERROR "the link's target did not get the new content")
  endif()

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
  expect_in("${err}" ".pdf")
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

elseif(CASE MATCHES "^user_session_")
  # Started as a user would: offscreen, a configuration folder of its own, the MIDI log on.
  set(config ${WORK}/config)
  set(options ${config}/grooveloom/options.xgl)
  set(keys "49\r\n50\r\n51\r\n81\r\n87\r\n82\r\n83\r\n65\r\n90\r\n84\r\n89\r\n70\r\n190\r\n188\r\n")
  set(kit "TRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\n")
  set(expected "@Custom KeyMap\r\n${keys}@Custom DrumKit\r\n${kit}@Midi Device = 0\r\n")
  file(MAKE_DIRECTORY ${config})
  if(CASE STREQUAL "user_session_stored_options")
    # The snare on P, the splash line damaged (it keeps its key), the ride hidden in lower case, a
    # heading in the wrong case (a warning box, after which the program starts all the same).
    string(REPLACE "82\r\n83\r\n" "82\r\n80\r\n" keys_p "${keys}")
    string(REPLACE "50\r\n51" "two\r\n51" keys_stored "${keys_p}")
    set(six "TRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\nTRUE\r\n")
    set(kit_stored "TRUE\r\nTRUE\r\nfalse\r\n${six}")
    file(MAKE_DIRECTORY ${config}/grooveloom)
    file(WRITE ${options} "@Custom Keymap\r\n${keys_stored}@Custom DrumKit\r\n${kit_stored}@Midi Device = 0\r\n")
    set(kit_saved "TRUE\r\nTRUE\r\nFALSE\r\n${six}")
    set(expected "@Custom KeyMap\r\n${keys_p}@Custom DrumKit\r\n${kit_saved}@Midi Device = 0\r\n")
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=${config}
                          XDG_STATE_HOME=${WORK}/state
                          GROOVELOOM_MIDI_LOG=${WORK}/midi.log
                          GROOVELOOM_SESSION_SAVE=${WORK}/song.gvlm ${BIN}
                  WORKING_DIRECTORY ${WORK} TIMEOUT 120
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  expect_status(0)
  expect_in("${out}" "options file at start: present")
  expect_in("${out}" "title: Grooveloom 1.0 - [ ${WORK}/song.gvlm ]")
  # Quitting wrote the settings back, in their exact form.
  file(READ ${options} written HEX)
  string(HEX "${expected}" expected_hex)
  if(NOT written STREQUAL expected_hex)
    file(READ ${options} text)
    message(FATAL_ERROR "options file after quitting:\n${text}\nexpected:\n${expected}")
  endif()
  if(CASE STREQUAL "user_session_stored_options")
    expect_in("${out}" "box: The file \"options.xgl\" may be corrupted.")
    # P entered a snare note (note-on 99, key 26, velocity 5E), and the song keeps the kit.
    file(READ ${WORK}/midi.log log)
    expect_in("${log}" " 005E2699")
    file(READ ${WORK}/song.gvlm song HEX)
    expect_in("${song}" "40230101000101010101014040")
  endif()
# ---- Imports: text tabs and MIDI files as inputs.
elseif(CASE STREQUAL "imports_text_tab")
  file(WRITE ${WORK}/groove.txt "A groove I like:\n\nHH|x-x-x-x-x-x-x-x-| x2\nSD|----o-------o---|\nCB|--x---x---x---x-|\nBD|o-------o-o-----|\nTempo: 96\n")
  run_headless(-o ${WORK}/groove.tab ${WORK}/groove.txt)
  expect_status(0)
  expect_in("${err}" "Line 5: the program has no row for \"CB\"; the line is left out.")
  file(READ ${WORK}/groove.tab text)
  expect_in("${text}" "   Bass: |o-------o-o-----|o-------o-o-----|")
  expect_in("${text}" "Tempo :    96")
  run_headless(-o ${WORK}/groove.gvlm ${WORK}/groove.TAB)
  expect_status(1)  # no such file: the name is case-sensitive, the extension is not
  file(RENAME ${WORK}/groove.txt ${WORK}/groove.TAB)
  run_headless(-o ${WORK}/groove.gvlm ${WORK}/groove.TAB)
  expect_status(0)

elseif(CASE STREQUAL "refuses_text_without_tab")
  file(WRITE ${WORK}/prose.txt "Nothing but words | and a bar line.\n")
  run_headless(-o ${WORK}/out.gvlm ${WORK}/prose.txt)
  expect_status(1)
  expect_in("${err}" "No drum tab found in the text.")
  expect_no_file(${WORK}/out.gvlm)
  file(WRITE ${WORK}/broken.mid "MThd")
  run_headless(-o ${WORK}/out.gvlm ${WORK}/broken.mid)
  expect_status(1)
  expect_in("${err}" "Cannot read the MIDI file")
  expect_no_file(${WORK}/out.gvlm)

elseif(CASE STREQUAL "imports_own_midi")
  run_headless(-o ${WORK}/song.mid ${SEED})
  expect_status(0)
  run_headless(-o ${WORK}/song.tab ${WORK}/song.mid)
  expect_status(0)
  file(READ ${WORK}/song.tab text)
  expect_in("${text}" "This Drum tab was made with Grooveloom 1.0")

elseif(CASE STREQUAL "midi_channel_option")
  # A format 0 file: one snare note on channel 2, then the end of the track.
  file(WRITE ${WORK}/ch2.hex "4d546864000000060000000100084d54726b000000080091264000ff2f00")
  file(READ ${WORK}/ch2.hex hex)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "\\\\x\\1" escaped "${hex}")
  execute_process(COMMAND printf "${escaped}" OUTPUT_FILE ${WORK}/ch2.mid)
  run_headless(-o ${WORK}/out.tab ${WORK}/ch2.mid)
  expect_status(1)
  expect_in("${err}" "No drum notes found on MIDI channel 10. The file has notes on channel 2.")
  run_headless(-o ${WORK}/out.tab ${WORK}/ch2.mid --channel 2)
  expect_status(0)
  file(READ ${WORK}/out.tab text)
  expect_in("${text}" "  Snare: |o---------------|")
  run_headless(-o ${WORK}/out.tab ${WORK}/ch2.mid --channel 17)
  expect_status(2)
  # Options in any order: the channel first, the input before -o, the channel given with =.
  file(REMOVE ${WORK}/out.tab)
  run_headless(--channel 2 -o ${WORK}/out.tab ${WORK}/ch2.mid)
  expect_status(0)
  file(READ ${WORK}/out.tab text)
  expect_in("${text}" "  Snare: |o---------------|")
  run_headless(${WORK}/ch2.mid --channel=2 -o ${WORK}/again.tab)
  expect_status(0)
  run_headless(--channel 2 ${WORK}/ch2.mid)
  expect_status(2)  # no -o: the window does not take the option
  expect_in("${err}" "--channel goes with -o")
  run_headless(-o ${WORK}/out.tab --frobnicate ${WORK}/ch2.mid)
  expect_status(2)
  expect_in("${err}" "unknown option --frobnicate")

elseif(CASE STREQUAL "warnings_in_locale_encoding")
  # A text tab in Windows-1252 with an instrument named "Gl\xF6ckchen": the warning names it in
  # the locale's UTF-8, and in the C locale as a look-alike.
  execute_process(COMMAND printf "HH|x-x-x-x-|\\nGl\\366ckchen|x---x---|\\n" OUTPUT_FILE ${WORK}/bells.txt)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${BIN} -o ${WORK}/out.tab ${WORK}/bells.txt
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  expect_status(0)
  expect_in("${err}" "unknown instrument \"Glöckchen\"")
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C ${BIN} -o ${WORK}/out.tab ${WORK}/bells.txt
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  expect_status(0)
  expect_in("${err}" "unknown instrument \"Gl?ckchen\"")

elseif(CASE STREQUAL "opens_import_argument")
  file(WRITE ${WORK}/groove.txt "HH|x-x-x-x-|\nCB|x---|\n")
  run_window(${WORK}/groove.txt)
  expect_status(0)
  expect_in("${err}" "Import: Line 2: the program has no row for \"CB\"; the line is left out.")
  expect_in("${out}" "title: *Grooveloom 1.0 - [ Unnamed ]")  # an import is unsaved
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
  expect_in("${out}" "title: *Grooveloom 1.0 - [ ${WORK}/song.gvlm ]")  # recovered, unsaved
  file(GLOB left ${recovery}/*)
  if(left)
    message(FATAL_ERROR "recovery copies left after a normal end: ${left}")
  endif()
  expect_no_file(${WORK}/song.gvlm)

else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
