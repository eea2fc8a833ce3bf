# The fuzz targets of the tab file reader and the MIDI import. The replay executable runs the saved corpus through the
# same entry point with any compiler, as an ordinary test; the libFuzzer binary itself needs
# clang and is built only with GROOVELOOM_FUZZ (see .ci/fuzz).
option(GROOVELOOM_FUZZ "Build the libFuzzer targets for the file readers (clang only)" OFF)

add_executable(tab_file_fuzz_replay
  ${CMAKE_SOURCE_DIR}/tests/fuzz/tab_file_fuzzer.cpp ${CMAKE_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
target_link_libraries(tab_file_fuzz_replay PRIVATE grooveloom_core)
add_test(NAME tab_file_fuzz_replay
  COMMAND tab_file_fuzz_replay ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus)

add_executable(midi_file_fuzz_replay
  ${CMAKE_SOURCE_DIR}/tests/fuzz/midi_file_fuzzer.cpp ${CMAKE_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
target_link_libraries(midi_file_fuzz_replay PRIVATE grooveloom_core)
add_test(NAME midi_file_fuzz_replay
  COMMAND midi_file_fuzz_replay ${CMAKE_SOURCE_DIR}/tests/fuzz/midi_corpus)

if(GROOVELOOM_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "GROOVELOOM_FUZZ needs clang (CXX=clang++)")
  endif()
  # Its own copy of the core, so that only the fuzz binary carries the fuzzer's instrumentation.
  set(FUZZ_FLAGS -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined
                 -fno-omit-frame-pointer)
  add_executable(tab_file_fuzzer ${CMAKE_SOURCE_DIR}/tests/fuzz/tab_file_fuzzer.cpp ${CORE_SOURCES})
  target_include_directories(tab_file_fuzzer PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(tab_file_fuzzer PRIVATE ${FUZZ_FLAGS})
  target_link_options(tab_file_fuzzer PRIVATE ${FUZZ_FLAGS})
  target_link_libraries(tab_file_fuzzer PRIVATE Threads::Threads)
  add_executable(midi_file_fuzzer ${CMAKE_SOURCE_DIR}/tests/fuzz/midi_file_fuzzer.cpp ${CORE_SOURCES})
  target_include_directories(midi_file_fuzzer PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(midi_file_fuzzer PRIVATE ${FUZZ_FLAGS})
  target_link_options(midi_file_fuzzer PRIVATE ${FUZZ_FLAGS})
  target_link_libraries(midi_file_fuzzer PRIVATE Threads::Threads)
endif()
