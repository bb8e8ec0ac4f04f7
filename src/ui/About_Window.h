// The about box, shown modally from the Help menu.
#pragma once

#include <QDialog>

class TSystemSettings;

class TAboutWindow : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutWindow(TSystemSettings& settings, QWidget* parent = nullptr);

 private:
  TSystemSettings& settings_;
};
