// The serial channels: frame timing for every divisor kind, the TDR/TSR and
// RSR/RDR moves, overrun, interrupt requests, the silent channel 1 and the
// state after construction versus after reset.
//
// The processor sits in HALT with interrupts off, so every step is exactly
// one clock and the tests can count clocks step by step.
#include "Peripheral_Oracle.h"
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

constexpr uint8_t kCntla0 = 0x00, kCntla1 = 0x01, kCntlb0 = 0x02, kCntlb1 = 0x03, kStat0 = 0x04, kStat1 = 0x05,
                  kTdr0 = 0x06, kTdr1 = 0x07, kRdr0 = 0x08;
constexpr uint8_t kRdrf = 0x80, kOvrn = 0x40, kTdre = 0x02;

// A machine with the processor halted and a capture of channel 0's output.
struct TAsciRig {
  // reset: false keeps the processor in its constructed, all-zero state.
  explicit TAsciRig(bool reset = true) {
    if (reset) m.cpu.reset();
    m.load(0x0000, {0xF3, 0x76});  // DI; HALT
    m.cpu.step(2);
  }
  void out(uint8_t port, uint8_t value) { m.cpu.ioWrite(0, port, value); }
  uint8_t in(uint8_t port) { return m.cpu.ioRead(0, port); }
  void clocks(uint32_t n) { m.cpu.step(n); }

  // Steps one clock at a time until done() holds; returns the clocks taken,
  // or limit + 1 if it never held.
  uint32_t clocksUntil(const std::function<bool()>& done, uint32_t limit) {
    for (uint32_t clocks = 1; clocks <= limit; ++clocks) {
      m.cpu.step(1);
      if (done()) return clocks;
    }
    return limit + 1;
  }

  TTestMachine m;
  TSentBytes sent{m.terminal};
};

struct TFrameCase {
  const char* name;
  uint8_t cntla, cntlb;
  uint32_t clocksBefore;  // clocks the channel runs before TDR0 is written
  uint32_t expected;      // clocks from the TDR0 write to the terminal
};

// The character moves into the shift register in the first clock and is
// handed over at the frame's last bit time; the bit-time counter runs on
// independently of the character, so where it stands decides the first bit.
TEST(Asci, CharacterReachesTheTerminalAfterAFrameOfBitTimes) {
  const TFrameCase cases[] = {
      {"160 per bit, counter at 0", 0x64, 0x00, 0, 1600},
      {"160 per bit, counter at 1", 0x64, 0x00, 1, 1599},
      {"160 per bit, counter at 159", 0x64, 0x00, 159, 1441},
      {"PS: 480 per bit", 0x64, 0x20, 0, 4800},
      {"DR: 640 per bit, counter at 100", 0x64, 0x08, 100, 540 + 9 * 640},
      {"SS=1: 320 per bit", 0x64, 0x01, 0, 3200},
      {"11-bit frame at 640 per bit", 0x65, 0x02, 0, 11 * 640},
      {"PS, DR, SS=6: 122880 per bit", 0x60, 0x2E, 0, 9 * 122880},
      {"SS=7, 9-bit frame", 0x60, 0x07, 0, 9},
      {"SS=7, 10-bit frame", 0x64, 0x07, 0, 10},
      {"SS=7, 11-bit frame", 0x63, 0x07, 0, 11},
      {"SS=7, 12-bit frame", 0x67, 0x07, 0, 12},
      {"TE only", 0x24, 0x07, 0, 10},
  };
  for (const TFrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    TAsciRig r;
    r.out(kCntla0, c.cntla);
    r.out(kCntlb0, c.cntlb);
    r.clocks(c.clocksBefore);
    r.out(kTdr0, 'A');
    const uint32_t took = r.clocksUntil([&] { return r.m.terminal.getCursorCol() == 2; }, c.expected + 10);
    EXPECT_EQ(took, c.expected);
    EXPECT_EQ(r.sent.bytes(), "A");
    const uint32_t perBit = TZ180Cpu::clocksPerBitFor(c.cntlb);
    if (perBit != 0) {
      const uint32_t frame = TZ180Cpu::frameBitsFor(c.cntla);
      EXPECT_GT(took, (frame - 1) * perBit);
      EXPECT_LE(took, frame * perBit);
    }
  }
}

