# The fuzz targets of the tab file reader and the text-tab and MIDI imports. The replay executable runs the saved corpus through the
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
add_executable(text_tab_fuzz_replay
  ${CMAKE_SOURCE_DIR}/tests/fuzz/text_tab_fuzzer.cpp ${CMAKE_SOURCE_DIR}/tests/fuzz/replay_main.cpp)
target_link_libraries(text_tab_fuzz_replay PRIVATE grooveloom_core)
add_test(NAME text_tab_fuzz_replay
  COMMAND text_tab_fuzz_replay ${CMAKE_SOURCE_DIR}/tests/fuzz/text_corpus)

if(GROOVELOOM_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "GROOVELOOM_FUZZ needs clang (CXX=clang++)")
  endif()
  # An instrumented copy of the core that only the fuzz binaries link, built once for all three.
  set(FUZZ_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=undefined
                    -fno-omit-frame-pointer)
  add_library(grooveloom_core_fuzz STATIC ${CORE_SOURCES})
  # The same headers and libraries as the core, so the copy never falls behind it.
  target_include_directories(grooveloom_core_fuzz PUBLIC
                             $<TARGET_PROPERTY:grooveloom_core,INTERFACE_INCLUDE_DIRECTORIES>)
  target_compile_options(grooveloom_core_fuzz PUBLIC ${FUZZ_SANITIZE})
  target_compile_options(grooveloom_core_fuzz PRIVATE -fsanitize=fuzzer-no-link)
  target_link_libraries(grooveloom_core_fuzz PUBLIC
                        $<TARGET_PROPERTY:grooveloom_core,INTERFACE_LINK_LIBRARIES>)
  foreach(target tab_file_fuzzer midi_file_fuzzer text_tab_fuzzer)
    add_executable(${target} ${CMAKE_SOURCE_DIR}/tests/fuzz/${target}.cpp)
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer ${FUZZ_SANITIZE})
    target_link_libraries(${target} PRIVATE grooveloom_core_fuzz)
  endforeach()
endif()
