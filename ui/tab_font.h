// The face of the tab, alike in the view and on the printed page.
#pragma once

#include <QFont>

// DejaVu Sans Mono (fonts-dejavu-core) is a monospaced face every Debian desktop has, so the letters
// sit in their columns whatever else is installed. Size, smoothing and hinting are the caller's.
inline QFont TabFont(bool bold, const char* family = "DejaVu Sans Mono", bool fixedPitch = true) {
  QFont font{QString::fromLatin1(family)};
  if (fixedPitch) {
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
  }
  font.setBold(bold);
  return font;
}
