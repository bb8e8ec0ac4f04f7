// A flag lamp of the register view: a circle, blue when lit, white when dark.
#pragma once

#include <QWidget>

class TRegisterLamp : public QWidget {
  Q_OBJECT

 public:
  explicit TRegisterLamp(QWidget* parent = nullptr);

  void setLit(bool lit);
  bool isLit() const { return lit_; }
  QSize sizeHint() const override { return {16, 16}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool lit_ = false;
};
