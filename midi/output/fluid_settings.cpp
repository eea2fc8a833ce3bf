#include "midi/output/fluid_settings.h"

#include "midi/output/library_messages.h"

fluid_settings_t* NewFluidSettings(int sampleRate, std::string& error) {
  CaptureLibraryMessages();
  fluid_settings_t* settings = new_fluid_settings();
  if (!settings) {
    error = "Cannot create the synthesizer settings";
    return nullptr;
  }
  fluid_settings_setnum(settings, "synth.sample-rate", sampleRate);
  return settings;
}
