// The view of the processor's core registers (F11). Passive: it reads the machine through the processor's
// snapshots and never changes it. Created by the main window on first use and
// destroyed when closed (Qt::WA_DeleteOnClose); the main window holds it in a
// QPointer, which empties itself then.
#pragma once

#include <QWidget>

class TMachine;
class TSystemSettings;

class TCpuRegister : public QWidget {
  Q_OBJECT

 public:
  TCpuRegister(TMachine& machine, TSystemSettings& settings, QWidget* parent = nullptr);

  void refreshRegisters();

 private:
  TMachine& machine_;
  TSystemSettings& settings_;
};
