// The DMA controller: burst and cycle-steal copies with their DSTAT
// read-backs, the processor hold, every source/destination combination of
// channel 0, 20-bit address wrap, byte count 0 meaning 65536, wait cycles
// charged to the step, completion interrupts, DME, and the channels that
// wait for request lines nothing drives.
#include "Peripheral_Oracle.h"
#include "Test_Machine.h"

#include <gtest/gtest.h>

namespace {

constexpr uint8_t kSar0L = 0x20, kDar0L = 0x23, kBcr0L = 0x26, kMar1L = 0x28, kIar1L = 0x2B, kBcr1L = 0x2E,
                  kDstat = 0x30, kDmode = 0x31, kDcntl = 0x32;

// 1 MB of RAM; the processor runs NOPs from address 0 unless told otherwise.
struct TDmaRig {
  TDmaRig() {
    m.cpu.reset();
    m.cpu.ioWrite(0, kDcntl, 0x00);  // no wait cycles
  }
  void out(uint8_t port, uint8_t value) { m.cpu.ioWrite(0, port, value); }
  uint8_t in(uint8_t port) { return m.cpu.ioRead(0, port); }
  void out20(uint8_t port, uint32_t address) {
    out(port, uint8_t(address));
    out(port + 1, uint8_t(address >> 8));
    out(port + 2, uint8_t(address >> 16));
  }
  void out16(uint8_t port, uint16_t value) {
    out(port, uint8_t(value));
    out(port + 1, uint8_t(value >> 8));
  }
  void channel0(uint8_t dmode, uint32_t sar, uint32_t dar, uint16_t bcr) {
    out(kDmode, dmode);
    out20(kSar0L, sar);
    out20(kDar0L, dar);
    out16(kBcr0L, bcr);
  }
  void fill(uint32_t address, uint32_t count, uint8_t first) {
    for (uint32_t i = 0; i < count; ++i) m.memory.writeByte((address + i) & 0xFFFFF, uint8_t(first + i));
  }

  TTestMachine m{"1024KB"};
};

TEST(Dma, BurstCopiesEverythingInOneHeldStep) {
  TDmaRig r;
  r.fill(0x10000, 4, 0xA0);
  r.channel0(0x02, 0x10000, 0x20000, 4);  // burst, memory +1 to memory +1
  r.out(kDstat, 0x40);
  EXPECT_EQ(r.in(kDstat), 0x41);
  EXPECT_EQ(r.m.cpu.PC, 0);

  EXPECT_EQ(r.m.stepCycles(), 1u);  // one idle clock: the transfers cost no time
  EXPECT_EQ(r.m.cpu.PC, 0);         // no instruction executed
  for (int i = 0; i < 4; ++i) EXPECT_EQ(r.m.peek(0x20000 + i), 0xA0 + i);
  EXPECT_EQ(r.in(kDstat), 0x01);
  EXPECT_EQ(r.m.cpu.SAR0, 0x10004u);
  EXPECT_EQ(r.m.cpu.DAR0, 0x20004u);
  EXPECT_EQ(r.m.cpu.BCR0, 0u);
  EXPECT_FALSE(r.m.cpu.dma0Request);

  r.m.cpu.step(1);
  EXPECT_EQ(r.m.cpu.PC, 1);  // executing again
}

TEST(Dma, CycleStealCopiesOneBytePerStepBesideTheProgram) {
  TDmaRig r;
  r.fill(0x10000, 4, 0xA0);
  r.channel0(0x00, 0x10000, 0x20000, 4);
  r.out(kDstat, 0x40);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(r.in(kDstat), 0x41);
    r.m.cpu.step(1);
    EXPECT_EQ(r.m.cpu.PC, i + 1);
    EXPECT_EQ(r.m.peek(0x20000 + i), 0xA0 + i);
    EXPECT_EQ(r.m.peek(0x20000 + i + 1), 0x00);
  }
  EXPECT_EQ(r.in(kDstat), 0x01);
}

TEST(Dma, ByteCountZeroCopies65536Bytes) {
  for (uint8_t dmode : {uint8_t(0x02), uint8_t(0x00)}) {
    SCOPED_TRACE(dmode ? "burst" : "cycle steal");
    TDmaRig r;
    r.fill(0x40000, 0x10001, 1);
    r.channel0(dmode, 0x40000, 0x80000, 0);
    r.out(kDstat, 0x40);
    const uint32_t steps = dmode ? 1 : 65536;
    r.m.cpu.step(steps - 1);
    EXPECT_EQ(r.in(kDstat)&0x40, 0x40);
    r.m.cpu.step(1);
    EXPECT_EQ(r.in(kDstat)&0x40, 0x00);
    EXPECT_EQ(r.m.cpu.DAR0, 0x90000u);
    EXPECT_EQ(r.m.peek(0x80000), 1);
    EXPECT_EQ(r.m.peek(0x8FFFE), 0xFF);
    EXPECT_EQ(r.m.peek(0x90000), 0);  // the source's next byte is 1
  }
}

