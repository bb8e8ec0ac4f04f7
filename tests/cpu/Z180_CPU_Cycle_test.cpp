// The instruction cycle: step, halt and sleep states, interrupt acceptance
// and priorities, reset, and the MMU's address translation.
#include "Test_Machine.h"

#include <gtest/gtest.h>

namespace {

// A machine with IFF1 set, a stack at 0x8000 and I = 0x40, so vectors sit
// at logical 0x40xx; every vector points to its own handler address.
struct InterruptMachine : TTestMachine {
  InterruptMachine() {
    cpu.SP = 0x8000;
    cpu.I = 0x40;
    for (uint8_t v : {0x04, 0x06, 0x08, 0x0A, 0x0E, 0x10}) load(0x4000u + v, {uint8_t(v), 0x50});  // -> 0x50vv
  }
  uint16_t pushed() const { return uint16_t(peek(cpu.SP) | (peek(uint16_t(cpu.SP + 1)) << 8)); }
};

}  // namespace

TEST(Z180Cycle, StepZeroChangesNothing) {
  TTestMachine m;
  m.cpu.PC = 0x1234;
  m.cpu.FRC = 0x77;
  m.cpu.prt0Request = true;
  m.cpu.IFF1 = true;
  m.cpu.step(0);
  EXPECT_EQ(m.cpu.PC, 0x1234);
  EXPECT_EQ(m.cpu.FRC, 0x77);
  EXPECT_TRUE(m.cpu.prt0Request);
  EXPECT_EQ(m.cpu.R, 0);
}

TEST(Z180Cycle, ConstructedStateIsAllZeroUntilReset) {
  TTestMachine m;
  EXPECT_EQ(m.cpu.PC, 0);
  EXPECT_EQ(m.cpu.STAT[0], 0);  // TDRE clear before the first reset
  EXPECT_EQ(m.cpu.ICR, 0);
  EXPECT_EQ(m.cpu.CBAR, 0);
  EXPECT_EQ(m.cpu.DCNTL, 0);
  EXPECT_TRUE(m.cpu.asciTsrEmpty[0]);
  EXPECT_TRUE(m.cpu.asciTsrEmpty[1]);
  for (uint32_t a : {0x0000u, 0x1234u, 0xFFFFu}) EXPECT_EQ(m.cpu.translateAddress(uint16_t(a)), a);
}

TEST(Z180Cycle, ResetStoresResetValuesAndKeepsWhatItShould) {
  TTestMachine m;
  m.cpu.AF.w = 0x1111;
  m.cpu.BC.w = 0x2222;
  m.cpu.IX = 0x3333;
  m.cpu.HL_.w = 0x4444;
  m.cpu.PC = 0x5555;
  m.cpu.SP = 0x6666;
  m.cpu.I = 0x77;
  m.cpu.R = 0x12;
  m.cpu.IFF1 = m.cpu.IFF2 = true;
  m.cpu.interruptMode = 2;
  m.cpu.halted = m.cpu.haltRequest = true;
  m.cpu.asci1Request = m.cpu.prt0Request = true;
  m.cpu.DCNTL = 0x40;
  m.cpu.recomputeWaitCycles();
  m.cpu.prtPrescaler = 7;
  m.cpu.reset();

  EXPECT_EQ(m.cpu.PC, 0);
  EXPECT_EQ(m.cpu.SP, 0);
  EXPECT_EQ(m.cpu.I, 0);
  EXPECT_EQ(m.cpu.R, 0);
  EXPECT_FALSE(m.cpu.IFF1 || m.cpu.IFF2);
  EXPECT_EQ(m.cpu.interruptMode, 0);
  EXPECT_FALSE(m.cpu.halted || m.cpu.haltRequest);
  EXPECT_FALSE(m.cpu.asci1Request || m.cpu.prt0Request);
  // Kept.
  EXPECT_EQ(m.cpu.AF.w, 0x1111);
  EXPECT_EQ(m.cpu.BC.w, 0x2222);
  EXPECT_EQ(m.cpu.IX, 0x3333);
  EXPECT_EQ(m.cpu.HL_.w, 0x4444);
  EXPECT_EQ(m.cpu.prtPrescaler, 7);
  // DCNTL reads 0xF0, but memory accesses still add the last written wait.
  EXPECT_EQ(m.cpu.DCNTL, 0xF0);
  EXPECT_EQ(m.cpu.memoryWaitCycles, 1u);
  EXPECT_EQ(m.cpu.CBAR, 0xF0);
  EXPECT_EQ(m.cpu.FRC, 0xFF);
  EXPECT_EQ(m.cpu.STAT[0], 0x02);
  EXPECT_EQ(m.cpu.TMDR[0], 0xFFFF);
  for (uint32_t a : {0x0000u, 0x1234u, 0xFFFFu}) EXPECT_EQ(m.cpu.translateAddress(uint16_t(a)), a);
}

