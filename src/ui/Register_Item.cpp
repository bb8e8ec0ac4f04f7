#include "Register_Item.h"

#include <QPainter>
#include <QVBoxLayout>

namespace {
const QColor kOutline(0x80, 0x80, 0x80);
const QColor kCream(0xFF, 0xFB, 0xF0);

class TValueBox : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void paintEvent(QPaintEvent* event) override {
    paintRoundedPanel(*this, kCream);
    QLabel::paintEvent(event);
  }
};
}  // namespace

void paintRoundedPanel(QWidget& widget, const QColor& fill) {
  QPainter p(&widget);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(kOutline);
  p.setBrush(fill);
  p.drawRoundedRect(QRectF(widget.rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}

TRegisterItem::TRegisterItem(const QString& caption, int digits, QWidget* parent) : QWidget(parent), digits_(digits) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 2, 4, 4);
  layout->setSpacing(2);
  caption_ = new QLabel(caption, this);
  caption_->setAlignment(Qt::AlignCenter);
  caption_->setTextFormat(Qt::PlainText);
  value_ = new TValueBox(QString(digits, QLatin1Char('F')), this);
  value_->setAlignment(Qt::AlignCenter);
  value_->setMinimumWidth(value_->fontMetrics().horizontalAdvance(QStringLiteral("FFFF")) + 12);
  value_->setMinimumHeight(value_->fontMetrics().height() + 4);
  layout->addWidget(caption_);
  layout->addWidget(value_);
}

void TRegisterItem::setValue(unsigned value) {
  value_->setText(QStringLiteral("%1").arg(value, digits_, 16, QLatin1Char('0')).toUpper());
}

void TRegisterItem::paintEvent(QPaintEvent*) { paintRoundedPanel(*this, palette().color(backgroundRole())); }
