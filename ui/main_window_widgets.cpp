#include "ui/main_window_widgets.h"

#include <algorithm>

#include <QCheckBox>
#include <QFont>
#include <QLabel>
#include <QStyle>
#include <QPainter>
#include <QPainterPath>
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

namespace {

// The text's ink scaled down (never up) to fit a 16 x 16 icon with a pixel to spare on each side,
// centred, at `ratio` device pixels per icon pixel.
QPixmap GlyphPixmap(const QString& text, const QColor& color, bool bold, int ratio) {
  const int side = 16 * ratio;
  QPixmap pixmap(side, side);
  pixmap.fill(Qt::transparent);
  QFont font;
  font.setPixelSize((text.size() > 1 ? 9 : 13) * ratio);
  font.setBold(bold);
  QPainterPath path;
  path.addText(0, 0, font, text);
  const QRectF ink = path.boundingRect();
  const qreal room = side - 2.0 * ratio;
  const qreal scale = std::min({1.0, room / ink.width(), room / ink.height()});
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(side / 2.0, side / 2.0);
  painter.scale(scale, scale);
  painter.translate(-ink.center());
  painter.fillPath(path, color);
  painter.end();
  pixmap.setDevicePixelRatio(ratio);
  return pixmap;
}

}  // namespace

QIcon GlyphIcon(const QString& text, const QColor& color, bool bold) {
  QIcon icon;
  icon.addPixmap(GlyphPixmap(text, color, bold, 1));
  icon.addPixmap(GlyphPixmap(text, color, bold, 2));
  return icon;
}

int CaptionWidth(const QWidget* caption) {
  if (const auto* box = qobject_cast<const QCheckBox*>(caption)) {
    const QStyle* style = box->style();
    return style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box) +
           style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box) +
           box->fontMetrics().horizontalAdvance(box->text());
  }
  if (const auto* label = qobject_cast<const QLabel*>(caption))
    return label->fontMetrics().horizontalAdvance(label->text()) + 2 * label->margin();
  return 0;
}

void FitCaption(QWidget* caption, int gap) {
  QFont font = caption->font();
  qreal size = font.pointSizeF();
  while (CaptionWidth(caption) > caption->width() - gap && size > 5.0) {
    size -= 0.25;
    font.setPointSizeF(size);
    caption->setFont(font);
  }
}
