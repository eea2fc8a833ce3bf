// settings.ini: damaged values read as their defaults, one by one, and writing a value keeps
// everything else in the file, damaged lines included.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "ui/extended_settings.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes);
}

TEST(ExtendedSettings, DamagedValuesFallBackOneByOneAndWritingLosesNothing) {
  QTemporaryDir dir;
  const QString path = dir.filePath("settings.ini");
  WriteAll(path,
           "[Window]\nWidth=12abc\nHeight=99999999\nMaximized=perhaps\n"
           "[View]\nZoom=150\n"
           "[Practice]\nClickVolume=\nTrainer=true\nTrainerPasses=-3\n"
           "[Other]\nKeep=me\n");
  {
    const ExtendedSettings s(path);
    EXPECT_EQ(s.Value(settings_keys::kWindowWidth), 800) << "not a number";
    EXPECT_EQ(s.Value(settings_keys::kWindowHeight), 530) << "out of range";
    EXPECT_FALSE(s.Value(settings_keys::kWindowMaximized)) << "not a boolean";
    EXPECT_EQ(s.Value(settings_keys::kZoomPercent), 150) << "good values next to bad ones stay";
    EXPECT_EQ(s.Value(settings_keys::kHistorySteps), 1000) << "missing";
    EXPECT_EQ(s.Int("Practice/ClickVolume", 80, 0, 100), 80);
    EXPECT_TRUE(s.Bool("Practice/Trainer", false));
    EXPECT_EQ(s.Int("Practice/TrainerPasses", 2, 1, 1000), 2);
  }
  {
    ExtendedSettings s(path);
    s.Set(settings_keys::kZoomPercent, 400);  // out of range: not written
    s.Set(settings_keys::kWindowHeight, 700);
    EXPECT_TRUE(s.Sync());
  }
  const QByteArray after = ReadAll(path);
  EXPECT_TRUE(after.contains("Keep=me")) << after.constData();
  EXPECT_TRUE(after.contains("Width=12abc")) << after.constData();
  EXPECT_TRUE(after.contains("Zoom=150")) << after.constData();
  const ExtendedSettings reread(path);
  EXPECT_EQ(reread.Value(settings_keys::kWindowHeight), 700);
}

TEST(ExtendedSettings, GarbageAroundAGoodValueKeepsTheValueAndTheFileStaysWritable) {
  QTemporaryDir dir;
  const QString path = dir.filePath("settings.ini");
  const char raw[] = "\x01\xff[[[broken\nno equals sign\n=\n[View]\nZoom=120\n\x00\x00junk";
  WriteAll(path, QByteArray(raw, sizeof raw - 1));
  ExtendedSettings s(path);
  EXPECT_EQ(s.Value(settings_keys::kZoomPercent), 120);
  EXPECT_EQ(s.Value(settings_keys::kWindowWidth), 800);
  s.Set(settings_keys::kWindowWidth, 1024);
  EXPECT_TRUE(s.Sync());
  const ExtendedSettings reread(path);
  EXPECT_EQ(reread.Value(settings_keys::kWindowWidth), 1024);
  EXPECT_EQ(reread.Value(settings_keys::kZoomPercent), 120);
}

TEST(ExtendedSettings, AnUnwritableFolderIsReported) {
  ExtendedSettings s("/proc/no-such-folder/settings.ini");
  s.Set(settings_keys::kZoomPercent, 120);
  EXPECT_FALSE(s.Sync());
  EXPECT_EQ(s.Value(settings_keys::kZoomPercent), 120) << "kept for this run";
}

}  // namespace