struct TModeCase {
  uint8_t dm, sm;
  bool copies;
};

// Every channel 0 combination in both modes, copying from 0x30002 to
// 0x50002: the memory addresses step +1, -1 or not at all by their code;
// with an I/O side the channel waits for a request that never comes, and the
// reserved combinations do nothing. Only a memory-to-memory burst holds the
// processor.
TEST(Dma, EveryChannel0Combination) {
  const TModeCase cases[] = {
      {0, 0, true},  {0, 1, true},  {0, 2, true},  {0, 3, false}, {1, 0, true},  {1, 1, true},
      {1, 2, true},  {1, 3, false}, {2, 0, true},  {2, 1, true},  {2, 2, false}, {2, 3, false},
      {3, 0, false}, {3, 1, false}, {3, 2, false}, {3, 3, false},
  };
  auto stepped = [](uint32_t address, unsigned code, uint32_t n) {
    if (code == 0) return address + n;
    if (code == 1) return address - n;
    return address;
  };
  for (const TModeCase& c : cases) {
    for (bool burst : {false, true}) {
      SCOPED_TRACE(testing::Message() << "DM " << int(c.dm) << " SM " << int(c.sm) << (burst ? " burst" : ""));
      TDmaRig r;
      r.fill(0x30000, 5, 0xB0);
      const uint8_t dmode = uint8_t((c.dm << 4) | (c.sm << 2) | (burst ? 0x02 : 0x00));
      r.channel0(dmode, 0x30002, 0x50002, 2);
      r.out(kDstat, 0x44);  // DE0, DIE0
      const uint32_t steps = burst ? 1 : 2;
      r.m.cpu.step(steps);
      const bool held = burst && c.copies;
      EXPECT_EQ(r.m.cpu.PC, held ? 0 : steps);
      if (c.copies) {
        EXPECT_EQ(r.m.cpu.SAR0, stepped(0x30002, c.sm, 2));
        EXPECT_EQ(r.m.cpu.DAR0, stepped(0x50002, c.dm, 2));
        EXPECT_EQ(r.m.cpu.BCR0, 0u);
        EXPECT_EQ(r.m.cpu.DSTAT & 0x40, 0);
        EXPECT_TRUE(r.m.cpu.dma0Request);
        // The second byte lands where the destination stands after one step.
        if (c.dm != 2) {
          EXPECT_EQ(r.m.peek(0x50002), 0xB2);
        }
        EXPECT_EQ(r.m.peek(stepped(0x50002, c.dm, 1)), c.sm == 2 ? 0xB2 : stepped(0xB2, c.sm, 1));
      } else {
        EXPECT_EQ(r.m.cpu.SAR0, 0x30002u);
        EXPECT_EQ(r.m.cpu.DAR0, 0x50002u);
        EXPECT_EQ(r.m.cpu.BCR0, 2u);
        EXPECT_EQ(r.m.cpu.DSTAT & 0x40, 0x40);
        EXPECT_FALSE(r.m.cpu.dma0Request);
        EXPECT_EQ(r.m.peek(0x50002), 0x00);
      }
    }
  }
}

TEST(Dma, IoToMemoryWaitsWithoutTransferring) {
  TDmaRig r;
  r.channel0(0x0C, 0x0070, 0x20000, 0);  // SM = I/O, DM = memory +1; count 0
  r.out(kDstat, 0x40);
  r.m.cpu.step(10);
  EXPECT_EQ(r.m.cpu.PC, 10);  // the processor keeps executing
  EXPECT_EQ(r.in(kDstat), 0x41);
  EXPECT_EQ(r.in(kBcr0L), 0x00);  // 0 still reads 0
  EXPECT_EQ(r.in(kBcr0L + 1), 0x00);
  EXPECT_EQ(r.m.cpu.DAR0, 0x20000u);
}

TEST(Dma, AddressesWrapAtTwentyBits) {
  TDmaRig r;
  r.m.memory.writeByte(0x00000, 0x11);
  r.m.memory.writeByte(0xFFFFF, 0x22);
  // Source 0x00000 stepping down, destination 0xFFFFE stepping up.
  r.channel0(0x06, 0x00000, 0xFFFFE, 3);  // DM 00, SM 01, burst
  r.m.memory.writeByte(0xFFFFE, 0x00);
  r.out(kDstat, 0x40);
  r.m.cpu.step(1);
  EXPECT_EQ(r.m.cpu.SAR0, 0xFFFFDu);
  EXPECT_EQ(r.m.cpu.DAR0, 0x00001u);
  EXPECT_EQ(r.m.peek(0xFFFFE), 0x11);  // from 0x00000
  EXPECT_EQ(r.m.peek(0xFFFFF), 0x22);  // from 0xFFFFF
  EXPECT_EQ(r.m.peek(0x00000), 0x11);  // from 0xFFFFE (already overwritten)
}

