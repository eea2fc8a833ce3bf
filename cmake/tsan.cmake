# The playback tests under ThreadSanitizer, built from the few sources they need (.ci/run):
#   cmake -S . -B build-tsan -DGROOVELOOM_TSAN=ON && cmake --build build-tsan --target playback_tsan_tests
option(GROOVELOOM_TSAN "Add the ThreadSanitizer build of the playback tests" OFF)
if(GROOVELOOM_TSAN)
  add_executable(playback_tsan_tests
    tests/midi/playback_test.cpp
    midi/playback.cpp midi/play_clock.cpp midi/midi_output.cpp midi/drum_map.cpp
    model/tab_document.cpp model/bar_storage.cpp)
  target_include_directories(playback_tsan_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(playback_tsan_tests PRIVATE -fsanitize=thread -g -O1)
  target_link_options(playback_tsan_tests PRIVATE -fsanitize=thread)
  target_link_libraries(playback_tsan_tests PRIVATE GTest::gtest GTest::gtest_main Threads::Threads)

  # The audio export's mixing and writing threads: the audio sources instrumented, the core they
  # read the song through as it is.
  add_executable(audio_tsan_tests tests/audio/audio_export_test.cpp ${AUDIO_SOURCES})
  target_include_directories(audio_tsan_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(audio_tsan_tests PRIVATE -fsanitize=thread -g -O1)
  target_link_options(audio_tsan_tests PRIVATE -fsanitize=thread)
  target_link_libraries(audio_tsan_tests PRIVATE grooveloom_midiout PkgConfig::SNDFILE GTest::gtest GTest::gtest_main
                        Threads::Threads)
endif()
