// The About box `TFAbout`: product, version, author, the platform this build needs, and the
// contact and web links.
#pragma once

#include <QDialog>

class QLabel;

// What this build runs on, shown under the version.
inline constexpr const char* kPlatformRequirement = "Linux with Qt 6.4 or later";

class TFAbout : public QDialog {
  Q_OBJECT

 public:
  explicit TFAbout(QWidget* parent = nullptr);

  QLabel* ProductName = nullptr;
  QLabel* Version = nullptr;
  QLabel* Copyright = nullptr;
  QLabel* Comments = nullptr;    // platform requirement
  QLabel* ContactLabel = nullptr;  // mail link
  QLabel* WebLabel = nullptr;      // web link
};
