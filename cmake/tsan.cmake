# The threaded tests under ThreadSanitizer, built from the few sources they need (.ci/run):
#   cmake -S . -B build-tsan -DGROOVELOOM_TSAN=ON && cmake --build build-tsan --target playback_tsan_tests
# The playback engine with its timed outputs (a fake clock, an ALSA queue behind a fake layer), and
# the live mixer with an audio thread of the test's own.
option(GROOVELOOM_TSAN "Add the ThreadSanitizer build of the playback tests" OFF)
if(GROOVELOOM_TSAN)
  add_executable(playback_tsan_tests
    tests/midi/playback_test.cpp tests/midi/output/seq_queue_test.cpp tests/audio/live_mixer_test.cpp
    midi/playback.cpp midi/play_clock.cpp midi/frame_clock.cpp midi/timed_output.cpp midi/practice.cpp
    midi/midi_output.cpp midi/drum_map.cpp midi/output/alsa_seq_queue.cpp midi/output/fluid_synth_device.cpp
    midi/output/library_messages.cpp
    audio/live_mixer.cpp audio/note_player.cpp audio/drum_sound_bank.cpp audio/song_mixer.cpp
    model/tab_document.cpp model/bar_storage.cpp)
  target_include_directories(playback_tsan_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(playback_tsan_tests PRIVATE -fsanitize=thread -g -O1)
  target_link_options(playback_tsan_tests PRIVATE -fsanitize=thread)
  target_link_libraries(playback_tsan_tests PRIVATE GTest::gtest GTest::gtest_main Threads::Threads
                        PkgConfig::FLUIDSYNTH PkgConfig::ALSA)

  # The audio export's mixing and writing threads: the audio sources instrumented, the core they
  # read the song through as it is.
  add_executable(audio_tsan_tests tests/audio/audio_export_test.cpp ${AUDIO_SOURCES})
  target_include_directories(audio_tsan_tests PRIVATE ${CMAKE_SOURCE_DIR})
  target_compile_options(audio_tsan_tests PRIVATE -fsanitize=thread -g -O1)
  target_link_options(audio_tsan_tests PRIVATE -fsanitize=thread)
  target_link_libraries(audio_tsan_tests PRIVATE grooveloom_midiout PkgConfig::SNDFILE GTest::gtest GTest::gtest_main
                        Threads::Threads)
endif()
