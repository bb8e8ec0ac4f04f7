// The floppy drive dialog (geometry and image of each drive), shown modally.
// Closing applies exactly what changed, to the store and the drives.
#pragma once

#include <QDialog>

class TMachine;
class TSystemSettings;

class TFddSettings : public QDialog {
  Q_OBJECT

 public:
  TFddSettings(TMachine& machine, TSystemSettings& settings, QWidget* parent = nullptr);

 private:
  TMachine& machine_;
  TSystemSettings& settings_;
};
