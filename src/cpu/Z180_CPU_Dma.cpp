// The two-channel DMA controller.
//
// Service passes: one pass per step. In each step's DMA turn (after the
// instruction or idle clock, before the clocks are counted) channel 0 is
// serviced if DE0 is set, then channel 1 if DE1 is set and channel 0 is not
// in burst mode. A cycle-steal channel 0 therefore moves one byte per step;
// a burst moves the whole count in the one pass of the idle step in which it
// holds the processor. A pass is bounded by the byte count (at most 65536
// transfers), so every step ends, also while DME stays set after both
// channels have finished.
//
// Addresses are physical and bypass the MMU; they step with a 20-bit wrap. A
// transfer costs only its wait cycles, which go into the step's clockCycles.
// Channel 0 moves memory to memory on its own; every transfer with an I/O
// side, and every channel 1 transfer, waits for its DMA request line, which
// nothing on this board drives.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

namespace {

// DSTAT
constexpr uint8_t kDe1 = 0x80, kDe0 = 0x40, kDie1 = 0x08, kDie0 = 0x04;

// A memory address step for the SM/DM codes 00 (+1), 01 (-1), 10 (fixed).
constexpr uint32_t stepAddress(uint32_t address, unsigned code) {
  if (code == 0) return (address + 1) & 0xFFFFF;
  if (code == 1) return (address - 1) & 0xFFFFF;
  return address;
}

}  // namespace

void TZ180Cpu::dmaTurn() {
  if (DSTAT & kDe0) dmaService(0);
  if ((DSTAT & kDe1) && !dmaBurst) dmaService(1);
}

void TZ180Cpu::dmaService(int channel) {
  if (channel == 0)
    dmaService0();
  else
    dmaService1();
}

void TZ180Cpu::dmaService0() {
  if (BCR0 == 0) BCR0 = 0x10000;
  const unsigned dm = (DMODE >> 4) & 3, sm = (DMODE >> 2) & 3;
  const uint32_t transfers = dmaBurst ? BCR0 : 1;

  if (sm == 3 && dm <= 1) {
    // I/O port (SAR0 bits 15-0) to memory. Without a request the transfer
    // waits; a burst stops at the first missing request.
    for (uint32_t i = 0; i < transfers && inOut.dreq0(); ++i) {
      if (BCR0 == 1) inOut.tend0();
      const uint8_t value = ioRead(uint8_t(SAR0 >> 8), uint8_t(SAR0));
      memory.writeByte(DAR0, value);
      DAR0 = stepAddress(DAR0, dm);
      clockCycles += memoryWaitCycles + ioWaitCycles;
      --BCR0;
    }
  } else if (dm == 3 && sm <= 1) {
    // Memory to I/O port (DAR0 bits 15-0), likewise on request only.
    for (uint32_t i = 0; i < transfers && inOut.dreq0(); ++i) {
      if (BCR0 == 1) inOut.tend0();
      ioWrite(uint8_t(DAR0 >> 8), uint8_t(DAR0), memory.readByte(SAR0));
      SAR0 = stepAddress(SAR0, sm);
      clockCycles += memoryWaitCycles + ioWaitCycles;
      --BCR0;
    }
  } else if (dm <= 1 || sm <= 1) {
    // Memory to memory: every destination +1/-1 with a memory source, and a
    // fixed destination with a stepping source.
    for (uint32_t i = 0; i < transfers; ++i) {
      if (BCR0 == 1) inOut.tend0();
      memory.writeByte(DAR0, memory.readByte(SAR0));
      DAR0 = stepAddress(DAR0, dm);
      SAR0 = stepAddress(SAR0, sm);
      clockCycles += 2 * memoryWaitCycles;
      --BCR0;
    }
  }
  // The reserved combinations (fixed destination or I/O destination with a
  // fixed or I/O source) transfer nothing.

  if (BCR0 == 0) {
    DSTAT &= uint8_t(~kDe0);
    if (DSTAT & kDie0) dma0Request = true;
  }
}

void TZ180Cpu::dmaService1() {
  if (!inOut.dreq1()) return;
  if (BCR1 == 0) BCR1 = 0x10000;
  if (BCR1 == 1) inOut.tend1();
  // DCNTL bits 1-0 (DIM1-0): memory to I/O with MAR1 +1 / -1, I/O to memory
  // with MAR1 +1 / -1. The port is IAR1H:IAR1L.
  const unsigned dim = DCNTL & 3;
  const uint8_t high = uint8_t(IAR1 >> 8), low = uint8_t(IAR1);
  if (dim <= 1)
    ioWrite(high, low, memory.readByte(MAR1));
  else
    memory.writeByte(MAR1, ioRead(high, low));
  MAR1 = stepAddress(MAR1, dim & 1);
  clockCycles += memoryWaitCycles + ioWaitCycles;
  if (--BCR1 == 0) {
    DSTAT &= uint8_t(~kDe1);
    if (DSTAT & kDie1) dma1Request = true;
  }
}
