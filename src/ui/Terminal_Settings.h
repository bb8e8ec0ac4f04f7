// The terminal settings dialog, shown modally. Closing writes what changed to
// the store; changedSettings() tells the main window which options to apply:
// 1 CR/LF, 2 local echo, 4 logging.
#pragma once

#include <QDialog>

class TSystemSettings;

class TTerminalSettings : public QDialog {
  Q_OBJECT

 public:
  explicit TTerminalSettings(TSystemSettings& settings, QWidget* parent = nullptr);

  int changedSettings() const { return changedSettings_; }

 private:
  TSystemSettings& settings_;
  int changedSettings_ = 0;
};
