// The I/O access path and the 64-port internal register file.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

uint8_t TZ180Cpu::ioRead(uint8_t high, uint8_t low) {
  waitCycles += ioWaitCycles;
  const uint8_t external = inOut.portRead(uint16_t((high << 8) | low));
  const uint8_t base = ICR & 0xC0;
  if (high == 0 && uint8_t(low - base) < 0x40) return readInternal(low & 0x3F, external);
  return external;
}

void TZ180Cpu::ioWrite(uint8_t high, uint8_t low, uint8_t value) {
  waitCycles += ioWaitCycles;
  inOut.portWrite(uint16_t((high << 8) | low), value);
  const uint8_t base = ICR & 0xC0;
  if (high == 0 && uint8_t(low - base) < 0x40) writeInternal(low & 0x3F, value);
}

uint8_t TZ180Cpu::readInternal(uint8_t, uint8_t external) { return external; }

void TZ180Cpu::writeInternal(uint8_t, uint8_t) {}

TIoSnapshot TZ180Cpu::ioSnapshot() const { return TIoSnapshot{}; }
