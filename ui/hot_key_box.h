// A hot-key box: shows one key, and takes the next key pressed in it as its new key. Shift, Ctrl
// and Alt are dropped, so it always holds a bare Windows virtual-key code (the code the key map
// stores, translated from the physical key). Tab moves on and Escape goes to the dialog.
#pragma once

#include <QLineEdit>
#include <QString>

class HotKeyBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit HotKeyBox(QWidget* parent = nullptr);

  int Key() const { return key_; }
  void SetKey(int code);  // shows the key's name

 signals:
  // The focus went to another control of the same window (not to another window).
  void Left();

 protected:
  bool event(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int key_ = 0;
};

// The name a hot-key box shows for a virtual-key code ("Q", "1", ".", "F1", "None" for 0).
QString VirtualKeyName(int code);
