#include "ui/options_messages.h"

#include <QString>

#include "layout/key_map.h"
#include "midi/midi_output.h"
#include "ui/dialogs.h"

StoredOptions CurrentOptions() {
  StoredOptions options;
  options.Keys = KeyMap;
  options.Kit = GlobalKit;
  options.DeviceIndex = MidiDeviceIndex;
  return options;
}

void ApplyOptions(const StoredOptions& options) {
  KeyMap = options.Keys;
  GlobalKit = options.Kit;
  MidiDeviceIndex = options.DeviceIndex;
}

void LoadOptionsShowingMessages(DialogService& dialogs, QWidget* parent, std::mutex* settingsLock) {
  OptionsLoad load;
  {
    std::unique_lock<std::mutex> edit;
    if (settingsLock) edit = std::unique_lock<std::mutex>(*settingsLock);
    StoredOptions options = CurrentOptions();
    load = LoadOptions(options);
    ApplyOptions(options);
  }  // the boxes come after, with nothing held
  for (const std::string& warning : load.Warnings)
    dialogs.Message(parent, DialogService::Icon::Warning, "Warning", QString::fromStdString(warning));
  if (!load.Error.empty())
    dialogs.Message(parent, DialogService::Icon::Warning, "Warning",
                    QString::fromLocal8Bit(load.Error.c_str()));
}

bool SaveOptionsShowingErrors(DialogService& dialogs, QWidget* parent) {
  std::string error;
  if (SaveOptions(CurrentOptions(), error)) return true;
  dialogs.Message(parent, DialogService::Icon::Warning, "Warning", QString::fromLocal8Bit(error.c_str()));
  return false;
}
