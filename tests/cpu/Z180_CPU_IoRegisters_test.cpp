// The Z180's internal I/O register file: masks, side effects, reset values,
// relocation with ICR, sharing ports with board devices, wait cycles.
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint8_t kUnimplemented[] = {0x11, 0x12, 0x13, 0x19, 0x1A, 0x1B, 0x1C, 0x1D,
                                      0x1E, 0x1F, 0x2D, 0x35, 0x37, 0x3B, 0x3C, 0x3D};

bool isImplemented(uint8_t index) {
  for (uint8_t u : kUnimplemented)
    if (u == index) return false;
  return index < 0x40;
}

class IoRegisters : public ::testing::Test {
 protected:
  uint8_t in(uint8_t port) { return m.cpu.ioRead(0x00, port); }
  void out(uint8_t port, uint8_t value) { m.cpu.ioWrite(0x00, port, value); }

  // The stored byte of an internal register, through the view's snapshot.
  uint8_t stored(uint8_t index) const {
    const TIoSnapshot s = m.cpu.ioSnapshot();
    for (int i = 0; i < TIoSnapshot::kCount; ++i)
      if (s.index[i] == index) return s.value[i];
    ADD_FAILURE() << "index " << int(index) << " missing from the snapshot";
    return 0;
  }

  TTestMachine m;
};

// ---- Reset values and the state after construction ----

struct TResetRow {
  uint8_t index;
  uint8_t stored;  // as reset stores it
  uint8_t read;    // as an input instruction sees it
};

const std::vector<TResetRow> kResetRows = {
    {0x00, 0x08, 0x08}, {0x01, 0x08, 0x08}, {0x02, 0x07, 0x07}, {0x03, 0x07, 0x07}, {0x04, 0x02, 0x02},
    {0x05, 0x02, 0x02}, {0x06, 0x00, 0x00}, {0x07, 0x00, 0x00}, {0x08, 0x00, 0x00}, {0x09, 0x00, 0x00},
    {0x0A, 0x0F, 0x07}, {0x0B, 0x00, 0x00}, {0x0C, 0xFF, 0xFF}, {0x0D, 0xFF, 0xFF}, {0x0E, 0xFF, 0xFF},
    {0x0F, 0xFF, 0xFF}, {0x10, 0x00, 0x00}, {0x14, 0xFF, 0xFF}, {0x15, 0xFF, 0xFF}, {0x16, 0xFF, 0xFF},
    {0x17, 0xFF, 0xFF}, {0x18, 0xFF, 0xFF}, {0x20, 0x00, 0x00}, {0x21, 0x00, 0x00}, {0x22, 0x00, 0x00},
    {0x23, 0x00, 0x00}, {0x24, 0x00, 0x00}, {0x25, 0x00, 0x00}, {0x26, 0x00, 0x00}, {0x27, 0x00, 0x00},
    {0x28, 0x00, 0x00}, {0x29, 0x00, 0x00}, {0x2A, 0x00, 0x00}, {0x2B, 0x00, 0x00}, {0x2C, 0x00, 0x00},
    {0x2E, 0x00, 0x00}, {0x2F, 0x00, 0x00}, {0x30, 0x32, 0x00}, {0x31, 0xC1, 0x00}, {0x32, 0xF0, 0xF0},
    {0x33, 0x00, 0x00}, {0x34, 0x01, 0x01}, {0x36, 0xFC, 0xC0}, {0x38, 0x00, 0x00}, {0x39, 0x00, 0x00},
    {0x3A, 0xF0, 0xF0}, {0x3E, 0xFF, 0xA0}, {0x3F, 0x1F, 0x00},
};

TEST_F(IoRegisters, AfterConstructionEveryRegisterIsZero) {
  const TIoSnapshot s = m.cpu.ioSnapshot();
  int n = 0;
  for (uint8_t index = 0; index < 0x40; ++index) {
    if (!isImplemented(index)) continue;
    ASSERT_LT(n, TIoSnapshot::kCount);
    EXPECT_EQ(s.index[n], index);
    EXPECT_EQ(s.value[n], 0) << "index " << int(index);
    ++n;
  }
  EXPECT_EQ(n, TIoSnapshot::kCount);
  // Not reset yet: TDRE is clear and the block sits at 0x00.
  EXPECT_EQ(in(0x04), 0x00);
  EXPECT_EQ(in(0x3F), 0x00);
}