TEST(Asci, TdrIsFreeOneClockAfterTheWriteAndBackToBackBytesArriveInOrder) {
  TAsciRig r;
  r.out(kCntla0, 0x64);
  r.out(kCntlb0, 0x07);  // a bit time every clock: 10 clocks per character
  r.out(kTdr0, 'A');
  EXPECT_EQ(r.in(kStat0)&kTdre, 0);
  r.clocks(1);
  EXPECT_EQ(r.in(kStat0)&kTdre, kTdre);  // moved into the empty shift register
  r.out(kTdr0, 'B');
  // The shift register is busy until 'A' leaves, ten clocks after its
  // write; 'B' moves in the clock after that, so TDRE stays clear for ten
  // clocks after B's write.
  EXPECT_EQ(r.clocksUntil([&] { return (r.m.cpu.STAT[0] & kTdre) != 0; }, 50), 10u);
  EXPECT_EQ(r.sent.bytes(), "A");
  r.clocks(20);
  EXPECT_EQ(r.sent.bytes(), "AB");
}

TEST(Asci, OverrunHoldsTheSecondCharacterAndLeavesTheThirdWithTheTerminal) {
  TAsciRig r;
  r.out(kCntla0, 0x44);  // RE, 10-bit frames
  r.out(kCntlb0, 0x07);
  r.m.terminal.keyQueue = {'x', 'y', 'z'};
  EXPECT_EQ(r.clocksUntil([&] { return (r.m.cpu.STAT[0] & kRdrf) != 0; }, 100), 11u);  // frame + move
  EXPECT_EQ(r.m.cpu.RDR[0], 'x');
  EXPECT_EQ(r.m.cpu.STAT[0] & kOvrn, 0);
  r.clocks(10);  // 'y' arrives in the shift register, OVRN at that bit time
  EXPECT_TRUE(r.m.cpu.asciRsrFull[0]);
  EXPECT_EQ(r.m.cpu.STAT[0] & kOvrn, kOvrn);
  r.clocks(100);  // a full shift register takes no further key
  ASSERT_EQ(r.m.terminal.keyQueue.size(), 1u);
  EXPECT_EQ(r.m.terminal.keyQueue.front(), 'z');
  EXPECT_EQ(r.m.cpu.RDR[0], 'x');

  EXPECT_EQ(r.in(kRdr0), 'x');
  EXPECT_EQ(r.m.cpu.STAT[0] & kRdrf, 0);
  r.clocks(1);  // the held character moves up at the next clock
  EXPECT_EQ(r.m.cpu.STAT[0] & kRdrf, kRdrf);
  EXPECT_EQ(r.m.cpu.RDR[0], 'y');
  EXPECT_EQ(r.m.cpu.STAT[0] & kOvrn, kOvrn);  // only a CNTLA write with EFR = 0 clears it
  r.out(kCntla0, 0x44);
  EXPECT_EQ(r.m.cpu.STAT[0] & kOvrn, 0);

  EXPECT_EQ(r.in(kRdr0), 'y');
  r.clocks(30);
  EXPECT_EQ(r.in(kRdr0), 'z');
  EXPECT_TRUE(r.m.terminal.keyQueue.empty());
}

struct TRequestCase {
  const char* name;
  uint8_t cntla, stat;
  const char* keys;
  bool requested;
};

