// The reload timers and FRC: expiry periods through the shared divide-by-20
// prescaler, reload in the count that reaches zero, TIF only with TIE, the
// prescaler standing still and surviving reset, and FRC counting every clock
// including wait cycles.
//
// Timer tests keep the processor in HALT with interrupts off: one clock per
// step.
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr uint8_t kTmdr0L = 0x0C, kTmdr0H = 0x0D, kRldr0L = 0x0E, kRldr0H = 0x0F, kTcr = 0x10, kTmdr1L = 0x14,
                  kTmdr1H = 0x15, kRldr1L = 0x16, kRldr1H = 0x17, kFrc = 0x18, kDcntl = 0x32;

struct TPrtRig {
  TPrtRig() {
    m.cpu.reset();
    m.load(0x0000, {0xF3, 0x76});  // DI; HALT
    m.cpu.step(2);                 // the timers are off: the prescaler stays at 0
  }
  void out(uint8_t port, uint8_t value) { m.cpu.ioWrite(0, port, value); }
  uint8_t in(uint8_t port) { return m.cpu.ioRead(0, port); }
  void setTimer(int t, uint16_t tmdr, uint16_t rldr) {
    out(t ? kTmdr1L : kTmdr0L, uint8_t(tmdr));
    out(t ? kTmdr1H : kTmdr0H, uint8_t(tmdr >> 8));
    out(t ? kRldr1L : kRldr0L, uint8_t(rldr));
    out(t ? kRldr1H : kRldr0H, uint8_t(rldr >> 8));
  }
  // Runs `clocks` clocks and returns the clock numbers (1-based) at which the
  // timer's request appeared; each is cleared again after being seen.
  std::vector<uint32_t> requestClocks(int t, uint32_t clocks) {
    std::vector<uint32_t> at;
    bool& request = t ? m.cpu.prt1Request : m.cpu.prt0Request;
    for (uint32_t c = 1; c <= clocks; ++c) {
      m.cpu.step(1);
      if (request) {
        at.push_back(c);
        request = false;
      }
    }
    return at;
  }

  TTestMachine m;
};

TEST(Prt, TimerExpiresEveryReloadCountsOfTwentyClocks) {
  TPrtRig r;
  r.setTimer(0, 3, 3);
  r.out(kTcr, 0x11);  // TIE0, TDE0
  EXPECT_EQ(r.requestClocks(0, 200), (std::vector<uint32_t>{60, 120, 180}));
  EXPECT_EQ(r.m.cpu.TCR & 0x40, 0x40);  // TIF0
  EXPECT_EQ(r.m.cpu.TMDR[0], 2);        // ten counts: 2 1 3, 2 1 3, 2 1 3, 2
}

TEST(Prt, WithoutTieTheTimerReloadsButNeverFlagsOrRequests) {
  TPrtRig r;
  r.setTimer(0, 3, 3);
  r.out(kTcr, 0x01);  // TDE0 only
  EXPECT_TRUE(r.requestClocks(0, 200).empty());
  EXPECT_EQ(r.m.cpu.TCR & 0x40, 0);
  r.m.cpu.step(40);  // 12 counts in all
  EXPECT_EQ(r.m.cpu.TMDR[0], 3);
}

TEST(Prt, CountingFromZeroWrapsToFFFFWithoutReload) {
  TPrtRig r;
  r.setTimer(0, 0, 5);
  r.out(kTcr, 0x11);
  r.m.cpu.step(19);
  EXPECT_EQ(r.m.cpu.TMDR[0], 0);
  r.m.cpu.step(1);
  EXPECT_EQ(r.m.cpu.TMDR[0], 0xFFFF);
  EXPECT_FALSE(r.m.cpu.prt0Request);
}

TEST(Prt, ReloadValueZeroMeans65536Counts) {
  TPrtRig r;
  r.setTimer(0, 1, 0);
  r.out(kTcr, 0x11);
  EXPECT_EQ(r.requestClocks(0, 20 + 65536 * 20), (std::vector<uint32_t>{20, 20 + 65536 * 20}));
}

struct TTwoTimerCase {
  const char* name;
  uint8_t tcr;
  std::vector<uint32_t> prt0, prt1;
};

