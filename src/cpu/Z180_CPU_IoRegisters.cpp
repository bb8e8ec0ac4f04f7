// The I/O access path and the 64-port internal register file.
//
// Every access goes to the board's decoder first, whatever the port, so a
// board device sharing a port with a relocated internal block still sees it;
// on a read the internal register's value wins. The internal block answers
// only with high byte 0 and the low byte inside the 64 ports at ICR & 0xC0.
//
// Register map (index = port & 0x3F), with the read and write masks and side
// effects of the Z180:
//   00-01 CNTLA0/1  write: frame bits; MPBR/EFR = 0 clears OVRN, PE, FE;
//                   bit 3 then reads 1
//   02-03 CNTLB0/1  write: clocks per bit
//   04-05 STAT0/1   write masks 0x09 / 0x0D
//   06-07 TDR0/1    write clears TDRE
//   08-09 RDR0/1    read clears RDRF
//   0A    CNTR      read 0xF7, write 0x77
//   0B    TRD
//   0C-0F TMDR0L/H, RLDR0L/H   reading TMDR0L latches TMDR0H; both clear TIF0
//   10    TCR       read clears TIF0/TIF1 afterwards; write 0x3F
//   14-17 TMDR1L/H, RLDR1L/H   as timer 0, TIF1
//   18    FRC       read only
//   20-2F SAR0, DAR0, BCR0, MAR1, IAR1, BCR1 (bank bytes: 4 bits)
//   30    DSTAT     read 0xCD, write 0xFC; DE0/DE1 written sets DME
//   31    DMODE     0x3E; write recomputes the burst flag
//   32    DCNTL     write recomputes the wait cycles
//   33    IL 0xE0; 34 ITC read 0xC7 write 0x87; 36 RCR 0xC3
//   38-3A CBR, BBR, CBAR
//   3E    OMCR      read 0xA0, write 0xE0
//   3F    ICR       0xE0
//   11-13, 19-1F, 2D, 35, 37, 3B-3D are not implemented: reads give the
//   external bus value, writes reach only the board.
#include "Z180_CPU.h"

#include "Z180_CPU_Inline.h"

namespace {

constexpr uint16_t withLow(uint32_t word, uint8_t value) { return uint16_t((word & 0xFF00) | value); }
constexpr uint16_t withHigh(uint32_t word, uint8_t value) { return uint16_t((word & 0x00FF) | (value << 8)); }
constexpr uint32_t withByte(uint32_t address, unsigned shift, uint8_t value) {
  return (address & ~(0xFFu << shift)) | (uint32_t(value) << shift);
}
constexpr uint8_t merge(uint8_t old, uint8_t value, uint8_t mask) { return uint8_t((old & ~mask) | (value & mask)); }

constexpr uint8_t kTif[2] = {0x40, 0x80};  // TCR: TIF0, TIF1

}  // namespace

// The serial channel and timer registers (internal 0x00 to 0x18) see the
// channels and timers as of the end of the previous step: their deferred
// clocks are handed over first, and the next event is looked for afresh
// after the access, which may have changed it.
namespace {
constexpr uint8_t kLastClockedRegister = 0x18;  // FRC
}

uint8_t TZ180Cpu::ioRead(uint8_t high, uint8_t low) {
  waitCycles += ioWaitCycles;
  const uint8_t external = inOut.portRead(uint16_t((high << 8) | low));
  const uint8_t base = ICR & 0xC0;
  if (high != 0 || uint8_t(low - base) >= 0x40) return external;
  const uint8_t index = low & 0x3F;
  if (index > kLastClockedRegister) return readInternal(index, external);
  syncPeripherals();
  const uint8_t value = readInternal(index, external);
  peripheralBudget = 0;
  return value;
}

void TZ180Cpu::ioWrite(uint8_t high, uint8_t low, uint8_t value) {
  waitCycles += ioWaitCycles;
  inOut.portWrite(uint16_t((high << 8) | low), value);
  const uint8_t base = ICR & 0xC0;
  if (high != 0 || uint8_t(low - base) >= 0x40) return;
  const uint8_t index = low & 0x3F;
  if (index > kLastClockedRegister) return writeInternal(index, value);
  syncPeripherals();
  writeInternal(index, value);
  peripheralBudget = 0;
}

