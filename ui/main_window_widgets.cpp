#include "ui/main_window_widgets.h"

#include <algorithm>
#include <cmath>

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

namespace {

double Luminance(const QColor& color) {
  auto channel = [](double c) {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) +
         0.0722 * channel(color.blueF());
}

constexpr double kReadableRatio = 3.0;
// A colour that has to change goes a little further, so that its antialiased edges still make it.
constexpr double kChangedRatio = 4.5;

// The average colour of the pixels an icon paints (alpha-weighted), at 16 px.
QColor InkOf(const QIcon& icon) {
  const QImage image = icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
  double r = 0, g = 0, b = 0, weight = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      r += c.redF() * c.alphaF();
      g += c.greenF() * c.alphaF();
      b += c.blueF() * c.alphaF();
      weight += c.alphaF();
    }
  if (weight == 0) return {};
  return QColor::fromRgbF(static_cast<float>(r / weight), static_cast<float>(g / weight),
                          static_cast<float>(b / weight));
}

}  // namespace

double ContrastRatio(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ReadableOn(const QColor& wanted, const QColor& background) {
  if (ContrastRatio(wanted, background) >= kReadableRatio) return wanted;
  const bool lighten = ContrastRatio(Qt::white, background) >= ContrastRatio(Qt::black, background);
  const QColor target = lighten ? Qt::white : Qt::black;
  QColor mixed = wanted;
  for (int step = 1; step <= 20 && ContrastRatio(mixed, background) < kChangedRatio; ++step) {
    const float t = static_cast<float>(step) / 20.0f;
    mixed = QColor::fromRgbF(wanted.redF() + (target.redF() - wanted.redF()) * t,
                             wanted.greenF() + (target.greenF() - wanted.greenF()) * t,
                             wanted.blueF() + (target.blueF() - wanted.blueF()) * t);
  }
  return mixed;
}

QIcon ReadableIcon(const QIcon& icon, const QColor& background, const QColor& ink) {
  const QColor current = InkOf(icon);
  if (!current.isValid() || ContrastRatio(current, background) >= kReadableRatio) return icon;
  QIcon tinted;
  for (int ratio : {1, 2}) {
    QPixmap pixmap = icon.pixmap(QSize(16, 16), ratio);
    QPainter painter(&pixmap);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(QRect(QPoint(0, 0), pixmap.size()), ReadableOn(ink, background));
    painter.end();
    tinted.addPixmap(pixmap);
  }
  return tinted;
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
