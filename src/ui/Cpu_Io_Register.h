// The view of the processor's 48 internal I/O registers (F12). Passive: it reads the machine through the processor's
// snapshots and never changes it. Created by the main window on first use and
// destroyed when closed (Qt::WA_DeleteOnClose); the main window holds it in a
// QPointer, which empties itself then.
#pragma once

#include <QWidget>

class TMachine;
class TSystemSettings;

class TCpuIoRegister : public QWidget {
  Q_OBJECT

 public:
  TCpuIoRegister(TMachine& machine, TSystemSettings& settings, QWidget* parent = nullptr);

  void refreshIoRegisters();

 private:
  TMachine& machine_;
  TSystemSettings& settings_;
};