int TZ180Cpu::storedInternal(uint8_t index) const {
  switch (index) {
    case 0x00:
    case 0x01: return CNTLA[index & 1];
    case 0x02:
    case 0x03: return CNTLB[index & 1];
    case 0x04:
    case 0x05: return STAT[index & 1];
    case 0x06:
    case 0x07: return TDR[index & 1];
    case 0x08:
    case 0x09: return RDR[index & 1];
    case 0x0A: return CNTR;
    case 0x0B: return TRD;
    case 0x0C: return TMDR[0] & 0xFF;
    case 0x0D: return TMDR[0] >> 8;
    case 0x0E: return RLDR[0] & 0xFF;
    case 0x0F: return RLDR[0] >> 8;
    case 0x10: return TCR;
    case 0x14: return TMDR[1] & 0xFF;
    case 0x15: return TMDR[1] >> 8;
    case 0x16: return RLDR[1] & 0xFF;
    case 0x17: return RLDR[1] >> 8;
    case 0x18: return FRC;
    case 0x20: return SAR0 & 0xFF;
    case 0x21: return (SAR0 >> 8) & 0xFF;
    case 0x22: return (SAR0 >> 16) & 0x0F;
    case 0x23: return DAR0 & 0xFF;
    case 0x24: return (DAR0 >> 8) & 0xFF;
    case 0x25: return (DAR0 >> 16) & 0x0F;
    case 0x26: return BCR0 & 0xFF;
    case 0x27: return (BCR0 >> 8) & 0xFF;
    case 0x28: return MAR1 & 0xFF;
    case 0x29: return (MAR1 >> 8) & 0xFF;
    case 0x2A: return (MAR1 >> 16) & 0x0F;
    case 0x2B: return IAR1 & 0xFF;
    case 0x2C: return IAR1 >> 8;
    case 0x2E: return BCR1 & 0xFF;
    case 0x2F: return (BCR1 >> 8) & 0xFF;
    case 0x30: return DSTAT;
    case 0x31: return DMODE;
    case 0x32: return DCNTL;
    case 0x33: return IL;
    case 0x34: return ITC;
    case 0x36: return RCR;
    case 0x38: return CBR;
    case 0x39: return BBR;
    case 0x3A: return CBAR;
    case 0x3E: return OMCR;
    case 0x3F: return ICR;
    default: return -1;  // not implemented
  }
}

uint8_t TZ180Cpu::readInternal(uint8_t index, uint8_t external) {
  switch (index) {
    case 0x08:
    case 0x09: {  // RDRn: taking the byte clears RDRF
      const int ch = index & 1;
      STAT[ch] &= 0x7F;
      return RDR[ch];
    }
    case 0x0A: return CNTR & 0xF7;
    case 0x0C:
    case 0x14: {  // TMDRnL: latch the high byte for the following TMDRnH read
      const int t = index == 0x14;
      tmdrHighLatch[t] = uint8_t(TMDR[t] >> 8);
      tmdrLatched[t] = true;
      TCR &= uint8_t(~kTif[t]);
      return uint8_t(TMDR[t]);
    }
    case 0x0D:
    case 0x15: {  // TMDRnH: the latched byte once, else the live one
      const int t = index == 0x15;
      const uint8_t value = tmdrLatched[t] ? tmdrHighLatch[t] : uint8_t(TMDR[t] >> 8);
      tmdrLatched[t] = false;
      TCR &= uint8_t(~kTif[t]);
      return value;
    }
    case 0x10: {  // TCR: the flags are seen once
      const uint8_t value = TCR;
      TCR &= 0x3F;
      return value;
    }
    case 0x30: return DSTAT & 0xCD;
    case 0x31: return DMODE & 0x3E;
    case 0x33: return IL & 0xE0;
    case 0x34: return ITC & 0xC7;
    case 0x36: return RCR & 0xC3;
    case 0x3E: return OMCR & 0xA0;
    case 0x3F: return ICR & 0xE0;
    default: {
      const int stored = storedInternal(index);
      return stored < 0 ? external : uint8_t(stored);
    }
  }
}