struct TWaitCase {
  const char* name;
  uint8_t dcntl, dmode;
  uint32_t stepClocks;  // of the step with the DMA transfers
};

TEST(Dma, TransfersChargeTheirMemoryWaitCyclesToTheStep) {
  const TWaitCase cases[] = {
      {"burst, no waits", 0x00, 0x02, 1},
      {"burst, 2 waits", 0x80, 0x02, 1 + 4 * 2 * 2},
      {"cycle steal, 3 waits: NOP + one transfer", 0xC0, 0x00, 3 + 3 + 2 * 3},
      {"I/O waits are not charged to memory transfers", 0x30, 0x00, 3 + 0},
  };
  for (const TWaitCase& c : cases) {
    SCOPED_TRACE(c.name);
    TDmaRig r;
    r.out(kDcntl, c.dcntl);
    r.channel0(c.dmode, 0x10000, 0x20000, 4);
    r.out(kDstat, 0x40);
    EXPECT_EQ(r.m.stepCycles(), c.stepClocks);
  }
}

TEST(Dma, DstatReadBackAndDme) {
  TDmaRig r;
  r.out(kDmode, 0x0C);  // I/O source: nothing moves while we look
  r.out(kDstat, 0xF4);
  EXPECT_EQ(r.in(kDstat), 0xC5);
  r.out(kDstat, 0x00);
  EXPECT_EQ(r.in(kDstat), 0x01);  // DME stays set
  r.m.cpu.reset();
  EXPECT_EQ(r.in(kDstat), 0x00);
}

TEST(Dma, DmeStaysSetAfterCompletionAndStepsStillEnd) {
  TDmaRig r;
  r.channel0(0x02, 0x10000, 0x20000, 1);
  r.out(kDstat, 0x40);
  r.m.cpu.step(1000);
  EXPECT_EQ(r.in(kDstat), 0x01);
  EXPECT_EQ(r.m.cpu.PC, 999);  // one held step, then NOPs
}

TEST(Dma, ChannelOneWaitsForARequestWithAnyDirection) {
  for (uint8_t dim = 0; dim < 4; ++dim) {
    SCOPED_TRACE(int(dim));
    TDmaRig r;
    r.out(kDcntl, dim);
    r.out20(kMar1L, 0x12345);
    r.out16(kIar1L, 0x0073);
    r.out16(kBcr1L, 1);
    r.out(kDstat, 0x88);  // DE1, DIE1
    r.m.cpu.step(20);
    EXPECT_EQ(r.m.cpu.MAR1, 0x12345u);
    EXPECT_EQ(r.m.cpu.BCR1, 1u);
    EXPECT_EQ(r.in(kDstat), 0x89);
    EXPECT_FALSE(r.m.cpu.dma1Request);
  }
}

TEST(Dma, NoTurnsWhileTheProcessorSleeps) {
  TDmaRig r;
  r.m.load(0x0000, {0xED, 0x76});  // SLP, interrupts off
  r.channel0(0x00, 0x10000, 0x20000, 4);
  r.out(kDstat, 0x40);
  r.m.cpu.step(1);  // the SLP step still has its turn
  EXPECT_EQ(r.m.cpu.BCR0, 3u);
  r.m.cpu.step(10);
  EXPECT_TRUE(r.m.cpu.sleeping);
  EXPECT_EQ(r.m.cpu.BCR0, 3u);
}

// DIE0 requests an interrupt at the end of the count.
TEST(Dma, CompletionInterruptIsAcceptedWithVector08) {
  TDmaRig r;
  r.m.load(0x0000, {0xFB, 0x00, 0x00, 0x76});  // EI; NOP; NOP; HALT
  r.m.load(0x0108, {0x00, 0x02});              // DMA0 vector -> 0x0200
  r.m.load(0x0200, {0x76});                    // handler: HALT
  r.m.cpu.I = 0x01;
  r.channel0(0x00, 0x10000, 0x20000, 2);
  r.out(kDstat, 0x44);
  r.m.cpu.step(1);  // EI; first byte
  EXPECT_FALSE(r.m.cpu.dma0Request);
  r.m.cpu.step(1);  // NOP; second byte; accepted at the end of the step
  EXPECT_EQ(r.m.cpu.PC, 0x0200);
  EXPECT_FALSE(r.m.cpu.dma0Request);
  EXPECT_FALSE(r.m.cpu.IFF1);
}

}  // namespace
