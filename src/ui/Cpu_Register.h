// The view of the processor's core registers (F11). Passive: it reads the machine through the processor's
// snapshots and never changes it. Created by the main window on first use and
// destroyed when closed (Qt::WA_DeleteOnClose); the main window holds it in a
// QPointer, which empties itself then.
#pragma once

#include <QWidget>

#include <QMap>

class TMachine;
class TSystemSettings;
class TRegisterItem;
class TRegisterLamp;

class TCpuRegister : public QWidget {
  Q_OBJECT

 public:
  TCpuRegister(TMachine& machine, TSystemSettings& settings, QWidget* parent = nullptr);

  void refreshRegisters();

  // Items by key: "A", "BC", "(HL)" ... of the main set, "A'", "(HL)'" ...
  // of the alternate set, "I", "R", "IX", "IY", "SP", "(SP)", "PC", "(PC)",
  // "IM". Lamps: "S" ... "C", "S'" ... "C'", "IFF1", "IFF2".
  TRegisterItem* item(const QString& key) const { return items_.value(key); }
  TRegisterLamp* lamp(const QString& key) const { return lamps_.value(key); }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  TMachine& machine_;
  TSystemSettings& settings_;
  QMap<QString, TRegisterItem*> items_;
  QMap<QString, TRegisterLamp*> lamps_;
};
