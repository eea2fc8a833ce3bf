// Small controls of the main window that behave differently from their Qt defaults.
#pragma once

#include <QIcon>
#include <QLineEdit>
#include <QSpinBox>
#include <QString>

// A number box whose text is checked only when it is left, so any text may be typed (and then
// refused with a message); the arrows keep the box's range.
class TempoBox : public QSpinBox {
  Q_OBJECT

 public:
  explicit TempoBox(QWidget* parent = nullptr);
  // What is typed, before the box turns it back into its value.
  QString RawText() const;
  // Sets the value (kept within the range) and shows it, whatever was typed.
  void ShowValue(int value);

 protected:
  QValidator::State validate(QString& input, int& pos) const override;
};

// The comment box: typing stops at a limit (the bar's length), but a comment set by a command is
// shown in full and never cut, unlike QLineEdit's maxLength which truncates what it holds. Only
// characters of the files' code page can be typed (Cp1252Validator).
class CommentBox : public QLineEdit {
  Q_OBJECT

 public:
  explicit CommentBox(QWidget* parent = nullptr);
  // -1: no limit.
  void SetTypingLimit(int limit);
  int TypingLimit() const { return limit_; }
  // Shows a text set by a command, without textChanged (the text is already the bar's comment).
  void ShowText(const QString& text);

 private:
  friend class CommentLimitValidator;
  int limit_ = -1;
  int lastLength_ = 0;  // length of the text before the change being validated
};

// Simple drawn pictures for tool buttons that have no standard icon: a short text in a colour,
// narrowed to fit 16 x 16 whole, at 1x and 2x device pixel ratio.
QIcon GlyphIcon(const QString& text, const QColor& color, bool bold = true);

// The contrast ratio of two colours as the web's accessibility guidelines define it: 1 (the same
// luminance) to 21 (black on white).
double ContrastRatio(const QColor& a, const QColor& b);
// `wanted` where it stands out from `background` (a ratio of 3 or more, as for large text);
// otherwise `wanted` mixed towards white or black, whichever contrasts more with `background`,
// until it reaches 4.5 (as for normal text, so that antialiased edges still stand out). On the light desktops the controls were drawn for, `wanted` is kept.
QColor ReadableOn(const QColor& wanted, const QColor& background);
// `icon` as it is when its ink stands out from `background`; otherwise its shapes filled with `ink`.
QIcon ReadableIcon(const QIcon& icon, const QColor& background, const QColor& ink);

// Pixels a caption (QLabel or QCheckBox) needs for its text, a check box's indicator included.
int CaptionWidth(const QWidget* caption);
// The captions sit at fixed places laid out for an 8 pt font; the desktop's may be wider. Shrinks
// this caption's font (only) until its text fits its width with `gap` pixels to spare, so it never
// runs into its neighbour; its place stays.
void FitCaption(QWidget* caption, int gap = 2);
