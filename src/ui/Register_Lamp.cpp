#include "Register_Lamp.h"

#include <QPainter>

TRegisterLamp::TRegisterLamp(QWidget* parent) : QWidget(parent) { setFixedSize(sizeHint()); }

void TRegisterLamp::setLit(bool lit) {
  if (lit == lit_) return;
  lit_ = lit;
  update();
}

void TRegisterLamp::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QColor(0x80, 0x80, 0x80));
  p.setBrush(lit_ ? QColor(0x00, 0x00, 0xFF) : QColor(0xFF, 0xFF, 0xFF));
  p.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
}