TEST_F(IoRegisters, ResetStoresTheResetValuesAndReadsApplyTheMasks) {
  m.cpu.reset();
  const TIoSnapshot s = m.cpu.ioSnapshot();
  ASSERT_EQ(kResetRows.size(), size_t(TIoSnapshot::kCount));
  for (size_t i = 0; i < kResetRows.size(); ++i) {
    const TResetRow& row = kResetRows[i];
    SCOPED_TRACE(testing::Message() << "index 0x" << std::hex << int(row.index));
    EXPECT_EQ(s.index[i], row.index);
    EXPECT_EQ(s.value[i], row.stored);
    EXPECT_EQ(in(row.index), row.read);
  }
}

TEST_F(IoRegisters, ResetKeepsTheDerivedValues) {
  out(0x32, 0x60);  // DCNTL: 1 memory wait, 3 I/O waits
  out(0x02, 0x00);  // CNTLB0
  out(0x00, 0x07);  // CNTLA0: 12-bit frames
  const uint32_t clocksPerBit = m.cpu.asciClocksPerBit[0];
  m.cpu.reset();
  EXPECT_EQ(in(0x32), 0xF0);
  EXPECT_EQ(m.cpu.memoryWaitCycles, 1u);
  EXPECT_EQ(m.cpu.ioWaitCycles, 3u);
  EXPECT_EQ(m.cpu.asciClocksPerBit[0], clocksPerBit);
  EXPECT_EQ(m.cpu.asciFrameBits[0], TZ180Cpu::frameBitsFor(0x07));
}

// ---- Masks: one row per write ----

struct TMaskRow {
  uint8_t index;
  uint8_t written;
  uint8_t stored;  // after the write, starting from the reset values
  uint8_t read;
};

