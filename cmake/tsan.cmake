# The whole program and every test under ThreadSanitizer (.ci/run):
#   cmake -S . -B build-tsan -DGROOVELOOM_TSAN=ON -DGROOVELOOM_BENCH=OFF && cmake --build build-tsan
#   TSAN_OPTIONS="halt_on_error=1 suppressions=$PWD/tests/tsan_suppressions.txt" ctest --test-dir build-tsan
# Every test that starts a thread (playback in the engine, the window and the options dialog, the
# live mixer's audio thread, the audio export, the recovery writer, the soundfont loader) then runs
# instrumented, with no list of files to keep up to date. Included before the targets are defined.
option(GROOVELOOM_TSAN "Build everything with ThreadSanitizer" OFF)
if(GROOVELOOM_TSAN)
  if(GROOVELOOM_SANITIZE)
    message(FATAL_ERROR "GROOVELOOM_TSAN and GROOVELOOM_SANITIZE exclude each other")
  endif()
  add_compile_options(-fsanitize=thread -g -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()
