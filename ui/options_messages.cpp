#include "ui/options_messages.h"

#include <QString>

#include "files/options_file.h"
#include "ui/dialogs.h"

void LoadOptionsShowingMessages(DialogService& dialogs, QWidget* parent, std::mutex* settingsLock) {
  OptionsLoad load;
  {
    std::unique_lock<std::mutex> edit;
    if (settingsLock) edit = std::unique_lock<std::mutex>(*settingsLock);
    load = LoadOptions();
  }  // the boxes come after, with nothing held
  for (const std::string& warning : load.Warnings)
    dialogs.Message(parent, DialogService::Icon::Warning, "Warning", QString::fromStdString(warning));
  if (!load.Error.empty())
    dialogs.Message(parent, DialogService::Icon::Warning, "Warning",
                    QString::fromLocal8Bit(load.Error.c_str()));
}

bool SaveOptionsShowingErrors(DialogService& dialogs, QWidget* parent) {
  std::string error;
  if (SaveOptions(error)) return true;
  dialogs.Message(parent, DialogService::Icon::Warning, "Warning", QString::fromLocal8Bit(error.c_str()));
  return false;
}
