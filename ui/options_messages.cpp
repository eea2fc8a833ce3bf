#include "ui/options_messages.h"

#include <QString>

#include "ui/dialogs.h"

StoredOptions CurrentOptions(const ProgramSettings& settings) {
  StoredOptions options;
  options.Keys = settings.KeyMap;
  options.Kit = settings.GlobalKit;
  options.DeviceIndex = settings.MidiDeviceIndex;
  return options;
}

void ApplyOptions(const StoredOptions& options, ProgramSettings& settings) {
  settings.KeyMap = options.Keys;
  settings.GlobalKit = options.Kit;
  settings.MidiDeviceIndex = options.DeviceIndex;
}

void LoadOptionsShowingMessages(ProgramSettings& settings, DialogService& dialogs, QWidget* parent,
                                std::mutex* settingsLock) {
  OptionsLoad load;
  {
    std::unique_lock<std::mutex> edit;
    if (settingsLock) edit = std::unique_lock<std::mutex>(*settingsLock);
    StoredOptions options = CurrentOptions(settings);
    load = LoadOptions(options);
    ApplyOptions(options, settings);
  }  // the boxes come after, with nothing held
  for (const std::string& warning : load.Warnings)
    dialogs.Message(parent, DialogService::Icon::Warning, "Warning", QString::fromStdString(warning));
  if (!load.Error.empty())
    dialogs.Message(parent, DialogService::Icon::Warning, "Warning",
                    QString::fromLocal8Bit(load.Error.c_str()));
}

bool SaveOptionsShowingErrors(const ProgramSettings& settings, DialogService& dialogs, QWidget* parent) {
  std::string error;
  if (SaveOptions(CurrentOptions(settings), error)) return true;
  dialogs.Message(parent, DialogService::Icon::Warning, "Warning", QString::fromLocal8Bit(error.c_str()));
  return false;
}
