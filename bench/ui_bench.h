// What every window benchmark starts from: dialogs that answer at once without showing anything,
// and an offscreen application (unless a platform is asked for) around Google Benchmark.
#pragma once

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <optional>

#include "ui/dialogs.h"

class SilentDialogs : public DialogService {
 public:
  void Message(QWidget*, Icon, const QString&, const QString&) override {}
  bool Question(QWidget*, const QString&, const QString&) override { return Answer; }
  std::optional<QString> OpenFile(QWidget*, const FileDialogSpec&) override { return OpenPath; }
  std::optional<QString> SaveFile(QWidget*, const FileDialogSpec&) override { return {}; }
  bool Answer = true;
  std::optional<QString> OpenPath;
};

inline void UseOffscreenUnlessSet() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

template <class Application>
int RunBenchmarks(int argc, char** argv) {
  UseOffscreenUnlessSet();
  Application app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