TEST(Z180Cycle, HaltIdlesOneClockPerStepUntilReset) {
  TTestMachine m;
  m.load(0x100, {0xF3, 0x76});  // DI; HALT
  m.cpu.PC = 0x100;
  m.cpu.step(2);
  EXPECT_TRUE(m.cpu.halted);
  EXPECT_EQ(m.cpu.PC, 0x102);  // after the HALT
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(m.stepCycles(), 1u);
    EXPECT_EQ(m.cpu.machineCycles, 1u);
  }
  EXPECT_EQ(m.cpu.PC, 0x102);
  // A request with IFF1 false does not end the halt.
  m.cpu.prt0Request = true;
  m.cpu.step(3);
  EXPECT_TRUE(m.cpu.halted);
  EXPECT_EQ(m.cpu.PC, 0x102);
}

TEST(Z180Cycle, InterruptEndsHaltAndReturnsAfterIt) {
  InterruptMachine m;
  m.load(0x100, {0xFB, 0x76});  // EI; HALT
  m.cpu.PC = 0x100;
  m.cpu.step(2);
  ASSERT_TRUE(m.cpu.halted);
  m.cpu.step(10);
  m.cpu.asci0Request = true;
  m.cpu.step(1);
  EXPECT_FALSE(m.cpu.halted);
  EXPECT_EQ(m.cpu.PC, 0x500E);
  EXPECT_EQ(m.pushed(), 0x102);
  EXPECT_FALSE(m.cpu.IFF1);
  EXPECT_FALSE(m.cpu.IFF2);
}

TEST(Z180Cycle, InterruptInTheHaltingStepNeverHalts) {
  InterruptMachine m;
  m.load(0x100, {0x76});
  m.cpu.PC = 0x100;
  m.cpu.IFF1 = true;
  m.cpu.prt1Request = true;
  m.cpu.step(1);
  EXPECT_FALSE(m.cpu.halted);
  EXPECT_FALSE(m.cpu.haltRequest);
  EXPECT_EQ(m.cpu.PC, 0x5006);
  EXPECT_EQ(m.pushed(), 0x101);
}

TEST(Z180Cycle, FixedPriorityOnePerStepUntilEi) {
  InterruptMachine m;
  m.load(0x100, {0x00});
  m.load(0x5004, {0xFB, 0x00});  // PRT0 handler: EI; NOP
  m.cpu.PC = 0x100;
  m.cpu.IFF1 = m.cpu.IFF2 = true;
  m.cpu.prt0Request = true;
  m.cpu.asci0Request = true;
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.PC, 0x5004);
  EXPECT_FALSE(m.cpu.prt0Request);
  EXPECT_TRUE(m.cpu.asci0Request);
  EXPECT_FALSE(m.cpu.IFF1);
  EXPECT_FALSE(m.cpu.IFF2);
  m.cpu.step(1);  // EI: ASCI0 taken at the end of this very step
  EXPECT_EQ(m.cpu.PC, 0x500E);
  EXPECT_EQ(m.pushed(), 0x5005);
  EXPECT_FALSE(m.cpu.asci0Request);
}

