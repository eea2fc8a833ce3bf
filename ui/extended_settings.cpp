#include "ui/extended_settings.h"

#include <QByteArray>
#include <QVariant>

#include "files/options_file.h"
#include "ui/local_path.h"

namespace {

// QVariant's own conversions take "12abc" as 0 and any text as true; here only a clean number or
// a clean boolean counts, anything else is damage.
bool ReadInt(const QVariant& value, int& out) {
  bool ok = false;
  const int number = value.toString().trimmed().toInt(&ok);
  if (ok) out = number;
  return ok;
}

bool ReadBool(const QVariant& value, bool& out) {
  const QString text = value.toString().trimmed().toLower();
  if (text == QLatin1String("true") || text == QLatin1String("1")) {
    out = true;
    return true;
  }
  if (text == QLatin1String("false") || text == QLatin1String("0")) {
    out = false;
    return true;
  }
  return false;
}

}  // namespace

QString ExtendedSettings::DefaultPath() {
  return PathFromLocalBytes(QByteArray::fromStdString(OptionsFolder() + "/settings.ini"));
}

ExtendedSettings::ExtendedSettings(const QString& path)
    : path_(path.isEmpty() ? DefaultPath() : path), settings_(path_, QSettings::IniFormat) {}

int ExtendedSettings::Int(const QString& key, int fallback, int min, int max) const {
  int value = fallback;
  if (!settings_.contains(key) || !ReadInt(settings_.value(key), value)) return fallback;
  return value < min || value > max ? fallback : value;
}

bool ExtendedSettings::Bool(const QString& key, bool fallback) const {
  bool value = fallback;
  if (!settings_.contains(key) || !ReadBool(settings_.value(key), value)) return fallback;
  return value;
}

int ExtendedSettings::Value(const IntSetting& setting) const {
  return Int(QString::fromLatin1(setting.Key), setting.Default, setting.Min, setting.Max);
}

bool ExtendedSettings::Has(const IntSetting& setting) const {
  const QString key = QString::fromLatin1(setting.Key);
  int value = 0;
  return settings_.contains(key) && ReadInt(settings_.value(key), value) && value >= setting.Min &&
         value <= setting.Max;
}

bool ExtendedSettings::Value(const BoolSetting& setting) const {
  return Bool(QString::fromLatin1(setting.Key), setting.Default);
}

void ExtendedSettings::Set(const IntSetting& setting, int value) {
  if (value < setting.Min || value > setting.Max) return;
  settings_.setValue(QString::fromLatin1(setting.Key), value);
}

void ExtendedSettings::Set(const BoolSetting& setting, bool value) {
  settings_.setValue(QString::fromLatin1(setting.Key), value);
}

bool ExtendedSettings::Sync() {
  settings_.sync();
  // A format error is the damage read from the file, which the write has just replaced.
  return settings_.status() != QSettings::AccessError;
}
