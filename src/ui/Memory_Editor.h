// The memory editor (F10): the board's physical RAM as a hex dump, 16 bytes a
// row, with single-byte editing. Created by the main window on first use and
// destroyed when closed (Qt::WA_DeleteOnClose); the main window holds it in a
// QPointer, which empties itself then.
#pragma once

#include <QWidget>

class TMachine;
class TSystemSettings;

class TMemoryEditor : public QWidget {
  Q_OBJECT

 public:
  TMemoryEditor(TMachine& machine, TSystemSettings& settings, QWidget* parent = nullptr);

  // Takes the program counter's physical address, scrolls to it, repaints.
  void refreshMemory();
  // Row count from the RAM size, status texts.
  void refreshMemoryLayout();

 private:
  TMachine& machine_;
  TSystemSettings& settings_;
};