TEST(Z180Cycle, PriorityOrderAndVectorLowBytes) {
  struct Source {
    bool TZ180Cpu::*flag;
    uint16_t handler;
  };
  const Source order[] = {
      {&TZ180Cpu::prt0Request, 0x5004}, {&TZ180Cpu::prt1Request, 0x5006},  {&TZ180Cpu::dma0Request, 0x5008},
      {&TZ180Cpu::dma1Request, 0x500A}, {&TZ180Cpu::asci0Request, 0x500E}, {&TZ180Cpu::asci1Request, 0x5010},
  };
  InterruptMachine m;
  for (const Source& s : order) m.cpu.*(s.flag) = true;
  for (const Source& s : order) {
    m.cpu.IFF1 = true;
    m.cpu.PC = 0x100;
    m.cpu.step(1);
    EXPECT_EQ(m.cpu.PC, s.handler + 0);
    EXPECT_FALSE(m.cpu.*(s.flag));
  }
}

TEST(Z180Cycle, VectorAddressUsesIAndILThroughTheMmu) {
  // I = 0x12, IL = 0x40: PRT1 reads logical 0x1246/0x1247. Page 1 is mapped
  // to physical 0x21000 by Common Area 1 with CBR = 0x20.
  TTestMachine m("256KB");
  m.cpu.I = 0x12;
  m.cpu.IL = 0x40;
  m.cpu.CBAR = 0x11;
  m.cpu.CBR = 0x20;
  m.cpu.SP = 0x0000;
  m.load(0x21246, {0x34, 0x12});
  m.cpu.PC = 0x0000;  // page 0: Common Area 0, a NOP
  m.cpu.IFF1 = true;
  m.cpu.prt1Request = true;
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.PC, 0x1234);
  // SP was 0: the return address went to logical 0xFFFF (high) and 0xFFFE (low),
  // which Common Area 1 maps to physical 0x2FFFF and 0x2FFFE.
  EXPECT_EQ(m.cpu.SP, 0xFFFE);
  EXPECT_EQ(m.peek(0x2FFFF), 0x00);
  EXPECT_EQ(m.peek(0x2FFFE), 0x01);
}

TEST(Z180Cycle, EiTakesEffectAtOnceAndDiBlocks) {
  InterruptMachine m;
  m.load(0x100, {0xF3, 0x00, 0xFB, 0x00});  // DI; NOP; EI; NOP
  m.cpu.PC = 0x100;
  m.cpu.dma1Request = true;
  m.cpu.step(2);
  EXPECT_EQ(m.cpu.PC, 0x102);
  EXPECT_TRUE(m.cpu.dma1Request);
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.PC, 0x500A);
  EXPECT_EQ(m.pushed(), 0x103);
}

TEST(Z180Cycle, AcceptanceChargesNoClocks) {
  InterruptMachine m;
  m.cpu.DCNTL = 0xC0;  // 3 wait cycles per memory byte
  m.cpu.recomputeWaitCycles();
  m.cpu.IFF1 = true;
  m.cpu.prt0Request = true;
  // NOP: 3 clocks + 3 waits for the fetch; the 4 acceptance accesses are free.
  EXPECT_EQ(m.stepCycles(), 6u);
  EXPECT_EQ(m.cpu.PC, 0x5004);
}

TEST(Z180Cycle, SleepIdlesUntilAPrtOrAsciInterrupt) {
  InterruptMachine m;
  m.cpu.PC = 0x0202;  // as if SLP at 0x0200 had just executed
  m.cpu.sleeping = m.cpu.sleepRequest = true;
  m.cpu.IFF1 = true;
  for (int i = 0; i < 4; ++i) EXPECT_EQ(m.stepCycles(), 1u);
  EXPECT_EQ(m.cpu.PC, 0x0202);
  // A DMA interrupt is accepted but the processor sleeps on.
  m.cpu.dma0Request = true;
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.PC, 0x5008);
  EXPECT_TRUE(m.cpu.sleeping);
  m.cpu.step(3);
  EXPECT_EQ(m.cpu.PC, 0x5008);
  // An ASCI interrupt ends the sleep.
  m.cpu.IFF1 = true;
  m.cpu.asci0Request = true;
  m.cpu.step(1);
  EXPECT_FALSE(m.cpu.sleeping);
  EXPECT_EQ(m.cpu.PC, 0x500E);
  EXPECT_EQ(m.pushed(), 0x5008);
}

