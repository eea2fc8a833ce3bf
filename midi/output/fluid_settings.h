// The settings every FluidSynth synthesizer of the program starts from, live or rendering.
#pragma once

#include <fluidsynth.h>

#include <string>

// Captures the library's messages and makes settings at `sampleRate`; the caller adds its own and
// deletes them. Null, with `error` set, when FluidSynth cannot make them.
fluid_settings_t* NewFluidSettings(int sampleRate, std::string& error);
