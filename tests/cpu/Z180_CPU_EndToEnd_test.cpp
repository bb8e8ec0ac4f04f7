// A small console program in RAM, run through the whole instruction cycle:
// it programs serial channel 0 and reload timer 0 with OUT0, prints a
// greeting by polling TDRE, then sleeps in HALT with interrupts on. The
// channel 0 handler echoes every received key; the timer 0 handler counts
// ticks in memory. Checked on the terminal's screen and on the bytes the
// channel sent, against the per-clock reference as well.
#include "Peripheral_Oracle.h"
#include "Test_Machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr uint16_t kMessage = 0x0400, kTicks = 0x0500;
constexpr uint32_t kClocksPerTick = 20 * 100;

void loadConsoleProgram(TTestMachine& m) {
  m.load(0x0000, {
                     0x31, 0x00, 0xF0,              // 0000 LD SP,0xF000
                     0x3E, 0x01, 0xED, 0x47,        // 0003 LD A,1; LD I,A
                     0x3E, 0x64, 0xED, 0x39, 0x00,  // 0007 CNTLA0 = RE, TE, 8 data bits, 1 stop bit
                     0x3E, 0x00, 0xED, 0x39, 0x02,  // 000C CNTLB0 = 160 clocks per bit
                     0x3E, 0x08, 0xED, 0x39, 0x04,  // 0011 STAT0 = RIE
                     0x3E, 0x64, 0xED, 0x39, 0x0E,  // 0016 RLDR0 = 100
                     0xAF, 0xED, 0x39, 0x0F,        // 001B
                     0x3E, 0x64, 0xED, 0x39, 0x0C,  // 001F TMDR0 = 100
                     0xAF, 0xED, 0x39, 0x0D,        // 0024
                     0x3E, 0x11, 0xED, 0x39, 0x10,  // 0028 TCR = TIE0, TDE0
                     0x21, 0x00, 0x04,              // 002D LD HL,message
                     0x7E,                          // 0030 print: LD A,(HL)
                     0xB7,                          // 0031 OR A
                     0x28, 0x0D,                    // 0032 JR Z,done
                     0xED, 0x00, 0x04,              // 0034 wait: IN0 B,(STAT0)
                     0xCB, 0x48,                    // 0037 BIT 1,B (TDRE)
                     0x28, 0xF9,                    // 0039 JR Z,wait
                     0xED, 0x39, 0x06,              // 003B OUT0 (TDR0),A
                     0x23,                          // 003E INC HL
                     0x18, 0xEF,                    // 003F JR print
                     0xFB,                          // 0041 done: EI
                     0x76,                          // 0042 idle: HALT
                     0x18, 0xFD,                    // 0043 JR idle
                 });
  m.load(0x0104, {0x00, 0x02});  // PRT0 vector
  m.load(0x010E, {0x20, 0x02});  // ASCI0 vector
  m.load(0x0200, {
                     0xF5,              // 0200 PUSH AF
                     0xE5,              // 0201 PUSH HL
                     0xED, 0x38, 0x10,  // 0202 IN0 A,(TCR): clears TIF0
                     0x2A, 0x00, 0x05,  // 0205 LD HL,(ticks)
                     0x23,              // 0208 INC HL
                     0x22, 0x00, 0x05,  // 0209 LD (ticks),HL
                     0xE1,              // 020C POP HL
                     0xF1,              // 020D POP AF
                     0xFB,              // 020E EI
                     0xED, 0x4D,        // 020F RETI
                 });
  m.load(0x0220, {
                     0xF5,              // 0220 PUSH AF
                     0xED, 0x38, 0x08,  // 0221 IN0 A,(RDR0)
                     0xED, 0x39, 0x06,  // 0224 OUT0 (TDR0),A
                     0xF1,              // 0227 POP AF
                     0xFB,              // 0228 EI
                     0xED, 0x4D,        // 0229 RETI
                 });
  const std::string message = "Hello, Tessaline!\r\n";
  m.load(kMessage, std::vector<uint8_t>(message.begin(), message.end()));
  m.load(uint32_t(kMessage + message.size()), {0x00});
}

std::string screenRow(const TSystemTerminal& t, int row) {
  std::string s;
  for (int col = 1; col <= TSystemTerminal::Cols; ++col)
    s += char(t.getScreenChars()[TSystemTerminal::cellIndex(row, col)]);
  return s.substr(0, s.find_last_not_of(' ') + 1);
}

uint16_t ticks(const TTestMachine& m) { return uint16_t(m.peek(kTicks) | (m.peek(kTicks + 1) << 8)); }

TEST(EndToEnd, ConsoleProgramPrintsEchoesAndCountsTicks) {
  TTestMachine m;
  TSentBytes sent(m.terminal);
  m.cpu.reset();
  loadConsoleProgram(m);

  // Until EI at 0x0041 the program polls; timer expiries in that time leave
  // one request pending.
  uint32_t steps = 0;
  while (m.cpu.PC != 0x0042 && steps < 100000) {
    m.cpu.step(1);
    ++steps;
  }
  ASSERT_EQ(m.cpu.PC, 0x0042);
  const uint64_t clocksAtEi = m.cpu.elapsedClocks;
  EXPECT_EQ(m.terminal.getCursorRow(), 1);  // CR and LF are still on their way
  m.cpu.step(10000);
  EXPECT_EQ(screenRow(m.terminal, 1), "Hello, Tessaline!");
  EXPECT_EQ(m.terminal.getCursorRow(), 2);
  EXPECT_TRUE(m.cpu.halted);

  for (char key : std::string("echo me")) m.terminal.keyQueue.push_back(uint8_t(key));
  m.cpu.step(100000);
  EXPECT_EQ(screenRow(m.terminal, 2), "echo me");
  EXPECT_TRUE(m.terminal.keyQueue.empty());
  EXPECT_EQ(sent.bytes(), "Hello, Tessaline!\r\necho me");

  // Every expiry after EI is counted, plus the one left pending before.
  const uint64_t expiries = (m.cpu.elapsedClocks - clocksAtEi) / kClocksPerTick;
  EXPECT_GE(ticks(m), expiries);
  EXPECT_LE(ticks(m), expiries + 1);
  EXPECT_GT(ticks(m), 40);
}

// The same session, stepped in run-sized slices and with the per-clock
// reference: the screens, the bytes and the tick counts agree.
TEST(EndToEnd, ConsoleProgramMatchesThePerClockReference) {
  TTestMachine fast, reference;
  TSentBytes fastSent(fast.terminal), referenceSent(reference.terminal);
  for (TTestMachine* m : {&fast, &reference}) {
    m->cpu.reset();
    loadConsoleProgram(*m);
  }
  for (int slice = 0; slice < 20; ++slice) {
    if (slice % 4 == 1)
      for (TTestMachine* m : {&fast, &reference}) m->terminal.keyQueue.push_back(uint8_t('a' + slice));
    fast.cpu.step(35000);
    TZ180CpuTestAccess::referenceStep(reference.cpu, 35000);
    ASSERT_EQ(fast.cpu.elapsedClocks, reference.cpu.elapsedClocks) << "slice " << slice;
    ASSERT_EQ(fast.cpu.PC, reference.cpu.PC) << "slice " << slice;
    ASSERT_EQ(ticks(fast), ticks(reference)) << "slice " << slice;
  }
  EXPECT_EQ(fastSent.bytes(), referenceSent.bytes());
  EXPECT_EQ(fast.terminal.getScreenChars(), reference.terminal.getScreenChars());
  EXPECT_EQ(screenRow(fast.terminal, 2), "bfjnr");
}

}  // namespace
