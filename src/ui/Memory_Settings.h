// The memory settings dialog (boot ROM and system RAM), shown modally. It has
// no OK or Cancel: closing applies exactly what changed, to the store and the
// machine. editor is the open memory editor, if any, refreshed after changes.
#pragma once

#include <QDialog>

class TMachine;
class TSystemSettings;
class TMemoryEditor;

class TMemorySettings : public QDialog {
  Q_OBJECT

 public:
  TMemorySettings(TMachine& machine, TSystemSettings& settings, TMemoryEditor* editor, QWidget* parent = nullptr);

 private:
  TMachine& machine_;
  TSystemSettings& settings_;
  TMemoryEditor* editor_;
};