const std::vector<TMaskRow> kMaskRows = {
    {0x00, 0x00, 0x08, 0x08},  // CNTLA0: bit 3 always reads back set
    {0x00, 0xF7, 0xFF, 0xFF},  //
    {0x01, 0x15, 0x1D, 0x1D},  // CNTLA1
    {0x02, 0xA5, 0xA5, 0xA5},  // CNTLB0
    {0x03, 0x3C, 0x3C, 0x3C},  // CNTLB1
    {0x04, 0xFF, 0x0B, 0x0B},  // STAT0: only RIE and TIE
    {0x04, 0x00, 0x02, 0x02},  //
    {0x05, 0xFF, 0x0F, 0x0F},  // STAT1: RIE, CTS1E, TIE
    {0x06, 0x5A, 0x5A, 0x5A},  // TDR0
    {0x07, 0xA5, 0xA5, 0xA5},  // TDR1
    {0x08, 0x33, 0x33, 0x33},  // RDR0
    {0x09, 0xCC, 0xCC, 0xCC},  // RDR1
    {0x0A, 0xFF, 0x7F, 0x77},  // CNTR: write 0x77, read 0xF7
    {0x0A, 0x00, 0x08, 0x00},  //
    {0x0B, 0xC3, 0xC3, 0xC3},  // TRD
    {0x0C, 0x12, 0x12, 0x12},  // TMDR0L
    {0x0D, 0x34, 0x34, 0x34},  // TMDR0H
    {0x0E, 0x56, 0x56, 0x56},  // RLDR0L
    {0x0F, 0x78, 0x78, 0x78},  // RLDR0H
    {0x10, 0xFF, 0x3F, 0x3F},  // TCR: the flags cannot be written
    {0x14, 0x9A, 0x9A, 0x9A},  // TMDR1L
    {0x15, 0xBC, 0xBC, 0xBC},  // TMDR1H
    {0x16, 0xDE, 0xDE, 0xDE},  // RLDR1L
    {0x17, 0xF0, 0xF0, 0xF0},  // RLDR1H
    {0x18, 0x00, 0xFF, 0xFF},  // FRC ignores writes
    {0x20, 0x11, 0x11, 0x11},  // SAR0L
    {0x21, 0x22, 0x22, 0x22},  // SAR0H
    {0x22, 0xFF, 0x0F, 0x0F},  // SAR0B: four bits
    {0x23, 0x44, 0x44, 0x44},  // DAR0L
    {0x24, 0x55, 0x55, 0x55},  // DAR0H
    {0x25, 0xF6, 0x06, 0x06},  // DAR0B
    {0x26, 0x77, 0x77, 0x77},  // BCR0L
    {0x27, 0x88, 0x88, 0x88},  // BCR0H
    {0x28, 0x99, 0x99, 0x99},  // MAR1L
    {0x29, 0xAA, 0xAA, 0xAA},  // MAR1H
    {0x2A, 0xEB, 0x0B, 0x0B},  // MAR1B
    {0x2B, 0xCC, 0xCC, 0xCC},  // IAR1L
    {0x2C, 0xDD, 0xDD, 0xDD},  // IAR1H
    {0x2E, 0xEE, 0xEE, 0xEE},  // BCR1L
    {0x2F, 0xFF, 0xFF, 0xFF},  // BCR1H
    {0x30, 0x00, 0x02, 0x00},  // DSTAT: bits 1-0 keep their value, DWE read as 0
    {0x30, 0xF4, 0xF7, 0xC5},  // DE0/DE1 written: DME set
    {0x30, 0x3C, 0x3E, 0x0C},  // no DE bit: DME stays as it was
    {0x31, 0xFF, 0xFF, 0x3E},  // DMODE
    {0x31, 0x00, 0xC1, 0x00},  //
    {0x32, 0x5A, 0x5A, 0x5A},  // DCNTL
    {0x33, 0xFF, 0xE0, 0xE0},  // IL
    {0x34, 0xFF, 0x87, 0x87},  // ITC: UFO cannot be written
    {0x34, 0x00, 0x00, 0x00},  //
    {0x36, 0x00, 0x3C, 0x00},  // RCR
    {0x36, 0xFF, 0xFF, 0xC3},  //
    {0x38, 0x12, 0x12, 0x12},  // CBR
    {0x39, 0x34, 0x34, 0x34},  // BBR
    {0x3A, 0x56, 0x56, 0x56},  // CBAR
    {0x3E, 0x00, 0x1F, 0x00},  // OMCR: write 0xE0, read 0xA0
    {0x3E, 0xFF, 0xFF, 0xA0},  //
    {0x3F, 0x20, 0x3F, 0x20},  // ICR (base stays 0x00)
};

TEST_F(IoRegisters, WriteAndReadMasks) {
  for (const TMaskRow& row : kMaskRows) {
    SCOPED_TRACE(testing::Message() << "index 0x" << std::hex << int(row.index) << " written 0x" << int(row.written));
    m.cpu.reset();
    m.cpu.tmdrLatched[0] = m.cpu.tmdrLatched[1] = false;  // reset keeps the latches
    out(row.index, row.written);
    EXPECT_EQ(stored(row.index), row.stored);
    EXPECT_EQ(in(row.index), row.read);
  }
}

TEST_F(IoRegisters, UnimplementedPortsGiveTheExternalValueAndIgnoreWrites) {
  m.cpu.reset();
  const TIoSnapshot before = m.cpu.ioSnapshot();
  for (uint8_t index : kUnimplemented) {
    SCOPED_TRACE(testing::Message() << "index 0x" << std::hex << int(index));
    out(index, 0x00);
    EXPECT_EQ(in(index), 0xFF);
  }
  const TIoSnapshot after = m.cpu.ioSnapshot();
  EXPECT_EQ(after.value, before.value);
}

TEST_F(IoRegisters, WideRegistersAreReachedByteByByte) {
  m.cpu.reset();
  out(0x0C, 0x12);
  out(0x0D, 0x34);
  out(0x16, 0x78);
  out(0x17, 0x56);
  out(0x2B, 0xCD);
  out(0x2C, 0xAB);
  EXPECT_EQ(m.cpu.TMDR[0], 0x3412);
  EXPECT_EQ(m.cpu.RLDR[1], 0x5678);
  EXPECT_EQ(m.cpu.IAR1, 0xABCD);

  out(0x20, 0x56);
  out(0x21, 0x34);
  out(0x22, 0xF2);
  EXPECT_EQ(m.cpu.SAR0, 0x23456u);
  out(0x24, 0x80);
  out(0x25, 0x0F);
  out(0x23, 0x01);
  EXPECT_EQ(m.cpu.DAR0, 0xF8001u);
  out(0x2A, 0x01);
  out(0x28, 0xFF);
  EXPECT_EQ(m.cpu.MAR1, 0x100FFu);
}

