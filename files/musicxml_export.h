// MusicXML export: the song as one percussion part in standard drum notation (MusicXML 4.0,
// score-partwise), for notation programs. `.musicxml` is the plain score, `.mxl` the compressed
// container (a zip holding META-INF/container.xml and the score).
#pragma once

#include <cstdint>
#include <string>

#include "model/tab_document.h"

// One drum of the part: its sound, its place and look on the five-line drum staff, its voice.
struct NotationDrum {
  uint8_t Key;           // General MIDI percussion key (MusicXML's midi-unpitched is Key + 1)
  const char* Name;      // instrument name
  int Row;               // the tab row it is written in
  char Step;             // display step and octave on the staff
  int Octave;
  const char* Notehead;  // nullptr for the normal notehead
  bool Feet;             // played with the feet: voice 2, stems down
  bool OpenMark;         // an open hi-hat: "o" above
};

// The drum a tab note stands for (the sound the MIDI export gives it), or nullptr when its
// variant has no sound.
const NotationDrum* NotationDrumOf(int row, uint8_t variant);

// The whole score as UTF-8 bytes: the bars up to the last with a note in a shown row or a comment,
// notes of the document's shown rows only.
std::string MusicXmlBytes(const Osnova& doc);

// The compressed container's bytes. False with the reason in `error` (too large, no memory).
bool MusicXmlContainerBytes(const Osnova& doc, std::string& out, std::string& error);

// Written atomically; on failure false with the reason in `error` and any old file untouched.
bool ExportMusicXml(const Osnova& doc, const std::string& path, std::string& error);
bool ExportMusicXmlContainer(const Osnova& doc, const std::string& path, std::string& error);
