// settings.ini beside the options file: what the 26-line options file has no room for (the
// window's size, the tab view's zoom, the size of the undo history, the practice settings).
//
// Every value is read with its default and its range: a value that is missing, not a number or out
// of range reads as the default, and only that value; the others and the rest of the file stay.
#pragma once

#include <QSettings>
#include <QString>

struct IntSetting {
  const char* Key;  // "Group/Name"
  int Default;
  int Min;
  int Max;
};

struct BoolSetting {
  const char* Key;
  bool Default;
};

namespace settings_keys {
// The main window's normal (not maximised) size, and whether it was maximised when it closed.
inline constexpr IntSetting kWindowWidth{"Window/Width", 800, 800, 16384};
inline constexpr IntSetting kWindowHeight{"Window/Height", 530, 400, 16384};
inline constexpr BoolSetting kWindowMaximized{"Window/Maximized", false};
// The tab view's zoom in per cent.
inline constexpr IntSetting kZoomPercent{"View/Zoom", 100, 50, 300};
// Undo steps kept.
inline constexpr IntSetting kHistorySteps{"History/Steps", 1000, 10, 100000};
}  // namespace settings_keys

class ExtendedSettings {
 public:
  // `path` empty: settings.ini in the options file's folder.
  explicit ExtendedSettings(const QString& path = QString());

  static QString DefaultPath();

  int Value(const IntSetting& setting) const;
  // Whether the file holds a good value (a number in range) for the setting.
  bool Has(const IntSetting& setting) const;
  bool Value(const BoolSetting& setting) const;
  // Free-form keys (the practice settings name theirs in place).
  int Int(const QString& key, int fallback, int min, int max) const;
  bool Bool(const QString& key, bool fallback) const;

  // A value outside the range is not written: the file keeps what it had.
  void Set(const IntSetting& setting, int value);
  void Set(const BoolSetting& setting, bool value);
  void SetInt(const QString& key, int value) { settings_.setValue(key, value); }
  void SetBool(const QString& key, bool value) { settings_.setValue(key, value); }

  // Writes what was set; false when the file could not be written.
  bool Sync();
  const QString& Path() const { return path_; }

 private:
  QString path_;
  QSettings settings_;
};