// Requests come at bit times (160 clocks here), and again at every bit time
// while their condition holds.
TEST(Asci, InterruptRequestsAtBitTimes) {
  const TRequestCase cases[] = {
      {"TIE, transmitter on", 0x64, 0x01, "", true}, {"TIE, only the receiver on", 0x44, 0x01, "", true},
      {"TIE, channel off", 0x04, 0x01, "", false},   {"RIE, nothing received", 0x44, 0x08, "", false},
      {"no enables", 0x64, 0x00, "", false},
  };
  for (const TRequestCase& c : cases) {
    SCOPED_TRACE(c.name);
    TAsciRig r;
    r.out(kCntla0, c.cntla);
    r.out(kCntlb0, 0x00);
    r.out(kStat0, c.stat);
    r.clocks(159);
    EXPECT_FALSE(r.m.cpu.asci0Request);
    r.clocks(1);
    EXPECT_EQ(r.m.cpu.asci0Request, c.requested);
    r.m.cpu.asci0Request = false;
    r.clocks(159);
    EXPECT_FALSE(r.m.cpu.asci0Request);
    r.clocks(1);
    EXPECT_EQ(r.m.cpu.asci0Request, c.requested);
  }
}

TEST(Asci, ReceiveRequestStaysPendingAfterRdrIsRead) {
  TAsciRig r;
  r.out(kCntla0, 0x44);
  r.out(kCntlb0, 0x07);
  r.out(kStat0, 0x08);  // RIE
  r.m.terminal.keyQueue = {'k'};
  EXPECT_EQ(r.clocksUntil([&] { return r.m.cpu.asci0Request; }, 100), 11u);  // RDRF seen at the next bit time
  EXPECT_EQ(r.in(kRdr0), 'k');
  r.out(kStat0, 0x00);
  r.clocks(50);
  EXPECT_TRUE(r.m.cpu.asci0Request);  // IFF1 is false: nothing accepts it
}

TEST(Asci, ChannelOneTransmitsIntoNothingAndNeverReceives) {
  TAsciRig r;
  r.out(kCntla1, 0x64);
  r.out(kCntlb1, 0x07);
  r.out(kStat1, 0x08);  // RIE1
  r.m.terminal.keyQueue = {'k'};
  r.out(kTdr1, 'Q');
  r.clocks(200);
  EXPECT_EQ(r.m.cpu.STAT[1] & (kRdrf | kTdre), kTdre);  // sent, nothing received
  EXPECT_TRUE(r.m.cpu.asciTsrEmpty[1]);
  EXPECT_FALSE(r.m.cpu.asci1Request);
  EXPECT_EQ(r.sent.size(), 0u);
  EXPECT_EQ(r.m.terminal.keyQueue.size(), 1u);  // channel 0's key is untouched
}

// After construction STAT is 0 (TDRE clear), so enabling the transmitter
// sends TDR's 0 once; after reset TDRE is set and nothing is r.sent. Neither
// construction nor reset gives CNTLB a divisor: 0 clocks per bit means a bit
// time every clock.
TEST(Asci, ConstructedChannelSendsTdrOnceButAResetOneDoesNot) {
  for (bool reset : {false, true}) {
    SCOPED_TRACE(reset ? "after reset" : "after construction");
    TAsciRig r(reset);
    r.out(kCntla0, 0x64);
    r.clocks(100);
    EXPECT_EQ(r.sent.bytes(), reset ? std::string() : std::string(1, '\0'));
    EXPECT_EQ(r.m.cpu.STAT[0] & kTdre, kTdre);
  }
}

TEST(Asci, ResetKeepsTheDivisorAndFrameLength) {
  TAsciRig r;
  r.out(kCntla0, 0x67);  // 12-bit frames
  r.out(kCntlb0, 0x00);  // 160 clocks per bit
  r.m.cpu.reset();       // CNTLA0 0x08, CNTLB0 0x07, but the derived values stay
  EXPECT_EQ(r.m.cpu.CNTLB[0], 0x07);
  r.m.cpu.step(2);  // DI; HALT again from address 0
  r.m.cpu.asciClockCount[0] = 0;
  r.m.cpu.CNTLA[0] = 0x60;  // enable without recomputing the frame length
  r.out(kTdr0, 'R');
  EXPECT_EQ(r.clocksUntil([&] { return r.sent.size() == 1; }, 3000), 12u * 160);
}

}  // namespace
