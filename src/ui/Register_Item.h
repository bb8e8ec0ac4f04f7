// One captioned value of the register views: a small panel with a grey
// rounded outline, the caption on top and a cream value box below it.
#pragma once

#include <QLabel>
#include <QWidget>

class TRegisterItem : public QWidget {
  Q_OBJECT

 public:
  // digits: 2 or 4; the box shows "FF" or "FFFF" until the first refresh.
  TRegisterItem(const QString& caption, int digits, QWidget* parent = nullptr);

  void setValue(unsigned value);
  QString valueText() const { return value_->text(); }
  QString caption() const { return caption_->text(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int digits_;
  QLabel* caption_;
  QLabel* value_;
};

// Draws the grey rounded outline (radius 4) over rect, filled with fill.
void paintRoundedPanel(QWidget& widget, const QColor& fill);
