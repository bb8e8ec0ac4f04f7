// The view of the processor's 48 internal I/O registers (F12). Passive: it reads the machine through the processor's
// snapshots and never changes it. Created by the main window on first use and
// destroyed when closed (Qt::WA_DeleteOnClose); the main window holds it in a
// QPointer, which empties itself then.
#pragma once

#include <QWidget>

#include <array>

class TMachine;
class TSystemSettings;
class TRegisterItem;

class TCpuIoRegister : public QWidget {
  Q_OBJECT

 public:
  TCpuIoRegister(TMachine& machine, TSystemSettings& settings, QWidget* parent = nullptr);

  void refreshIoRegisters();

  // The item showing the register at this internal address (nullptr for an
  // address without a register).
  TRegisterItem* item(int internalAddress) const { return items_[size_t(internalAddress & 0x3F)]; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  TMachine& machine_;
  TSystemSettings& settings_;
  std::array<TRegisterItem*, 64> items_{};
};