TEST_F(IoRegisters, ByteCountOf65536ReadsAsZeroAndAByteWriteMakesItSixteenBit) {
  m.cpu.reset();
  m.cpu.BCR0 = 0x10000;
  m.cpu.BCR1 = 0x10000;
  EXPECT_EQ(in(0x26), 0x00);
  EXPECT_EQ(in(0x27), 0x00);
  EXPECT_EQ(stored(0x2F), 0x00);
  out(0x26, 0x05);
  EXPECT_EQ(m.cpu.BCR0, 0x0005u);
  out(0x2F, 0x80);
  EXPECT_EQ(m.cpu.BCR1, 0x8000u);
}

// ---- Side effects ----

TEST_F(IoRegisters, TransmitDataWriteClearsOnlyItsChannelsTdre) {
  m.cpu.reset();
  out(0x06, 0x41);
  EXPECT_EQ(m.cpu.STAT[0], 0x00);
  EXPECT_EQ(m.cpu.STAT[1], 0x02);
  out(0x07, 0x42);
  EXPECT_EQ(m.cpu.STAT[1], 0x00);
}

TEST_F(IoRegisters, ReceiveDataReadClearsRdrfButAWriteDoesNot) {
  m.cpu.reset();
  for (int ch = 0; ch < 2; ++ch) {
    SCOPED_TRACE(ch);
    m.cpu.STAT[ch] = 0x82;
    m.cpu.RDR[ch] = 0x61;
    out(uint8_t(0x08 + ch), 0x62);
    EXPECT_EQ(m.cpu.STAT[ch], 0x82);
    EXPECT_EQ(in(uint8_t(0x08 + ch)), 0x62);
    EXPECT_EQ(m.cpu.STAT[ch], 0x02);
    EXPECT_EQ(m.cpu.STAT[1 - ch], 0x02);
  }
}

TEST_F(IoRegisters, ControlAWriteSetsFrameBitsAndClearsErrorFlagsWhenBit3IsZero) {
  m.cpu.reset();
  m.cpu.STAT[0] = 0xF2;  // RDRF, OVRN, PE, FE, TDRE
  m.cpu.STAT[1] = 0xF2;
  out(0x00, 0x07);  // bit 3 = 0: error flag reset
  EXPECT_EQ(m.cpu.STAT[0], 0x82);
  EXPECT_EQ(m.cpu.STAT[1], 0xF2);
  EXPECT_EQ(m.cpu.CNTLA[0], 0x0F);
  EXPECT_EQ(m.cpu.asciFrameBits[0], TZ180Cpu::frameBitsFor(0x07));

  out(0x01, 0x68);  // bit 3 = 1: flags stay
  EXPECT_EQ(m.cpu.STAT[1], 0xF2);
  EXPECT_EQ(m.cpu.CNTLA[1], 0x68);
  EXPECT_EQ(m.cpu.asciFrameBits[1], TZ180Cpu::frameBitsFor(0x00));
  EXPECT_NE(TZ180Cpu::frameBitsFor(0x00), TZ180Cpu::frameBitsFor(0x07));
}

TEST_F(IoRegisters, ControlBWriteRecomputesClocksPerBit) {
  m.cpu.reset();
  out(0x02, 0x00);
  out(0x03, 0x2B);
  EXPECT_EQ(m.cpu.asciClocksPerBit[0], TZ180Cpu::clocksPerBitFor(0x00));
  EXPECT_EQ(m.cpu.asciClocksPerBit[1], TZ180Cpu::clocksPerBitFor(0x2B));
  EXPECT_NE(m.cpu.asciClocksPerBit[0], m.cpu.asciClocksPerBit[1]);
}

