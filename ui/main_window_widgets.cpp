#include "ui/main_window_widgets.h"

#include <QFont>
#include <QPainter>
#include <QPixmap>
#include <QValidator>

#include "ui/cp1252.h"

TempoBox::TempoBox(QWidget* parent) : QSpinBox(parent) {
  setButtonSymbols(QAbstractSpinBox::UpDownArrows);
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

QString TempoBox::RawText() const { return lineEdit()->text(); }

void TempoBox::ShowValue(int value) {
  setValue(value);
  // setValue leaves the typed text alone when the value itself does not change.
  lineEdit()->setText(textFromValue(this->value()));
}

QValidator::State TempoBox::validate(QString& input, int& pos) const {
  const QValidator::State state = QSpinBox::validate(input, pos);
  // Intermediate lets anything be typed; the window's exit handler decides.
  return state == QValidator::Acceptable ? state : QValidator::Intermediate;
}

class CommentLimitValidator : public QValidator {
 public:
  explicit CommentLimitValidator(CommentBox* box) : QValidator(box), box_(box) {}
  State validate(QString& input, int& pos) const override {
    Cp1252Validator::Strip(input, pos);
    // A text already longer than the limit (set by a command) may shrink but not grow.
    if (box_->limit_ >= 0 && input.size() > box_->limit_ && input.size() > box_->lastLength_)
      return Invalid;
    return Acceptable;
  }

 private:
  CommentBox* box_;
};

CommentBox::CommentBox(QWidget* parent) : QLineEdit(parent) {
  setValidator(new CommentLimitValidator(this));
  connect(this, &QLineEdit::textChanged, this,
          [this](const QString& text) { lastLength_ = static_cast<int>(text.size()); });
}

void CommentBox::SetTypingLimit(int limit) {
  limit_ = limit;
  lastLength_ = static_cast<int>(text().size());
}

void CommentBox::ShowText(const QString& text) {
  const bool blocked = blockSignals(true);
  setText(text);
  blockSignals(blocked);
  lastLength_ = static_cast<int>(text.size());
}

QIcon GlyphIcon(const QString& text, const QColor& color, bool bold) {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  QFont font;
  font.setPixelSize(text.size() > 1 ? 9 : 13);
  font.setBold(bold);
  painter.setFont(font);
  painter.setPen(color);
  painter.drawText(pixmap.rect(), Qt::AlignCenter, text);
  painter.end();
  return QIcon(pixmap);
}