TEST(Z180Cycle, FrcCountsEveryClockIncludingWaits) {
  TTestMachine m;
  m.load(0, {0x21, 0x00, 0x90, 0x7E, 0x23, 0x18, 0xFC});  // LD HL,9000; loop: LD A,(HL); INC HL; JR loop
  m.cpu.DCNTL = 0x40;
  m.cpu.recomputeWaitCycles();
  m.cpu.FRC = 0x10;
  m.cpu.step(1);  // LD HL,nn: 9 + 3 waits
  EXPECT_EQ(m.cpu.FRC, uint8_t(0x10 - 12));
  const uint8_t before = m.cpu.FRC;
  m.cpu.step(30);  // 10 rounds of 6+2, 4+1, 8+2 clocks
  EXPECT_EQ(uint8_t(before - m.cpu.FRC), uint8_t(10 * 23));
}

TEST(Z180Cycle, MmuTranslation) {
  struct Row {
    uint8_t cbar, bbr, cbr;
    uint16_t logical;
    uint32_t physical;
  };
  const Row rows[] = {
      {0x84, 0x10, 0x20, 0x3FFF, 0x03FFF}, {0x84, 0x10, 0x20, 0x4000, 0x14000}, {0x84, 0x10, 0x20, 0x7FFF, 0x17FFF},
      {0x84, 0x10, 0x20, 0x8000, 0x28000}, {0x84, 0x10, 0x20, 0xFFFF, 0x2FFFF}, {0x00, 0x00, 0xFF, 0xF000, 0x0E000},
      {0x00, 0x00, 0xFF, 0x0000, 0xFF000}, {0x48, 0x30, 0x05, 0x7FFF, 0x07FFF}, {0x48, 0x30, 0x05, 0x8000, 0x0D000},
      {0x48, 0x30, 0x05, 0x4000, 0x04000}, {0xF0, 0xF0, 0x00, 0xEFFF, 0xFEFFF}, {0xF0, 0xF2, 0x00, 0xEFFF, 0x00FFF},
  };
  for (const Row& r : rows) {
    TTestMachine m;
    m.cpu.CBAR = r.cbar;
    m.cpu.BBR = r.bbr;
    m.cpu.CBR = r.cbr;
    EXPECT_EQ(m.cpu.translateAddress(r.logical), r.physical)
        << std::hex << "CBAR " << int(r.cbar) << " BBR " << int(r.bbr) << " CBR " << int(r.cbr) << " @" << r.logical;
  }
}

TEST(Z180Cycle, MmuChangeTakesEffectAtTheNextFetch) {
  TTestMachine m("128KB");
  // Common Area 1 from page 1 with CBR = 0x10: logical 0x1000 -> 0x11000.
  m.load(0x0FFF, {0x00});
  m.load(0x01000, {0x3E, 0x11});  // LD A,11 (identity map)
  m.load(0x11000, {0x3E, 0x22});  // LD A,22 (mapped)
  m.cpu.PC = 0x0FFF;
  m.cpu.step(1);
  m.cpu.CBAR = 0x11;
  m.cpu.CBR = 0x10;
  m.cpu.step(1);
  EXPECT_EQ(m.cpu.AF.b.h, 0x22);
}

TEST(Z180Cycle, CoreSnapshotReadsWithoutWaitsOrSideEffects) {
  TTestMachine m;
  m.cpu.DCNTL = 0xC0;
  m.cpu.recomputeWaitCycles();
  m.cpu.AF.w = 0x12D7;
  m.cpu.BC.w = 0x9000;
  m.cpu.HL_.w = 0x9001;
  m.cpu.PC = 0x9002;
  m.load(0x9000, {0xAA, 0xBB, 0xCC});
  m.cpu.waitCycles = 0;
  const TCoreSnapshot s = m.cpu.coreSnapshot();
  EXPECT_EQ(s.main.A, 0x12);
  EXPECT_EQ(s.main.F, 0xD7);
  EXPECT_EQ(s.main.BC, 0x9000);
  EXPECT_EQ(s.main.atBC, 0xAA);
  EXPECT_EQ(s.alternate.HL, 0x9001);
  EXPECT_EQ(s.alternate.atHL, 0xBB);
  EXPECT_EQ(s.atPC, 0xCC);
  EXPECT_EQ(s.physicalPC, 0x9002u);
  EXPECT_EQ(m.cpu.waitCycles, 0u);
}
