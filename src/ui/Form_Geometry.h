// The settings store's view of a Qt window: what saving and restoring its
// geometry needs (name under "Forms", bounds, state).
//
//   TWidgetGeometry geometry(*this, "MemoryEditor");
//   settings.restoreFormState(geometry);   // FormShow
//   settings.saveFormState(geometry);      // FormClose
#pragma once

#include "System_Settings.h"

#include <string>

class QWidget;

class TWidgetGeometry : public TFormGeometry {
 public:
  TWidgetGeometry(QWidget& widget, std::string name) : widget_(widget), name_(std::move(name)) {}

  std::string formName() const override { return name_; }
  TFormBounds bounds() const override;
  TFormBounds normalBounds() const override;
  int windowState() const override;
  void applyGeometry(int state, const TFormBounds& bounds) override;

 private:
  QWidget& widget_;
  std::string name_;
};
