// The board's WD1770-style floppy disk controller with two image-backed drives.
// (Interface outline; the controller lives in System_Fdc*.cpp.)
#pragma once

#include "Timer.h"

#include <cstdint>

class TSystemFdc {
 public:
  explicit TSystemFdc(TTimerFactory& timers);
  ~TSystemFdc();
  TSystemFdc(const TSystemFdc&) = delete;
  TSystemFdc& operator=(const TSystemFdc&) = delete;

  uint8_t readStatus();
  void writeCommand(uint8_t command);
  uint8_t readTrackRegister() const { return track; }
  void writeTrackRegister(uint8_t value) { track = value; }
  uint8_t readSectorRegister() const { return sector; }
  void writeSectorRegister(uint8_t value) { sector = value; }
  uint8_t readData();
  void writeData(uint8_t value);
  uint8_t readSignals();
  void writeDriveControl(uint8_t value);

 private:
  uint8_t track = 0;
  uint8_t sector = 1;
};