void TZ180Cpu::writeInternal(uint8_t index, uint8_t value) {
  switch (index) {
    case 0x00:
    case 0x01: {  // CNTLAn
      const int ch = index & 1;
      asciFrameBits[ch] = frameBitsFor(value);
      if ((value & 0x08) == 0) STAT[ch] &= 0x8F;  // error flag reset: OVRN, PE, FE
      CNTLA[ch] = uint8_t(value | 0x08);
      break;
    }
    case 0x02:
    case 0x03: {  // CNTLBn
      const int ch = index & 1;
      CNTLB[ch] = value;
      asciClocksPerBit[ch] = clocksPerBitFor(value);
      break;
    }
    case 0x04: STAT[0] = merge(STAT[0], value, 0x09); break;  // RIE, TIE
    case 0x05: STAT[1] = merge(STAT[1], value, 0x0D); break;  // RIE, CTS1E, TIE
    case 0x06:
    case 0x07:  // TDRn: the data register is full now
      TDR[index & 1] = value;
      STAT[index & 1] &= 0xFD;
      break;
    case 0x08:
    case 0x09: RDR[index & 1] = value; break;
    case 0x0A: CNTR = merge(CNTR, value, 0x77); break;
    case 0x0B: TRD = value; break;
    case 0x0C: TMDR[0] = withLow(TMDR[0], value); break;
    case 0x0D: TMDR[0] = withHigh(TMDR[0], value); break;
    case 0x0E: RLDR[0] = withLow(RLDR[0], value); break;
    case 0x0F: RLDR[0] = withHigh(RLDR[0], value); break;
    case 0x10: TCR = merge(TCR, value, 0x3F); break;
    case 0x14: TMDR[1] = withLow(TMDR[1], value); break;
    case 0x15: TMDR[1] = withHigh(TMDR[1], value); break;
    case 0x16: RLDR[1] = withLow(RLDR[1], value); break;
    case 0x17: RLDR[1] = withHigh(RLDR[1], value); break;
    case 0x20: SAR0 = withByte(SAR0, 0, value); break;
    case 0x21: SAR0 = withByte(SAR0, 8, value); break;
    case 0x22: SAR0 = withByte(SAR0, 16, value & 0x0F); break;
    case 0x23: DAR0 = withByte(DAR0, 0, value); break;
    case 0x24: DAR0 = withByte(DAR0, 8, value); break;
    case 0x25: DAR0 = withByte(DAR0, 16, value & 0x0F); break;
    case 0x26: BCR0 = withLow(BCR0, value); break;  // a count of 65536 becomes 16-bit again
    case 0x27: BCR0 = withHigh(BCR0, value); break;
    case 0x28: MAR1 = withByte(MAR1, 0, value); break;
    case 0x29: MAR1 = withByte(MAR1, 8, value); break;
    case 0x2A: MAR1 = withByte(MAR1, 16, value & 0x0F); break;
    case 0x2B: IAR1 = withLow(IAR1, value); break;
    case 0x2C: IAR1 = withHigh(IAR1, value); break;
    case 0x2E: BCR1 = withLow(BCR1, value); break;
    case 0x2F: BCR1 = withHigh(BCR1, value); break;
    case 0x30:  // DSTAT: DME cannot be written, only set by enabling a channel
      DSTAT = merge(DSTAT, value, 0xFC);
      if (value & 0xC0) DSTAT |= 0x01;
      break;
    case 0x31:
      DMODE = merge(DMODE, value, 0x3E);
      dmaBurst = burstFor(DMODE);
      break;
    case 0x32:
      DCNTL = value;
      recomputeWaitCycles();
      break;
    case 0x33: IL = merge(IL, value, 0xE0); break;
    case 0x34: ITC = merge(ITC, value, 0x87); break;  // UFO is read only
    case 0x36: RCR = merge(RCR, value, 0xC3); break;
    case 0x38: CBR = value; break;
    case 0x39: BBR = value; break;
    case 0x3A: CBAR = value; break;
    case 0x3E: OMCR = merge(OMCR, value, 0xE0); break;
    case 0x3F: ICR = merge(ICR, value, 0xE0); break;
    default: break;  // FRC and the unimplemented ports
  }
}

TIoSnapshot TZ180Cpu::ioSnapshot() const {
  TIoSnapshot snapshot;
  int n = 0;
  for (uint8_t index = 0; index < 0x40 && n < TIoSnapshot::kCount; ++index) {
    const int stored = storedInternal(index);
    if (stored < 0) continue;
    snapshot.index[n] = index;
    snapshot.value[n] = uint8_t(stored);
    ++n;
  }
  return snapshot;
}
