#include "midi/output/library_messages.h"

#include <dlfcn.h>
#include <fluidsynth.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>

namespace {

constexpr std::size_t kKeptMessages = 64;

std::mutex gLock;
std::deque<std::string> gMessages;
std::size_t gNoted = 0;  // every message ever noted, kept or not

void FluidLog(int level, const char* message, void*) {
  if (level == FLUID_DBG || !message) return;
  static const char* const kLevels[] = {"panic", "error", "warning", "info", "debug"};
  const char* name = level >= 0 && level < 5 ? kLevels[level] : "?";
  NoteLibraryMessage(std::string("fluidsynth ") + name + ": " + message);
}

void AlsaError(const char* file, int line, const char* function, int, const char* fmt, ...) {
  char text[512];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(text, sizeof text, fmt ? fmt : "", args);
  va_end(args);
  char where[256];
  std::snprintf(where, sizeof where, "ALSA %s:%d (%s): ", file ? file : "?", line, function ? function : "?");
  NoteLibraryMessage(std::string(where) + text);
}

using AlsaHandler = void (*)(const char*, int, const char*, int, const char*, ...);
using AlsaSetHandler = int (*)(AlsaHandler);

}  // namespace

void CaptureLibraryMessages() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) fluid_set_log_function(level, FluidLog, nullptr);
    // libasound is already in the process (RtMidi and FluidSynth link it), but only indirectly, so
    // the setter is looked up at run time rather than linked.
    if (void* symbol = dlsym(RTLD_DEFAULT, "snd_lib_error_set_handler")) {
      auto set = reinterpret_cast<AlsaSetHandler>(symbol);
      set(AlsaError);
    }
  });
}

void NoteLibraryMessage(std::string message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  std::lock_guard<std::mutex> guard(gLock);
  gMessages.push_back(std::move(message));
  ++gNoted;
  if (gMessages.size() > kKeptMessages) gMessages.pop_front();
}

std::vector<std::string> RecentLibraryMessages() {
  std::lock_guard<std::mutex> guard(gLock);
  return {gMessages.begin(), gMessages.end()};
}

std::size_t LibraryMessageCount() {
  std::lock_guard<std::mutex> guard(gLock);
  return gNoted;
}

std::vector<std::string> LibraryMessagesSince(std::size_t count) {
  std::lock_guard<std::mutex> guard(gLock);
  const std::size_t since = gNoted > count ? gNoted - count : 0;
  const std::size_t kept = std::min(since, gMessages.size());
  return {gMessages.end() - static_cast<std::ptrdiff_t>(kept), gMessages.end()};
}