// Both timers count from the one prescaler, timer 0 first.
TEST(Prt, TimersShareThePrescaler) {
  const TTwoTimerCase cases[] = {
      {"timer 1 alone", 0x22, {}, {60, 120}},
      {"both", 0x33, {40, 80, 120}, {60, 120}},
      {"both counting, only timer 0 requests", 0x13, {40, 80, 120}, {}},
  };
  for (const TTwoTimerCase& c : cases) {
    SCOPED_TRACE(c.name);
    TPrtRig r;
    r.setTimer(0, 2, 2);
    r.setTimer(1, 3, 3);
    r.out(kTcr, c.tcr);
    std::vector<uint32_t> prt0, prt1;
    for (uint32_t clock = 1; clock <= 130; ++clock) {
      r.m.cpu.step(1);
      if (r.m.cpu.prt0Request) prt0.push_back(clock);
      if (r.m.cpu.prt1Request) prt1.push_back(clock);
      r.m.cpu.prt0Request = r.m.cpu.prt1Request = false;
    }
    EXPECT_EQ(prt0, c.prt0);
    EXPECT_EQ(prt1, c.prt1);
  }
}

TEST(Prt, PrescalerStandsStillWhileBothTimersAreOffAndSurvivesReset) {
  TPrtRig r;
  r.setTimer(0, 100, 100);
  r.out(kTcr, 0x01);
  r.m.cpu.step(7);
  EXPECT_EQ(r.m.cpu.prtPrescaler, 7);
  r.out(kTcr, 0x00);
  r.m.cpu.step(100);
  EXPECT_EQ(r.m.cpu.prtPrescaler, 7);
  EXPECT_EQ(r.m.cpu.TMDR[0], 100);
  r.m.cpu.reset();
  r.m.cpu.step(2);  // DI; HALT again
  r.setTimer(0, 1, 1);
  r.out(kTcr, 0x11);
  EXPECT_EQ(r.requestClocks(0, 20), (std::vector<uint32_t>{13}));  // 7 + 13 = 20
}

TEST(Prt, FlagsAreClearedByReadingButRequestsStayPending) {
  TPrtRig r;
  r.setTimer(0, 1, 1);
  r.out(kTcr, 0x11);
  r.m.cpu.step(20);
  ASSERT_TRUE(r.m.cpu.prt0Request);
  EXPECT_EQ(r.in(kTcr)&0x40, 0x40);
  EXPECT_EQ(r.in(kTcr)&0x40, 0x00);  // seen once
  r.m.cpu.step(20);
  EXPECT_EQ(r.m.cpu.TCR & 0x40, 0x40);
  r.in(kTmdr0L);  // reading the counter clears TIF0 as well
  EXPECT_EQ(r.m.cpu.TCR & 0x40, 0x00);
  EXPECT_TRUE(r.m.cpu.prt0Request);  // IFF1 is false: still waiting
}

// A timer read between counts sees the exact count: the counters move in
// every step, not only at expiry.
TEST(Prt, CounterReadsFollowEveryCount) {
  TPrtRig r;
  r.setTimer(0, 0x1234, 0x1234);
  r.out(kTcr, 0x01);
  for (uint32_t counts = 1; counts <= 5; ++counts) {
    r.m.cpu.step(20);
    const uint8_t lo = r.in(kTmdr0L);
    const uint8_t hi = r.in(kTmdr0H);
    EXPECT_EQ(uint16_t(lo | (hi << 8)), 0x1234 - counts);
  }
}

struct TFrcCase {
  const char* name;
  uint8_t dcntl;
  uint32_t clocks;  // from the first FRC read to the second
};

// IN0 A,(FRC); NOP; NOP; IN0 B,(FRC). Between the reads the first IN0 (12
// clocks, three memory accesses and one I/O access) and the two NOPs (3 clocks
// and one memory access each) are counted.
TEST(Prt, FrcDifferenceIsTheClocksCountedIncludingWaitCycles) {
  const TFrcCase cases[] = {
      {"no wait cycles", 0x00, 12 + 3 + 3},
      {"1 memory wait", 0x40, 12 + 3 + 3 + 5},
      {"3 memory waits, 4 I/O waits", 0xF0, 12 + 3 + 3 + 5 * 3 + 4},
      {"2 I/O waits", 0x10, 12 + 3 + 3 + 2},
  };
  for (const TFrcCase& c : cases) {
    SCOPED_TRACE(c.name);
    TTestMachine m;
    m.cpu.reset();
    m.cpu.ioWrite(0, kDcntl, c.dcntl);
    m.load(0x0000, {0xED, 0x38, kFrc, 0x00, 0x00, 0xED, 0x00, kFrc, 0x76});
    m.cpu.step(4);
    EXPECT_EQ(uint8_t(m.cpu.AF.b.h - m.cpu.BC.b.h), c.clocks);
  }
}

}  // namespace