TEST_F(IoRegisters, TimerDataLowReadLatchesTheHighByte) {
  struct TTimerPorts {
    int timer;
    uint8_t low, high, tif, otherTif;
  };
  for (const TTimerPorts& t : {TTimerPorts{0, 0x0C, 0x0D, 0x40, 0x80}, TTimerPorts{1, 0x14, 0x15, 0x80, 0x40}}) {
    SCOPED_TRACE(t.timer);
    m.cpu.reset();
    m.cpu.TMDR[t.timer] = 0x1234;
    m.cpu.TCR = 0xC3;
    EXPECT_EQ(in(t.low), 0x34);
    EXPECT_EQ(m.cpu.TCR, (0xC3 & ~t.tif));
    m.cpu.TMDR[t.timer] = 0x5678;  // the timer counts between the two reads
    EXPECT_EQ(in(t.high), 0x12);
    EXPECT_EQ(in(t.high), 0x56);  // latch used once
    // A high-byte read alone also clears the flag.
    m.cpu.TCR = 0xC3;
    EXPECT_EQ(in(t.high), 0x56);
    EXPECT_EQ(m.cpu.TCR, (0xC3 & ~t.tif));
    EXPECT_EQ(m.cpu.TCR & t.otherTif, t.otherTif);
  }
}

TEST_F(IoRegisters, TimerControlReadShowsTheFlagsOnce) {
  m.cpu.reset();
  m.cpu.TCR = 0xD1;
  EXPECT_EQ(in(0x10), 0xD1);
  EXPECT_EQ(in(0x10), 0x11);
}

TEST_F(IoRegisters, DmaStatusWriteSetsDmeWhichOnlyResetClears) {
  m.cpu.reset();
  out(0x30, 0x40);
  EXPECT_EQ(in(0x30), 0x41);
  out(0x30, 0x00);
  EXPECT_EQ(in(0x30), 0x01);
  m.cpu.reset();
  EXPECT_EQ(in(0x30), 0x00);
}

TEST_F(IoRegisters, DmaModeWriteRecomputesBurst) {
  struct TRow {
    uint8_t written;
    bool burst;
  };
  m.cpu.reset();
  for (const TRow& row : {TRow{0x02, true}, TRow{0x00, false}, TRow{0x3E, false}, TRow{0x0E, true}}) {
    out(0x31, row.written);
    EXPECT_EQ(m.cpu.dmaBurst, row.burst) << int(row.written);
  }
}

TEST_F(IoRegisters, TrapControlKeepsUfo) {
  m.cpu.reset();
  m.cpu.ITC = 0xC1;  // TRAP and UFO after an undefined opcode
  out(0x34, 0x02);
  EXPECT_EQ(m.cpu.ITC, 0x42);
  EXPECT_EQ(in(0x34), 0x42);
}

TEST_F(IoRegisters, SnapshotHasNoSideEffects) {
  m.cpu.reset();
  m.cpu.STAT[0] = 0x82;
  m.cpu.TCR = 0xC0;
  m.cpu.TMDR[0] = 0xABCD;
  m.cpu.tmdrHighLatch[0] = 0x11;
  m.cpu.tmdrLatched[0] = true;
  const TIoSnapshot first = m.cpu.ioSnapshot();
  const TIoSnapshot second = m.cpu.ioSnapshot();
  EXPECT_EQ(first.value, second.value);
  EXPECT_EQ(m.cpu.STAT[0], 0x82);
  EXPECT_EQ(m.cpu.TCR, 0xC0);
  EXPECT_TRUE(m.cpu.tmdrLatched[0]);
  EXPECT_EQ(stored(0x0D), 0xAB);  // the stored byte, not the latch
  EXPECT_EQ(stored(0x30), 0x32);  // DSTAT without the read mask
}

// ---- Access path: ports, relocation, board devices, wait cycles ----

TEST_F(IoRegisters, OnlyHighByteZeroReachesTheInternalBlock) {
  m.cpu.reset();
  EXPECT_EQ(m.cpu.ioRead(0x00, 0x04), 0x02);
  EXPECT_EQ(m.cpu.ioRead(0x01, 0x04), 0xFF);
  m.cpu.ioWrite(0x01, 0x3A, 0x00);  // not CBAR
  EXPECT_EQ(m.cpu.CBAR, 0xF0);
}

