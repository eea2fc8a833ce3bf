// Main of the widget tests: one QApplication for every test, headless unless a platform is set.
// Settings and recovery copies go to a temporary folder, never to the real home.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "files/options_file.h"
#include "model/tab_document.h"
#include "layout/key_map.h"

namespace {

// Every test starts from the default settings and no options file, so a window one test closes
// (which saves the options) cannot change the next test's keys or kit.
class FreshOptions : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    QFile::remove(QString::fromStdString(OptionsFilePath()));
    // settings.ini too: a window one test resized or zoomed must not change the next one's view.
    QFile::remove(QString::fromStdString(OptionsFolder() + "/settings.ini"));
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The windows read and write the options file in the configuration folder: never the real one.
  QTemporaryDir config(QDir::tempPath() + "/grooveloom-ui-config-XXXXXX");
  if (!config.isValid()) return 1;
  qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  // Recovery copies likewise go to a folder of the run's own.
  QTemporaryDir state(QDir::tempPath() + "/grooveloom-ui-state-XXXXXX");
  if (!state.isValid()) return 1;
  qputenv("XDG_STATE_HOME", state.path().toLocal8Bit());
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new FreshOptions);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