TEST_F(IoRegisters, IcrMovesTheInternalBlock) {
  struct TRow {
    uint8_t icr;
    uint8_t base;
  };
  for (const TRow& row : {TRow{0x40, 0x40}, TRow{0x80, 0x80}, TRow{0xC0, 0xC0}, TRow{0x00, 0x00}}) {
    SCOPED_TRACE(int(row.icr));
    m.cpu.reset();
    out(0x3F, row.icr);
    EXPECT_EQ(in(uint8_t(row.base + 0x04)), 0x02);     // STAT0
    EXPECT_EQ(in(uint8_t(row.base + 0x3F)), row.icr);  // ICR
    if (row.base != 0) {
      EXPECT_EQ(in(0x04), 0xFF);
      out(0x3A, 0x00);  // outside the block: CBAR untouched
      EXPECT_EQ(m.cpu.CBAR, 0xF0);
    }
    EXPECT_EQ(in(uint8_t(row.base - 1)), 0xFF);     // just below the block
    EXPECT_EQ(in(uint8_t(row.base + 0x40)), 0xFF);  // just above (0xC0 + 0x40 wraps to 0x00)
  }
}

TEST_F(IoRegisters, RelocatedBlockSharesPortsWithTheFloppyController) {
  m.cpu.reset();
  out(0x3F, 0x40);
  // Port 0x0071: FDC track register and DMODE. Both see the write.
  out(0x71, 0x0C);
  EXPECT_EQ(m.fdc.readTrackRegister(), 0x0C);
  EXPECT_EQ(m.cpu.DMODE, 0xCD);
  // A read returns the internal value.
  m.fdc.writeTrackRegister(0x55);
  EXPECT_EQ(in(0x71), 0x0C);
  // Port 0x0070: FDC status and DSTAT.
  m.cpu.DSTAT = 0xCD;
  EXPECT_EQ(in(0x70), 0xCD);
}

TEST_F(IoRegisters, IcrWriteAtPortFfAlsoSwitchesTheBootRomOff) {
  m.cpu.reset();
  out(0x3F, 0xC0);
  m.memory.enableBootRom(true);
  out(0xFF, 0xC0);  // ICR at 0xC0 + 0x3F
  EXPECT_FALSE(m.memory.getBootRomEnabled());
  EXPECT_EQ(m.cpu.ICR, 0xDF);
  EXPECT_EQ(in(0xFF), 0xC0);
}

TEST_F(IoRegisters, EveryAccessAddsTheIoWaitCycles) {
  m.cpu.ioWaitCycles = 3;
  m.cpu.waitCycles = 0;
  in(0x04);                         // internal
  m.cpu.ioRead(0x12, 0x34);         // external
  out(0x3A, 0x00);                  // internal
  m.cpu.ioWrite(0x00, 0x99, 0x00);  // external
  EXPECT_EQ(m.cpu.waitCycles, 12u);
}

TEST_F(IoRegisters, DcntlSetsTheWaitCyclesOfEveryAccess) {
  struct TRow {
    uint8_t dcntl;
    uint32_t memoryWait, ioWait;
  };
  const std::vector<TRow> rows = {
      {0x00, 0, 0}, {0x40, 1, 0}, {0x80, 2, 0}, {0xC0, 3, 0}, {0x10, 0, 2}, {0x20, 0, 3}, {0x30, 0, 4}, {0xF0, 3, 4},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(int(row.dcntl));
    TTestMachine machine;
    machine.cpu.ioWrite(0x00, 0x32, row.dcntl);
    EXPECT_EQ(machine.cpu.memoryWaitCycles, row.memoryWait);
    EXPECT_EQ(machine.cpu.ioWaitCycles, row.ioWait);
    // NOP; IN A,(0x18) with A = 0: 3 and 9 clocks plus one memory wait per
    // byte fetched and one I/O wait.
    machine.load(0x0000, {0x00, 0xDB, 0x18});
    EXPECT_EQ(machine.stepCycles(), 3 + row.memoryWait);
    EXPECT_EQ(machine.stepCycles(), 9 + 2 * row.memoryWait + row.ioWait);
  }
}

}  // namespace
